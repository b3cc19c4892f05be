// Checking a record before it is applied, and the setters that change one parameter.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <memory>
#include <vector>

#include "core/compression_code.h"
#include "framework/driver_calls.h"
#include "parms/parm_record.h"
#include "parms/setters.h"
#include "parms/tag_conversion.h"
#include "parms/verify_parms.h"
#include "tests/unit/scanner_fixture.h"

namespace {

using sim::DriverView;

class Verify : public ScannerTest {
 protected:
  void SetUp() override {
    ScannerTest::SetUp();
    ASSERT_EQ(LoadDriver("VSCAN"), 0);
    tagstoparm(*record);
    // Apply a record that asks for 200 dpi, so that "applied" can be seen on the driver.
    char value[] = "200/1";
    ParmRecord& r = *record;
    r.sSettingsLen = 0;
    SaveCallback(0, "XResolution", value, &r);
    r.achSettings[r.sSettingsLen] = '\0';
  }
  std::int32_t XResolution() { return DriverView("VSCAN").Rational(kTagXResolution)->lNumerator; }
  std::unique_ptr<ParmRecord> record = std::make_unique<ParmRecord>();
};

TEST_F(Verify, ARecordOfTheScannerIsApplied) {
  EXPECT_EQ(VerifyParms(*record), 0);
  EXPECT_EQ(XResolution(), 200);
}

TEST_F(Verify, WrongSizeOrAnotherScannerIsRefusedAndNotApplied) {
  record->usSize = 1000;
  EXPECT_EQ(VerifyParms(*record), 1);
  const auto lines = TraceLines();
  const auto size =
      std::find(lines.begin(), lines.end(), "   VerifyParms: Size is different! got: 1000");
  ASSERT_NE(size, lines.end());
  ASSERT_GE(lines.end() - size, 65);
  EXPECT_EQ(size[1], "struct output size 1000");
  EXPECT_EQ(size[2].size(), 48u) << "16 bytes a row";
  EXPECT_EQ(size[64].size(), 24u) << "the last row holds the last 8 bytes";
  record->usSize = PARM_RECORD_SIZE;
  record->szID[0] = static_cast<char>(std::tolower(record->szID[0]));
  EXPECT_EQ(VerifyParms(*record), 1) << "identifications compare case-sensitively";
  EXPECT_EQ(XResolution(), 300);
}

TEST_F(Verify, VerifyZeroAcceptsButStillDoesNotApply) {
  UseProfile("[KOVZAFT]\nVerify=0\n");
  record->usSize = 0xFFFF;  // larger than any record: the dump stays inside this one
  EXPECT_EQ(VerifyParms(*record), 0);
  EXPECT_EQ(XResolution(), 300);
}

class Setters : public ScannerTest {
 protected:
  const DriverRecord& Scanner() const { return SCB.ScannerDriver; }
};

TEST_F(Setters, ResolutionOnlyToAListedChoice) {
  sim::DriverDesign design("KITA");
  design.Rational(kTagXResolution, {200, 1}, {{200, 1}, {300, 1}, {1200, 2}});
  LoadKit(design);
  EXPECT_EQ(SetResolutionIfAllowed(kTagXResolution, 300), 0);
  EXPECT_EQ(DriverView("KITA").Rational(kTagXResolution)->lNumerator, 300);
  EXPECT_EQ(SetResolutionIfAllowed(kTagXResolution, 600), 0) << "1200/2 is 600 dpi";
  EXPECT_EQ(DriverView("KITA").Rational(kTagXResolution)->lDenominator, 2);
  EXPECT_EQ(SetResolutionIfAllowed(kTagXResolution, 151), 1);
  EXPECT_EQ(SetResolutionIfAllowed(kTagYResolution, 300), 1) << "no choices to read";
}

TEST_F(Setters, ChoicesAreAskedFromTheLastDownBeforeATagIsSet) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagBitsPerSample, 8, {1, 8});
  LoadKit(design);
  DriverView("KITA").ClearMessages();
  EXPECT_EQ(SetTagIfAllowed(kTagBitsPerSample, 1), 0);
  const std::vector<sim::DriverMessage> expected = {{QelDrvGetChoiceCount, kTagBitsPerSample},
                                                    {QelDrvGetChoice, kTagBitsPerSample},
                                                    {QelDrvGetChoice, kTagBitsPerSample},
                                                    {QelDrvSetTag, kTagBitsPerSample}};
  EXPECT_EQ(DriverView("KITA").Messages(), expected);
  DriverView("KITA").ClearMessages();
  EXPECT_EQ(SetTagIfAllowed(kTagBitsPerSample, 4), 1);
  EXPECT_EQ(DriverView("KITA").Integer(kTagBitsPerSample), 1);
  for (const sim::DriverMessage& message : DriverView("KITA").Messages()) {
    EXPECT_NE(message.code, QelDrvSetTag) << "nothing set for a value not listed";
  }
}

