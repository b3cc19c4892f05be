// Records captured from drivers and applied back to them.
#include "parms/tag_conversion.h"

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "framework/driver_calls.h"
#include "parms/verify_parms.h"
#include "sim/barcode/barcode_component.h"
#include "tests/unit/scanner_fixture.h"

namespace {

using sim::DriverView;

std::string Setting(ParmRecord& record, const char* name) {
  char value[128];
  RestoreCallback(0, name, "<none>", value, sizeof value, &record);
  return value;
}

class TagConversion : public ScannerTest {
 protected:
  std::unique_ptr<ParmRecord> Capture() {
    auto record = std::make_unique<ParmRecord>();
    tagstoparm(*record);
    return record;
  }
  const DriverRecord& Scanner() const { return SCB.ScannerDriver; }
};

TEST_F(TagConversion, ACaptureOfTheVirtualScannerDescribesItWhole) {
  ASSERT_EQ(LoadDriver("VSCAN"), 0);
  SCB.lCurCompression = 1;
  SCB.p3 = 1;
  auto record = Capture();
  EXPECT_EQ(+record->usSize, PARM_RECORD_SIZE);
  EXPECT_STREQ(record->szDriver, "VSCAN");
  EXPECT_STREQ(record->szID, "KOV Virtual Scanner 1.0");
  EXPECT_EQ(+record->sOldCount, 0);
  EXPECT_EQ(record->achSettings[record->sSettingsLen], '\0') << "terminated";
  EXPECT_EQ(Setting(*record, "XResolution"), "300/1");
  EXPECT_EQ(Setting(*record, "SamplesPerPixel"), "1");
  EXPECT_EQ(Setting(*record, "Tag 259"), "1");
  EXPECT_EQ(Setting(*record, "Tag 1293"), "1");
  EXPECT_EQ(+record->lCompression, 1);
  EXPECT_EQ(+record->p3, 1);
  EXPECT_EQ(+record->lDiscardState, 0);
  EXPECT_EQ(std::string(record->szBarcodeState), sim::CurrentBarcodeState().value_or("?"));
  EXPECT_TRUE(Traced("p2=0 p3=1 pt=0 bro=0"));
  EXPECT_TRUE(Traced("   done with tagstoparm "));
}

TEST_F(TagConversion, RecordToDriverToRecordIsStable) {
  ASSERT_EQ(LoadDriver("VSCAN"), 0);
  DrvSetRationalTag(Scanner(), kTagXResolution, {200, 1});
  DrvSetTag(Scanner(), kTagScanAhead, 0);
  SCB.lCurCompression = 1;
  auto first = Capture();

  DrvSetRationalTag(Scanner(), kTagXResolution, {600, 1});
  DrvSetTag(Scanner(), kTagScanAhead, 1);
  parmtotags(*first);
  EXPECT_EQ(DriverView("VSCAN").Rational(kTagXResolution)->lNumerator, 200);
  EXPECT_EQ(DriverView("VSCAN").Integer(kTagScanAhead), 0);

  auto second = Capture();
  ASSERT_EQ(+first->sSettingsLen, +second->sSettingsLen);
  EXPECT_EQ(std::memcmp(first.get(), second.get(), sizeof(ParmRecord)), 0);
}

TEST_F(TagConversion, WidthIsRoundedToWholeBytesPerRow) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagBitsPerSample, 1).Integer(kTagImageWidth, 2550, {}, {}, TiffType::Long);
  LoadKit(design);
  RoundImageWidth();
  EXPECT_EQ(DriverView("KITA").Integer(kTagImageWidth), 2544);
  EXPECT_TRUE(Traced("   Width being adjusted to be a multiple of 8: 2550"));
  DrvSetTag(Scanner(), kTagBitsPerSample, 8);
  DrvSetTag(Scanner(), kTagImageWidth, 2550);
  RoundImageWidth();
  EXPECT_EQ(DriverView("KITA").Integer(kTagImageWidth), 2550);
  DrvSetTag(Scanner(), kTagBitsPerSample, 0);
  RoundImageWidth();
  EXPECT_EQ(DriverView("KITA").Integer(kTagImageWidth), 2550) << "no step for 0 bits";
  // Depths between and above fill whole bytes too: 3 bits need 8 dots, 12 bits 2, 16 bits 1.
  for (const auto& [bits, rounded] : {std::pair{3, 2544}, {12, 2550}, {16, 2550}, {-4, 2550}}) {
    DrvSetTag(Scanner(), kTagBitsPerSample, bits);
    DrvSetTag(Scanner(), kTagImageWidth, 2550);
    RoundImageWidth();
    EXPECT_EQ(DriverView("KITA").Integer(kTagImageWidth), rounded) << bits;
  }
  DrvSetTag(Scanner(), kTagBitsPerSample, 12);
  DrvSetTag(Scanner(), kTagImageWidth, 2551);
  RoundImageWidth();
  EXPECT_EQ(DriverView("KITA").Integer(kTagImageWidth), 2550);
  DrvSetTag(Scanner(), kTagBitsPerSample, 1);
  DrvSetTag(Scanner(), kTagImageWidth, 5);
  RoundImageWidth();
  EXPECT_EQ(DriverView("KITA").Integer(kTagImageWidth), 5) << "never rounded away";
}

