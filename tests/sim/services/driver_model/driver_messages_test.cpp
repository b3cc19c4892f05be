// The framework's default message handling, through the library's own message helpers.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "framework/driver_calls.h"
#include "sim/kit/kit.h"
#include "sim/services/driver_model/driver.h"
#include "sim/services/faults/errors.h"
#include "tests/sim/settings_store.h"

namespace {

using sim::error::kMessageNotSupported;
using sim::error::kNoChoices;
using sim::error::kNoSuchChoice;
using sim::error::kTagNotSupported;
using sim::error::kWrongTagType;

class DefaultMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetDrivers();
    sim::DriverDesign design("KITA");
    design.Integer(kTagSamplesPerPixel, 1, {1, 3}, "SamplesPerPixel")
        .Integer(kTagBitsPerSample, 1, {1, 8}, "BitsPerSample")
        .Rational(kTagXResolution, {300, 1}, {{200, 1}, {300, 1}, {600, 1}}, "XResolution")
        .Text(kTagPageSize, "Letter", {}, "PageSize")
        .Integer(kTagImageWidth, 2550, {}, "ImageWidth", TiffType::Long)
        .Range(kTagImageWidth, 2550, 8)
        .Integer(kTagImageLength, 3300, {}, "ImageLength", TiffType::Long)
        .Text(kTagScannerId, "Kit scanner A")
        .Page("Letter", 2550, 3300)
        .Page("A4", 2480, 3508);
    sim::RegisterDriver(design);
    ASSERT_EQ(Load(driver_), 0);
  }
  void TearDown() override { sim::ResetDrivers(); }

  static std::int32_t Load(DriverRecord& driver) {
    return QelDrvLoad(0, "KITA", &driver, kQelLoadByName);
  }

  DriverRecord driver_{};
  sim::DriverView view_{"KITA"};
};

TEST_F(DefaultMessages, GetsAnswerInEachTypesLayout) {
  std::int32_t value = -1;
  EXPECT_EQ(DrvGetTag(driver_, kTagImageWidth, value), 0);
  EXPECT_EQ(value, 2550);

  QelRational resolution{};
  EXPECT_EQ(DrvGetRationalTag(driver_, kTagXResolution, resolution), 0);
  EXPECT_EQ(resolution.lNumerator, 300);
  EXPECT_EQ(resolution.lDenominator, 1);

  std::array<char, 6> cut{};
  cut.fill('z');
  EXPECT_EQ(DrvGetStringTag(driver_, kTagScannerId, std::span(cut).first(5)), 0);
  EXPECT_STREQ(cut.data(), "Kit ");
  EXPECT_EQ(cut[5], 'z') << "written past the size in the argument";

  TiffType type{};
  for (const auto& [tag, expected] : {std::pair{kTagImageWidth, TiffType::Long},
                                      {kTagBitsPerSample, TiffType::Short},
                                      {kTagXResolution, TiffType::Rational},
                                      {kTagScannerId, TiffType::Ascii}}) {
    EXPECT_EQ(DrvGetTagType(driver_, tag, type), 0);
    EXPECT_EQ(type, expected) << tag;
  }
}

TEST_F(DefaultMessages, MissingTagsAndOtherTypesFailAndChangeNothing) {
  std::int32_t value = -1;
  char text[8] = "stale";
  EXPECT_EQ(DrvGetTag(driver_, tag_scantype, value), kTagNotSupported);
  EXPECT_EQ(DrvGetTag(driver_, kTagXResolution, value), kWrongTagType);
  EXPECT_EQ(DrvGetStringTag(driver_, kTagImageWidth, text), kWrongTagType);
  EXPECT_EQ(QelDrvMessage(driver_, QelDrvGetStringTag, TagArg(kTagScannerId, 0), text),
            sim::error::kInvalidArgument);
  EXPECT_EQ(value, -1);
  EXPECT_STREQ(text, "stale");

  EXPECT_EQ(DrvSetTag(driver_, kTagXResolution, 5), kWrongTagType);
  EXPECT_EQ(DrvSetStringTag(driver_, kTagImageWidth, "5"), kWrongTagType);
  EXPECT_EQ(DrvSetTag(driver_, tag_scantype, 3), kTagNotSupported);
  EXPECT_EQ(view_.Integer(kTagImageWidth), 2550);
  EXPECT_FALSE(view_.Integer(tag_scantype));
}

