// The virtual scanner, described by the profile in a temporary folder.
#include "sim/drivers/virtual_scanner.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/driver_calls.h"
#include "sim/kit/kit.h"
#include "sim/services/faults/errors.h"
#include "tests/sim/settings_store.h"
#include "tests/sim/temp_folder.h"

namespace {

class VirtualScanner : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetDrivers();
    setenv("ZAFT_PROFILE", profile_.c_str(), 1);
  }
  void TearDown() override {
    for (DriverRecord& driver : loaded_) QelDrvUnload(&driver);
    unsetenv("ZAFT_PROFILE");
    sim::ResetDrivers();
  }

  // The record of the driver loaded; tests end with it unloaded.
  std::int32_t Load(const char* name) {
    DriverRecord driver{};
    const std::int32_t result = QelDrvLoad(0, name, &driver, kQelLoadByName);
    if (result == 0) loaded_.push_back(driver);
    return result;
  }
  const DriverRecord& Scanner() const { return loaded_.back(); }

  std::optional<std::int32_t> Get(std::uint16_t tag) const {
    std::int32_t value = 0;
    if (DrvGetTag(Scanner(), tag, value) != 0) return std::nullopt;
    return value;
  }
  std::optional<std::int32_t> Choice(std::uint16_t tag, std::uint16_t index) const {
    std::int32_t value = 0;
    if (DrvGetChoice(Scanner(), tag, index, value) != 0) return std::nullopt;
    return value;
  }
  std::vector<std::int32_t> Choices(std::uint16_t tag) const {
    std::int32_t count = 0;
    std::vector<std::int32_t> choices;
    if (DrvGetChoiceCount(Scanner(), tag, count) != 0) return choices;
    for (std::int32_t i = 0; i < count; ++i) {
      choices.push_back(Choice(tag, static_cast<std::uint16_t>(i)).value_or(-1));
    }
    return choices;
  }
  std::string Text(std::uint16_t tag) const {
    std::array<char, kStringChoiceSize> text{};
    DrvGetStringTag(Scanner(), tag, text);
    return text.data();
  }
  std::string Resolution(std::uint16_t tag) const {
    QelRational value{};
    DrvGetRationalTag(Scanner(), tag, value);
    return std::to_string(value.lNumerator) + "/" + std::to_string(value.lDenominator);
  }

  TempFolder folder_;
  std::filesystem::path profile_ = folder_ / "zaft.ini";
  std::vector<DriverRecord> loaded_;
};

TEST_F(VirtualScanner, VscanWithoutASectionIsTheTypicalDuplexFeederWithAFlatbed) {
  ASSERT_EQ(Load("VSCAN"), 0);
  EXPECT_EQ(Text(kTagScannerId), "KOV Virtual Scanner 1.0");
  EXPECT_EQ(Text(kTagPageSize), "Letter");
  EXPECT_EQ(Resolution(kTagXResolution), "300/1");
  EXPECT_EQ(Resolution(kTagYResolution), "300/1");
  QelRational lowest{};
  EXPECT_EQ(DrvGetRationalChoice(Scanner(), kTagYResolution, 0, lowest), 0);
  EXPECT_EQ(lowest.lNumerator, 100);
  std::array<char, kStringChoiceSize> page{};
  EXPECT_EQ(DrvGetStringChoice(Scanner(), kTagPageSize, 2, page), 0);
  EXPECT_STREQ(page.data(), "A4");

  const std::pair<std::uint16_t, std::int32_t> values[] = {{kTagImageWidth, 2550},
                                                           {kTagImageLength, 3300},
                                                           {kTagXPosition, 0},
                                                           {kTagYPosition, 0},
                                                           {tag_scantype, 3},
                                                           {kTagFeederStatus, 0x3},
                                                           {kTagScanAhead, 1},
                                                           {kTagJobSeparators, 0},
                                                           {kTagCompression, 1},
                                                           {kTagT4Options, 0},
                                                           {kTagPlanarConfiguration, 1},
                                                           {kTagPhotometricInterpretation, 0}};
  for (const auto& [tag, value] : values) EXPECT_EQ(Get(tag), value) << tag;
  const std::pair<std::uint16_t, std::vector<std::int32_t>> choices[] = {
      {kTagSamplesPerPixel, {1, 3}}, {kTagBitsPerSample, {1, 8}},    {tag_scantype, {2, 3, 4}},
      {kTagScanAhead, {0, 1}},       {kTagJobSeparators, {0, 1, 2}}, {kTagCompression, {1}}};
  for (const auto& [tag, list] : choices) EXPECT_EQ(Choices(tag), list) << tag;
  EXPECT_EQ(Choice(kTagImageWidth, kChoiceMaximum), 2550);
  EXPECT_EQ(Choice(kTagImageWidth, kChoiceStep), 8);
  EXPECT_EQ(Choice(kTagImageLength, kChoiceMaximum), 4200);
  EXPECT_EQ(Choice(kTagImageLength, kChoiceStep), 1);

  for (const std::uint16_t absent : {kTagSendParams, kTagSendParamsMode, kTagPageLevel,
                                     kTagPageSide, kTagKeyQualifier, kTagKeyQualifierAlt}) {
    EXPECT_FALSE(Get(absent)) << absent;
  }
  EXPECT_EQ(QelDrvMessage(Scanner(), sendparams, 0, nullptr), sim::error::kMessageNotSupported);
}