TEST_F(Setters, BitDepthsOnlyByChoice) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagSamplesPerPixel, 1, {1}).Integer(kTagBitsPerSample, 1, {1, 8});
  LoadKit(design);
  EXPECT_EQ(SetBitDepth(8), 0);
  EXPECT_EQ(DriverView("KITA").Integer(kTagBitsPerSample), 8);
  EXPECT_EQ(SetBitDepth(4), 1);
  EXPECT_EQ(SetBitDepth(24), 1) << "no three-sample choice";
  EXPECT_EQ(SetBitDepth(1), 0);
  EXPECT_EQ(DriverView("KITA").Integer(kTagBitsPerSample), 1);
  EXPECT_EQ(SetBitDepth(2), 1);
}

TEST_F(Setters, OneBitIsADepthLikeAnyOther) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagSamplesPerPixel, 1, {1}).Integer(kTagBitsPerSample, 8, {8});
  LoadKit(design);
  EXPECT_EQ(SetBitDepth(1), 1);
  EXPECT_EQ(DriverView("KITA").Integer(kTagBitsPerSample), 8);
}

TEST_F(Setters, OneBitIsSetOnAScannerThatListsNoDepth) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagSamplesPerPixel, 1, {}).Integer(kTagBitsPerSample, 8, {});
  LoadKit(design);
  EXPECT_EQ(SetBitDepth(1), 0) << "it delivers what it scans";
  EXPECT_EQ(DriverView("KITA").Integer(kTagBitsPerSample), 1);
  EXPECT_EQ(SetBitDepth(8), 1) << "other depths only where listed";
}

TEST_F(Setters, AreaPicksTheFirstSmallestPageFromTheLastChoiceDown) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagImageWidth, 2550, {}, {}, TiffType::Long)
      .Range(kTagImageWidth, 5100, 8)
      .Integer(kTagImageLength, 3300, {}, {}, TiffType::Long)
      .Range(kTagImageLength, 8400, 1)
      .Page("Letter", 2550, 3300)
      .Page("Legal", 2550, 4200)
      .Page("A4", 2480, 3508);
  LoadKit(design);
  EXPECT_EQ(SetScanArea(2400, 3300), 0);
  EXPECT_EQ(DriverView("KITA").Text(kTagPageSize), "A4");
  EXPECT_EQ(DriverView("KITA").Integer(kTagImageWidth), 2400);

  EXPECT_EQ(SetScanArea(2550, 4000), 0);
  EXPECT_EQ(DriverView("KITA").Text(kTagPageSize), "Legal");
  EXPECT_EQ(DriverView("KITA").Integer(kTagImageWidth), 2544) << "lowered to the width step";

  EXPECT_EQ(SetScanArea(2600, 3000), 1) << "no page that wide";
}

TEST_F(Setters, AreaWithoutPagesIsCheckedAgainstTheMaxima) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagXPosition, 7)
      .Integer(kTagYPosition, 7)
      .Integer(kTagImageWidth, 100, {}, {}, TiffType::Long)
      .Range(kTagImageWidth, 2550, 0)
      .Integer(kTagImageLength, 100, {}, {}, TiffType::Long)
      .Range(kTagImageLength, 4200, 1);
  LoadKit(design);
  EXPECT_EQ(SetScanArea(2550, 4200), 0) << "a step of 0 leaves the size";
  EXPECT_EQ(DriverView("KITA").Integer(kTagXPosition), 0);
  EXPECT_EQ(DriverView("KITA").Integer(kTagImageLength), 4200);
  EXPECT_EQ(SetScanArea(2000, 5000), 1);
  EXPECT_EQ(DriverView("KITA").Integer(kTagImageWidth), 2000) << "the width was set first";
  EXPECT_EQ(SetScanArea(3000, 100), 1);
}