TEST_F(DefaultMessages, SetsTakeValuesOutsideTheChoices) {
  EXPECT_EQ(DrvSetTag(driver_, kTagSamplesPerPixel, 2), 0);
  EXPECT_EQ(view_.Integer(kTagSamplesPerPixel), 2);
  EXPECT_EQ(DrvSetRationalTag(driver_, kTagXResolution, {301, 2}), 0);
  EXPECT_EQ(view_.Rational(kTagXResolution)->lDenominator, 2);
  EXPECT_EQ(DrvSetStringTag(driver_, kTagScannerId, "renamed"), 0);
  EXPECT_EQ(view_.Text(kTagScannerId), "renamed");
}

TEST_F(DefaultMessages, ChoicesByIndexWithMaximumAndStep) {
  std::int32_t count = 0;
  std::int32_t value = -1;
  EXPECT_EQ(DrvGetChoiceCount(driver_, kTagSamplesPerPixel, count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(DrvGetChoice(driver_, kTagSamplesPerPixel, 1, value), 0);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(DrvGetChoice(driver_, kTagSamplesPerPixel, 2, value), kNoSuchChoice);

  QelRational rational{};
  EXPECT_EQ(DrvGetRationalChoice(driver_, kTagXResolution, 2, rational), 0);
  EXPECT_EQ(rational.lNumerator, 600);
  std::array<char, kStringChoiceSize> name{};
  EXPECT_EQ(DrvGetChoiceCount(driver_, kTagPageSize, count), 0);
  EXPECT_EQ(count, 2) << "a page named twice is listed once";
  EXPECT_EQ(DrvGetStringChoice(driver_, kTagPageSize, 1, name), 0);
  EXPECT_STREQ(name.data(), "A4");

  // The width has limits but no list.
  EXPECT_EQ(DrvGetChoiceCount(driver_, kTagImageWidth, count), kNoChoices);
  EXPECT_EQ(DrvGetChoice(driver_, kTagImageWidth, 0, value), kNoChoices);
  EXPECT_EQ(DrvGetChoice(driver_, kTagImageWidth, kChoiceMaximum, value), 0);
  EXPECT_EQ(value, 2550);
  EXPECT_EQ(DrvGetChoice(driver_, kTagImageWidth, kChoiceStep, value), 0);
  EXPECT_EQ(value, 8);
  EXPECT_EQ(DrvGetChoice(driver_, kTagImageLength, kChoiceMaximum, value), kNoSuchChoice);
}

TEST_F(DefaultMessages, ThePageSizeSetsTheImageSize) {
  EXPECT_EQ(DrvSetStringTag(driver_, kTagPageSize, "A4"), 0);
  EXPECT_EQ(view_.Integer(kTagImageWidth), 2480);
  EXPECT_EQ(view_.Integer(kTagImageLength), 3508);
  // A name that is no page is kept, and sizes nothing.
  EXPECT_EQ(DrvSetStringTag(driver_, kTagPageSize, "Tabloid"), 0);
  EXPECT_EQ(view_.Text(kTagPageSize), "Tabloid");
  EXPECT_EQ(view_.Integer(kTagImageWidth), 2480);
}

TEST_F(DefaultMessages, DeclareAddsATagAndOtherMessagesFail) {
  std::int32_t value = -1;
  EXPECT_EQ(QelDrvMessage(driver_, QelDrvDeclareTag, DeclareTagArg(TiffType::Long, 1772), nullptr),
            0);
  EXPECT_EQ(DrvSetTag(driver_, 1772, 7), 0);
  // Declared again with its type it keeps its value; with another type it starts afresh.
  EXPECT_EQ(QelDrvMessage(driver_, QelDrvDeclareTag, DeclareTagArg(TiffType::Long, 1772), nullptr),
            0);
  EXPECT_EQ(DrvGetTag(driver_, 1772, value), 0);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(QelDrvMessage(driver_, QelDrvDeclareTag, DeclareTagArg(TiffType::Ascii, 1772), nullptr),
            0);
  EXPECT_EQ(view_.Text(1772), "");
  EXPECT_EQ(QelDrvMessage(driver_, QelDrvDeclareTag, TagArg(1773, 9), nullptr),
            sim::error::kInvalidArgument);
  EXPECT_EQ(QelDrvMessage(driver_, sendparams, 0, nullptr), kMessageNotSupported);
}

std::int32_t QELCALLBACK Poll() noexcept {
  return 0;
}

TEST_F(DefaultMessages, TheAbortPollTravelsInThePointer) {
  EXPECT_EQ(view_.AbortPoll(), nullptr);
  EXPECT_EQ(
      QelDrvMessage(driver_, QelDrvSetTag, TagArg(kTagAbortPoll), reinterpret_cast<void*>(&Poll)),
      0);
  EXPECT_EQ(view_.AbortPoll(), &Poll);
}

// A window handle of the x64 edition is sign-extended from 32 bits: one with its high bits
// set must reach the driver's dialog as it was sent, not cut to the 32-bit argument.
class DialogOwnerDriver : public sim::Driver {
 public:
  platform::Window* owner = nullptr;

 protected:
  std::int32_t ShowDialog(platform::Window* shownOver) override {
    owner = shownOver;
    return 0;
  }
};

TEST(DialogMessage, TheOwnerWindowTravelsWholeInThePointer) {
  DialogOwnerDriver driver;
  const auto wide = static_cast<std::uintptr_t>(std::numeric_limits<std::intptr_t>::min()) | 0x1234;
  auto* const window = reinterpret_cast<platform::Window*>(wide);
  EXPECT_EQ(driver.Message(QelDrvShowDialog, 0, window), 0);
  EXPECT_EQ(driver.owner, window);
  EXPECT_EQ(sim::Driver().Message(QelDrvShowDialog, 0, window), kMessageNotSupported)
      << "a driver without a dialog of its own refuses it";
}

class SavedSettings : public DefaultMessages {
 protected:
  std::int32_t Save(DriverRecord& driver, SettingsStore& store) {
    auto args = store.SaveArgs();
    return QelDrvMessage(driver, QelDrvSaveSettings, 0, &args);
  }
  std::int32_t Restore(DriverRecord& driver, SettingsStore& store) {
    auto args = store.RestoreArgs();
    return QelDrvMessage(driver, QelDrvRestoreSettings, 0, &args);
  }
};

TEST_F(SavedSettings, SaveHandsEachNamedTagInDeclarationOrder) {
  ASSERT_EQ(DrvSetRationalTag(driver_, kTagXResolution, {200, 1}), 0);
  SettingsStore store;
  EXPECT_EQ(Save(driver_, store), 0);
  const SettingsStore::Entries expected{{"SamplesPerPixel", "1"}, {"BitsPerSample", "1"},
                                        {"XResolution", "200/1"}, {"PageSize", "Letter"},
                                        {"ImageWidth", "2550"},   {"ImageLength", "3300"}};
  EXPECT_EQ(store.saved, expected);

  SettingsStore full;
  full.room = 2;
  EXPECT_EQ(Save(driver_, full), kErrNoMemory) << "a refusal ends the list";
  EXPECT_EQ(full.saved.size(), 2u);
}

TEST_F(SavedSettings, RestoreBringsASecondDriverToTheSavedState) {
  ASSERT_EQ(DrvSetTag(driver_, kTagSamplesPerPixel, 3), 0);
  ASSERT_EQ(DrvSetRationalTag(driver_, kTagXResolution, {600, 1}), 0);
  ASSERT_EQ(DrvSetStringTag(driver_, kTagPageSize, "A4"), 0);
  ASSERT_EQ(DrvSetTag(driver_, kTagImageWidth, 2400), 0);
  SettingsStore store;
  ASSERT_EQ(Save(driver_, store), 0);
  ASSERT_EQ(QelDrvUnload(&driver_), 0);

  DriverRecord fresh{};
  ASSERT_EQ(Load(fresh), 0);
  store.KeepSaved();
  EXPECT_EQ(Restore(fresh, store), 0);
  // Each setting is asked for with the fresh driver's value as the default.
  EXPECT_EQ(store.asked[2], (std::pair<std::string, std::string>{"XResolution", "300/1"}));
  EXPECT_EQ(view_.Integer(kTagSamplesPerPixel), 3);
  EXPECT_EQ(view_.Text(kTagPageSize), "A4");
  EXPECT_EQ(view_.Integer(kTagImageWidth), 2400) << "the page came first, then the exact width";
  EXPECT_EQ(view_.Integer(kTagImageLength), 3508);
  ASSERT_EQ(QelDrvUnload(&fresh), 0);
}

TEST_F(SavedSettings, RestoreLeavesTagsWhoseTextDoesNotParse) {
  SettingsStore store;
  store.values = {{"SamplesPerPixel", "three"}, {"XResolution", "600"}, {"ImageWidth", "-16"}};
  EXPECT_EQ(Restore(driver_, store), 0);
  EXPECT_EQ(view_.Integer(kTagSamplesPerPixel), 1);
  EXPECT_EQ(view_.Rational(kTagXResolution)->lNumerator, 300) << "no denominator";
  EXPECT_EQ(view_.Integer(kTagImageWidth), -16);
}

}  // namespace