TEST_F(VirtualScanner, OtherNamesNeedASectionOfThatType) {
  EXPECT_EQ(Load("FLAT"), sim::error::kDriverNotFound);
  TempFolder::Write(profile_, "[FLAT]\nId=Flat\n");
  EXPECT_EQ(Load("FLAT"), sim::error::kDriverNotFound);
  TempFolder::Write(profile_, "[flat]\nType = VirtualScanner \nId= Flat one \n");
  ASSERT_EQ(Load("Flat"), 0);
  EXPECT_EQ(Text(kTagScannerId), "Flat one");
  EXPECT_EQ(Get(tag_scantype), 3) << "the other keys keep their defaults";
  EXPECT_EQ(sim::DriverView("FLAT").TimesLoaded(), 1u);
}

TEST_F(VirtualScanner, KeysDescribeTheScanner) {
  TempFolder::Write(profile_,
                    "[SHEETFED]\nType=VirtualScanner\nResolutions=200,400\nBitDepths=8,24,12\n"
                    "MaxWidthInches=8.27\nMaxLengthInches=11.69\nWidthStep=16\nLengthStep=2\n"
                    "Pages=none\nScanTypes=none\nFeederStatus=0x200001\nScanAhead=0\n"
                    "JobSeparators=1,3\nSendParams=1\nPageLevelTag=1\nPageSideTag=1\n"
                    "KeyQualifier=1\nKeyQualifierAlt=-2\nCompressions=1,4\n");
  ASSERT_EQ(Load("SHEETFED"), 0);
  EXPECT_EQ(Resolution(kTagXResolution), "200/1") << "without 300 the first listed";
  EXPECT_EQ(Choices(kTagBitsPerSample), (std::vector<std::int32_t>{8})) << "gray's depths";
  EXPECT_EQ(Get(kTagPhotometricInterpretation), 1) << "8-bit gray first";
  ASSERT_EQ(DrvSetTag(Scanner(), kTagSamplesPerPixel, 3), 0);
  EXPECT_EQ(Choices(kTagBitsPerSample), (std::vector<std::int32_t>{8, 4})) << "colour's depths";
  ASSERT_EQ(DrvSetTag(Scanner(), kTagSamplesPerPixel, 1), 0);

  EXPECT_FALSE(Get(tag_scantype));
  std::int32_t count = 0;
  EXPECT_EQ(DrvGetChoiceCount(Scanner(), kTagPageSize, count), sim::error::kTagNotSupported);
  EXPECT_EQ(Get(kTagImageWidth), 1654) << "no pages: the whole bed";
  EXPECT_EQ(Get(kTagImageLength), 2338);
  EXPECT_EQ(Choice(kTagImageWidth, kChoiceStep), 16);
  EXPECT_EQ(Choice(kTagImageLength, kChoiceStep), 2);

  const std::pair<std::uint16_t, std::int32_t> values[] = {
      {kTagFeederStatus, 0x200001}, {kTagScanAhead, 0},       {kTagJobSeparators, 1},
      {kTagSendParams, 0},          {kTagPageLevel, 1},       {kTagPageSide, 0},
      {kTagKeyQualifier, 1},        {kTagKeyQualifierAlt, -2}};
  for (const auto& [tag, value] : values) EXPECT_EQ(Get(tag), value) << tag;
  EXPECT_EQ(DrvSetTag(Scanner(), kTagSendParamsMode, 1), 0);
  EXPECT_EQ(QelDrvMessage(Scanner(), sendparams, 0, nullptr), 0);
  EXPECT_EQ(Choices(kTagCompression), (std::vector<std::int32_t>{1, 4}));
}