TEST_F(Setters, CompressionByHostCode) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagCompression, 1, {1, 3}).Integer(kTagT4Options, 0, {0, 1});
  LoadKit(design);
  SCB.lCurCompression = 3;
  SCB.lCurT4Options = 0;
  EXPECT_EQ(SetCompression(SCAN_COMP_G3_2D), 0);
  EXPECT_EQ(SCB.lCurT4Options, 1);
  EXPECT_EQ(DriverView("KITA").Integer(kTagCompression), 3);
  EXPECT_EQ(DriverView("KITA").Integer(kTagT4Options), 1);

  DrvSetTag(Scanner(), kTagT4Options, 0);
  EXPECT_EQ(SetCompression(SCAN_COMP_G3_2D), 0) << "already so: nothing changes";
  EXPECT_EQ(DriverView("KITA").Integer(kTagT4Options), 0);

  EXPECT_EQ(SetCompression(SCAN_COMP_G4), 0) << "made by a pipe when the driver cannot";
  EXPECT_EQ(SCB.lCurCompression, 4);
  EXPECT_EQ(DriverView("KITA").Integer(kTagCompression), 3);
  EXPECT_EQ(SetCompression(2), 1);
  EXPECT_EQ(SCB.lCurCompression, 4);
}

// The page header reads the host's code back from the tags the setter left on the driver.
TEST_F(Setters, EveryHostCodeComesBackFromTheTagsItSet) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagCompression, 1, {1, 3, 4, 6}).Integer(kTagT4Options, 0, {0, 1});
  LoadKit(design);
  constexpr std::array<std::uint16_t, 5> kCodes = {SCAN_COMP_G3_1D, SCAN_COMP_G3_2D, SCAN_COMP_G4,
                                                   SCAN_COMP_JPEG, SCAN_COMP_NONE};
  for (const std::uint16_t code : kCodes) {
    EXPECT_EQ(SetCompression(code), 0) << code;
    const DriverView driver("KITA");
    EXPECT_EQ(HostCompressionCode(driver.Integer(kTagCompression).value_or(0),
                                  driver.Integer(kTagT4Options).value_or(0)),
              code);
    EXPECT_EQ(HostCompressionCode(SCB.lCurCompression, SCB.lCurT4Options), code);
  }
}

TEST_F(Setters, FeederBetweenFlatbedAndFeeder) {
  sim::DriverDesign feederOnly("KITA");
  feederOnly.Integer(tag_scantype, 3, {3, 4});
  LoadKit(feederOnly);
  EXPECT_EQ(SetFeeder(-1, false), 1);
  EXPECT_TRUE(Traced("    Single feed selected but scanner has no flatbed"));
  EXPECT_EQ(SetFeeder(0, false), 0);
  EXPECT_EQ(SetFeeder(1, true), 0);
  EXPECT_EQ(DriverView("KITA").Integer(tag_scantype), 4);
  EXPECT_EQ(SetFeeder(2, false), 1);
  EXPECT_EQ(SetFeeder(-1, true), 1);
  EXPECT_TRUE(Traced("    duplex selected with flatbed"));
  UnloadDriver();

  sim::DriverDesign flatbedOnly("KITB");
  flatbedOnly.Integer(tag_scantype, 2, {2});
  LoadKit(flatbedOnly);
  EXPECT_EQ(SetFeeder(-1, false), 0);
  EXPECT_EQ(SetFeeder(1, false), 1);
  UnloadDriver();

  LoadKit(sim::DriverDesign("KITC"));
  for (std::int16_t value : std::initializer_list<std::int16_t>{-1, 0, 1}) {
    EXPECT_EQ(SetFeeder(value, false), 0) << value;
  }
  EXPECT_EQ(SetFeeder(0, true), 1) << "duplex without a scan type";
  EXPECT_TRUE(Traced("    duplex selected but tag_scantype not available"));
}

}  // namespace