TEST_F(TagConversion, SingleTagKeysAreQualifiedByTag1690Or1709) {
  LoadKit(sim::DriverDesign("KITA"));
  EXPECT_STREQ(TagKeyText(kTagCompression), "Tag 259");
  UnloadDriver();
  sim::DriverDesign qualified("KITB");
  qualified.Integer(kTagKeyQualifier, 1);
  LoadKit(qualified);
  EXPECT_STREQ(TagKeyText(kTagCompression), "Tag 259(1)");
  UnloadDriver();
  sim::DriverDesign alternative("KITC");
  alternative.Integer(kTagKeyQualifierAlt, -2);
  LoadKit(alternative);
  EXPECT_STREQ(TagKeyText(kTagScanAhead), "Tag 1293(-2)");
}

TEST_F(TagConversion, SingleTagTextsRestoreIntegersRationalsAndTexts) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagCompression, 1, {1, 4})
      .Integer(kTagScanAhead, 0)
      .Rational(kTagXResolution, {300, 1})
      .Text(kTagScannerId, "id");
  LoadKit(design);
  auto record = std::make_unique<ParmRecord>();
  auto restoreFrom = [&](const char* text, std::uint16_t tag) {
    std::memset(record->achSettings, 0, 64);
    record->sSettingsLen = 0;
    SaveCallback(0, TagKeyText(tag), text, record.get());
    return RestoreTagText(*record, RestoreCallback, tag);
  };
  EXPECT_EQ(restoreFrom("-5", kTagScanAhead), 0) << "no list of choices: the driver judges";
  EXPECT_EQ(DriverView("KITA").Integer(kTagScanAhead), -5);
  EXPECT_EQ(restoreFrom("4", kTagCompression), 0);
  EXPECT_EQ(DriverView("KITA").Integer(kTagCompression), 4);
  // Values the scanner could not scan with are not set: not among its choices, or no
  // compression at all.
  for (const char* text : {"3", "5", "-5"}) {
    EXPECT_EQ(restoreFrom(text, kTagCompression), kErrValueNotAllowed) << text;
    EXPECT_EQ(DriverView("KITA").Integer(kTagCompression), 4) << text;
  }
  EXPECT_EQ(restoreFrom("", kTagCompression), kErrSettingMissing);
  for (const char* text : {"200/1", "200 1", "200:1"}) {
    DrvSetRationalTag(Scanner(), kTagXResolution, {300, 1});
    EXPECT_EQ(restoreFrom(text, kTagXResolution), 0) << text;
    EXPECT_EQ(DriverView("KITA").Rational(kTagXResolution)->lNumerator, 200) << text;
  }
  EXPECT_EQ(restoreFrom("150", kTagXResolution), kErrNoDenominator);
  EXPECT_EQ(DriverView("KITA").Rational(kTagXResolution)->lNumerator, 200);
  EXPECT_EQ(restoreFrom("new id", kTagScannerId), 0);
  EXPECT_EQ(DriverView("KITA").Text(kTagScannerId), "new id");

  std::memset(record->achSettings, 0, 64);
  EXPECT_EQ(RestoreTagText(*record, RestoreCallback, kTagCompression), kErrSettingMissing);
}

class CompressionPipe : public TagConversion {
 protected:
  // Loads a scanner delivering 1-bit uncompressed, or Group 3 1-D when g3, or 24-bit colour.
  void LoadScanner(bool g3, bool colour = false) {
    sim::DriverDesign design("KITA");
    design.Integer(kTagSamplesPerPixel, colour ? 3 : 1)
        .Integer(kTagBitsPerSample, colour ? 8 : 1)
        .Integer(kTagCompression, g3 ? 3 : 1, {g3 ? 3 : 1})
        .Integer(kTagT4Options, 0, {0});
    LoadKit(design);
  }
  std::string ApplyCompression(std::int32_t compression, std::int32_t t4Options) {
    auto record = Capture();
    record->lCompression = compression;
    record->lT4Options = t4Options;
    parmtotags(*record);
    return SCB.PipeText;
  }
};