TEST_F(VirtualScanner, ASectionThatDescribesNoScannerRefusesTheLoad) {
  for (const char* line :
       {"Resolutions=300,abc", "BitDepths=10", "Pages=Letter=8.5", "ScanAhead=2",
        "Pages=Letter=8.5x11,=1x1", "MaxWidthInches=0", "WidthStep=0", "FeederStatus=0xZZ",
        "KeyQualifier=one", "Compressions=", "FeederPages=-1"}) {
    TempFolder::Write(profile_, std::string("[VSCAN]\nType=VirtualScanner\n") + line + "\n");
    EXPECT_EQ(Load("VSCAN"), sim::error::kBadDriverSettings) << line;
  }
  EXPECT_TRUE(loaded_.empty());
}

TEST_F(VirtualScanner, TheAreaKeepsItsPlaceOnTheBedWhenTheResolutionChanges) {
  ASSERT_EQ(Load("VSCAN"), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagXPosition, 300), 0);
  ASSERT_EQ(DrvSetRationalTag(Scanner(), kTagXResolution, {150, 1}), 0);
  EXPECT_EQ(Get(kTagImageWidth), 1275);
  EXPECT_EQ(Get(kTagXPosition), 150);
  EXPECT_EQ(Choice(kTagImageWidth, kChoiceMaximum), 1275);
  EXPECT_EQ(Get(kTagImageLength), 3300) << "the other direction stays";

  ASSERT_EQ(DrvSetRationalTag(Scanner(), kTagYResolution, {600, 1}), 0);
  EXPECT_EQ(Get(kTagImageLength), 6600);
  EXPECT_EQ(Choice(kTagImageLength, kChoiceMaximum), 8400);

  // Pages are sized at the resolution of each direction.
  ASSERT_EQ(DrvSetStringTag(Scanner(), kTagPageSize, "Legal"), 0);
  EXPECT_EQ(Get(kTagImageWidth), 1275);
  EXPECT_EQ(Get(kTagImageLength), 8400);
  ASSERT_EQ(DrvSetStringTag(Scanner(), kTagPageSize, "A4"), 0);
  EXPECT_EQ(Get(kTagImageWidth), 1241);
  EXPECT_EQ(Get(kTagImageLength), 7014);

  // An area set past the bed is brought back within it.
  ASSERT_EQ(DrvSetTag(Scanner(), kTagImageLength, 9000), 0);
  ASSERT_EQ(DrvSetRationalTag(Scanner(), kTagYResolution, {300, 1}), 0);
  EXPECT_EQ(Get(kTagImageLength), 4200);
}

TEST_F(VirtualScanner, TheBitDepthSetsThePhotometric) {
  ASSERT_EQ(Load("VSCAN"), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagBitsPerSample, 8), 0);
  EXPECT_EQ(Get(kTagPhotometricInterpretation), 1);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagSamplesPerPixel, 3), 0);
  EXPECT_EQ(Get(kTagPhotometricInterpretation), 2);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagSamplesPerPixel, 1), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagBitsPerSample, 1), 0);
  EXPECT_EQ(Get(kTagPhotometricInterpretation), 0);
}