TEST_F(CompressionPipe, NoneWhenTheDriverDeliversWhatWasAsked) {
  LoadScanner(false);
  EXPECT_EQ(ApplyCompression(1, 0), "");
  EXPECT_EQ(ApplyCompression(0, 0), "") << "a record without compression takes the driver's";
  EXPECT_EQ(SCB.lCurCompression, 1);
}

TEST_F(CompressionPipe, DescribesTheConversionTheDriverCannotDo) {
  LoadScanner(true);
  const std::string pipe = ApplyCompression(3, 1);
  EXPECT_NE(pipe.find("from=277:1,258:1,262:0,284:1,259:3"), std::string::npos) << pipe;
  EXPECT_NE(pipe.find("to=277:1,258:1,262:0,259:3"), std::string::npos) << pipe;
  EXPECT_EQ(SCB.lCurT4Options, 1);
}

TEST_F(CompressionPipe, JpegAsksForTheColourOrGrayInterpretation) {
  LoadScanner(false, true);
  const std::string colour = ApplyCompression(6, 0);
  EXPECT_NE(colour.find("to=277:3,258:8,262:120,259:6,284:1"), std::string::npos) << colour;
}

TEST_F(TagConversion, DiscardedBarcodeStateIsNotApplied) {
  ASSERT_EQ(LoadDriver("VSCAN"), 0);
  auto record = Capture();
  const std::string before = sim::CurrentBarcodeState().value_or("");
  std::strcpy(record->szBarcodeState, "symbologies=QRCode;tryharder=0;maxresults=1");
  record->lDiscardState = 1;
  parmtotags(*record);
  EXPECT_EQ(record->szBarcodeState[0], '\0');
  EXPECT_EQ(sim::CurrentBarcodeState(), before);

  std::strcpy(record->szBarcodeState, "symbologies=QRCode;tryharder=0;maxresults=1");
  record->lDiscardState = 0;
  parmtotags(*record);
  EXPECT_EQ(sim::CurrentBarcodeState(), "symbologies=QRCode;tryharder=0;maxresults=1");
}

TEST_F(TagConversion, ResetDetectionClearsTheSwitchesAndTheComponentState) {
  ASSERT_EQ(LoadDriver("VSCAN"), 0);
  const std::string initial = sim::CurrentBarcodeState().value_or("");
  auto record = Capture();
  std::strcpy(record->szBarcodeState, "symbologies=QRCode;tryharder=0;maxresults=1");
  record->p2 = record->bro = 1;
  parmtotags(*record);
  ASSERT_EQ(SCB.bro, 1);
  ResetDetection();
  EXPECT_EQ(SCB.p2 + SCB.p3 + SCB.pt + SCB.bro, 0);
  EXPECT_EQ(sim::CurrentBarcodeState(), initial);
}

TEST_F(TagConversion, OlderRecordsAreAppliedThroughTheFixedWidthEntries) {
  ASSERT_EQ(LoadDriver("VSCAN"), 0);
  auto record = std::make_unique<ParmRecord>();
  std::strcpy(record->achSettings, "XResolution");
  std::strcpy(record->achSettings + PARM_OLD_NAME_SIZE, "200/1");
  record->sOldCount = 1;
  parmtotags(*record);
  EXPECT_EQ(DriverView("VSCAN").Rational(kTagXResolution)->lNumerator, 200);
}

TEST_F(TagConversion, AnyRecordContentIsReadWithinTheRecord) {
  ASSERT_EQ(LoadDriver("VSCAN"), 0);
  auto captured = Capture();
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> byte(0, 255);
  auto record = std::make_unique<ParmRecord>();
  for (int round = 0; round < 40; ++round) {
    auto* bytes = reinterpret_cast<unsigned char*>(record.get());
    for (std::size_t i = 0; i < sizeof(ParmRecord); ++i) {
      bytes[i] = static_cast<unsigned char>(byte(random));
    }
    // Half the rounds pass the checks and reach the driver.
    if (round % 2 == 0) {
      record->usSize = PARM_RECORD_SIZE;
      std::memcpy(record->szID, captured->szID, sizeof record->szID);
    }
    if (round % 4 == 0) record->sOldCount = static_cast<std::int16_t>(byte(random));
    VerifyParms(*record);
  }
  SUCCEED() << "no read or write outside the record";
}

}  // namespace