TEST_F(VirtualScanner, SavedSettingsBringAFreshLoadBackToTheSameArea) {
  ASSERT_EQ(Load("VSCAN"), 0);
  ASSERT_EQ(DrvSetRationalTag(Scanner(), kTagXResolution, {200, 1}), 0);
  ASSERT_EQ(DrvSetRationalTag(Scanner(), kTagYResolution, {200, 1}), 0);
  ASSERT_EQ(DrvSetStringTag(Scanner(), kTagPageSize, "A4"), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagImageWidth, 1600), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagScanAhead, 0), 0);
  SettingsStore store;
  auto save = store.SaveArgs();
  ASSERT_EQ(QelDrvMessage(Scanner(), QelDrvSaveSettings, 0, &save), 0);
  std::vector<std::string> names;
  for (const auto& [name, value] : store.saved) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"XResolution", "YResolution", "SamplesPerPixel",
                                             "BitsPerSample", "PageSize", "ImageWidth",
                                             "ImageLength", "XPosition", "YPosition", "ScanType",
                                             "JobSeparator", "ScanAhead"}));

  ASSERT_EQ(Load("VSCAN"), 0);
  store.KeepSaved();
  auto restore = store.RestoreArgs();
  ASSERT_EQ(QelDrvMessage(Scanner(), QelDrvRestoreSettings, 0, &restore), 0);
  EXPECT_EQ(Text(kTagPageSize), "A4");
  EXPECT_EQ(Get(kTagImageWidth), 1600);
  EXPECT_EQ(Get(kTagImageLength), 2338);
  EXPECT_EQ(Choice(kTagImageWidth, kChoiceMaximum), 1700);
  EXPECT_EQ(Get(kTagScanAhead), 0);
}

TEST_F(VirtualScanner, ParametersSentAreCountedAndTheLastImprinterTextKept) {
  TempFolder::Write(profile_, "[VSCAN]\nType=VirtualScanner\nSendParams=1\n");
  ASSERT_EQ(Load("VSCAN"), 0);
  const sim::DriverView view("VSCAN");
  EXPECT_EQ(view.ParameterSends(), 0u);
  EXPECT_EQ(view.ImprinterText(), std::nullopt);

  EXPECT_EQ(QelDrvMessage(Scanner(), sendparams, 0, nullptr), 0);
  EXPECT_EQ(QelDrvMessage(Scanner(), sendparams, 0, nullptr), 0);
  char first[] = "BATCH 7";
  EXPECT_EQ(QelDrvMessage(Scanner(), sendparams, 0, first), 0);
  EXPECT_EQ(view.ParameterSends(), 2u) << "a text is no parameter send";
  EXPECT_EQ(view.ImprinterText(), "BATCH 7");
  std::string longer(300, 'x');
  EXPECT_EQ(QelDrvMessage(Scanner(), sendparams, 0, longer.data()), 0);
  EXPECT_EQ(view.ImprinterText(), std::string(255, 'x'));
  char empty[] = "";
  EXPECT_EQ(QelDrvMessage(Scanner(), sendparams, 0, empty), 0);
  EXPECT_EQ(view.ImprinterText(), "");

  // Each load starts with nothing received, and an unloaded scanner reports nothing.
  ASSERT_EQ(Load("VSCAN"), 0);
  EXPECT_EQ(view.ParameterSends(), 0u);
  for (DriverRecord& driver : loaded_) QelDrvUnload(&driver);
  loaded_.clear();
  EXPECT_EQ(view.ParameterSends(), std::nullopt);
}

TEST_F(VirtualScanner, WithoutSendParamsNothingIsReceived) {
  ASSERT_EQ(Load("VSCAN"), 0);
  char text[] = "BATCH 7";
  EXPECT_EQ(QelDrvMessage(Scanner(), sendparams, 0, nullptr), sim::error::kMessageNotSupported);
  EXPECT_EQ(QelDrvMessage(Scanner(), sendparams, 0, text), sim::error::kMessageNotSupported);
  EXPECT_EQ(sim::DriverView("VSCAN").ParameterSends(), 0u);
  EXPECT_EQ(sim::DriverView("VSCAN").ImprinterText(), std::nullopt);
}

TEST_F(VirtualScanner, PageLoadedTellsWhetherPagesWaitInTheFeeder) {
  const auto flags = [this] {
    std::uint32_t value = 0xFFFF;
    const auto result = QelDrvMessage(Scanner(), QelDrvPageLoaded, 1, &value);
    return result == 0 ? std::optional(value) : std::nullopt;
  };
  ASSERT_EQ(Load("VSCAN"), 0);
  EXPECT_EQ(flags(), 0u) << "no pages wait by default";
  EXPECT_TRUE(sim::SetFeederPages("vscan", 3));
  EXPECT_EQ(flags(), kPageReady);
  EXPECT_TRUE(sim::SetFeederPages("VSCAN", 0));
  EXPECT_EQ(flags(), 0u);
  EXPECT_EQ(QelDrvMessage(Scanner(), QelDrvPageLoaded, 1, nullptr), sim::error::kInvalidArgument);

  TempFolder::Write(profile_, "[FEEDER]\nType=VirtualScanner\nFeederPages=2\n");
  ASSERT_EQ(Load("FEEDER"), 0);
  EXPECT_EQ(flags(), kPageReady);
  EXPECT_TRUE(sim::SetFeederPages("FEEDER", 0));
  EXPECT_EQ(flags(), 0u);

  // Only a loaded virtual scanner has a feeder to fill.
  sim::RegisterDriver(sim::DriverDesign("KITA").Accept(QelDrvPageLoaded));
  ASSERT_EQ(Load("KITA"), 0);
  EXPECT_FALSE(sim::SetFeederPages("KITA", 1));
  EXPECT_FALSE(sim::SetFeederPages("OTHER", 1));
  EXPECT_FALSE(sim::SetFeederPages("NINECHARS", 1));
}

TEST_F(VirtualScanner, AFreshStartBringsTheSettingsBackToTheirValuesAtLoad) {
  TempFolder::Write(profile_, "[VSCAN]\nType=VirtualScanner\nSendParams=1\nFeederPages=1\n");
  ASSERT_EQ(Load("VSCAN"), 0);
  ASSERT_EQ(DrvSetRationalTag(Scanner(), kTagXResolution, {200, 1}), 0);
  ASSERT_EQ(DrvSetRationalTag(Scanner(), kTagYResolution, {600, 1}), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagBitsPerSample, 8), 0);
  ASSERT_EQ(DrvSetStringTag(Scanner(), kTagPageSize, "A4"), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagImageWidth, 800), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagXPosition, 40), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), tag_scantype, 2), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagScanAhead, 0), 0);
  ASSERT_EQ(DrvSetTag(Scanner(), kTagSendParamsMode, 1), 0);
  ASSERT_EQ(QelDrvMessage(Scanner(), sendparams, 0, nullptr), 0);

  EXPECT_EQ(QelDrvMessage(Scanner(), QelDrvFreshStart, 0, nullptr), 0);
  EXPECT_EQ(Resolution(kTagXResolution), "300/1");
  EXPECT_EQ(Resolution(kTagYResolution), "300/1");
  EXPECT_EQ(Text(kTagPageSize), "Letter");
  const std::pair<std::uint16_t, std::int32_t> values[] = {
      {kTagBitsPerSample, 1}, {kTagPhotometricInterpretation, 0},
      {kTagImageWidth, 2550}, {kTagImageLength, 3300},
      {kTagXPosition, 0},     {tag_scantype, 3},
      {kTagScanAhead, 1}};
  for (const auto& [tag, value] : values) EXPECT_EQ(Get(tag), value) << tag;
  EXPECT_EQ(Choice(kTagImageLength, kChoiceMaximum), 4200) << "the bed at the resolution again";

  // What is no setting stays: the mode the library set, the feeder, what was received.
  EXPECT_EQ(Get(kTagSendParamsMode), 1);
  std::uint32_t flags = 0;
  EXPECT_EQ(QelDrvMessage(Scanner(), QelDrvPageLoaded, 1, &flags), 0);
  EXPECT_EQ(flags, kPageReady);
  EXPECT_EQ(sim::DriverView("VSCAN").ParameterSends(), 1u);
}

}  // namespace
