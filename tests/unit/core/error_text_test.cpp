// Framework error values turned into stored texts, and the fixed code texts.
#include "core/error_text.h"

#include <gtest/gtest.h>

#include <string>

#include "core/control_block.h"
#include "core/return_codes.h"
#include "sim/services/faults/switches.h"
#include "sim/services/operations/error_texts.h"

namespace {

std::int32_t DriverEntry(void*, std::uint32_t, std::int32_t, void*) {
  return 0;
}

class FrameworkErrorText : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetSwitches();
    driver.pfnEntry = DriverEntry;
    usLastRc = 0;
  }
  void TearDown() override { sim::DriverDetailTexts::Clear(DriverEntry); }

  static std::string FrameworkText(std::int16_t number) {
    return std::string(*sim::FrameworkErrorText(number));
  }

  DriverRecord driver{};
};

TEST_F(FrameworkErrorText, PlainNegativeValueWithoutDriverGivesOneLine) {
  EXPECT_EQ(FrameworkErrorToText(nullptr, -10), RC_SCAN_ZAFT_ERROR);
  EXPECT_EQ(std::string(szErrorText), FrameworkText(-10) + " (-10)");
  EXPECT_EQ(usLastRc, RC_SCAN_ZAFT_ERROR);
}

TEST_F(FrameworkErrorText, WithoutDriverTheHighWordIsTheNumber) {
  // -4401 in the high word, a detail in the low word that no driver can explain.
  const auto value = static_cast<std::int32_t>(0xEECF0007u);
  FrameworkErrorToText(nullptr, value);
  EXPECT_EQ(std::string(szErrorText), FrameworkText(-4401) + " (-4401)");
}

TEST_F(FrameworkErrorText, DriverErrorWithDetailGivesTwoLines) {
  sim::DriverDetailTexts::Set(DriverEntry, 3, "Lamp too cold");
  const auto value = static_cast<std::int32_t>(0xFFF60003u);
  FrameworkErrorToText(&driver, value);
  EXPECT_EQ(std::string(szErrorText), FrameworkText(-10) + "\nLamp too cold (-10)");
  EXPECT_EQ(sim::CallCount(sim::Op::ErrorText), 2u);
}

TEST_F(FrameworkErrorText, DriverErrorWithoutDetailGivesOneLine) {
  FrameworkErrorToText(&driver, static_cast<std::int32_t>(0xFFF60009u));
  EXPECT_EQ(std::string(szErrorText), FrameworkText(-10) + " (-10)");
}

TEST_F(FrameworkErrorText, AllOnesHighWordDropsTheDriver) {
  sim::DriverDetailTexts::Set(DriverEntry, 0xFFF6, "never asked for");
  FrameworkErrorToText(&driver, -10);
  EXPECT_EQ(std::string(szErrorText), FrameworkText(-10) + " (-10)");
  EXPECT_EQ(sim::CallCount(sim::Op::ErrorText), 1u);
}

TEST_F(FrameworkErrorText, UnknownNumberStillGivesALine) {
  FrameworkErrorToText(nullptr, static_cast<std::int32_t>(0xFFFF8001u));
  EXPECT_EQ(std::string(szErrorText), " (-32767)");
}

TEST_F(FrameworkErrorText, OverlongDetailIsCutButTheNumberStays) {
  sim::DriverDetailTexts::Set(DriverEntry, 1, std::string(300, 'd'));
  FrameworkErrorToText(&driver, static_cast<std::int32_t>(0xFFF60001u));
  const std::string text = szErrorText;
  EXPECT_EQ(text.size(), kErrorTextSize - 1);
  EXPECT_EQ(text.rfind(FrameworkText(-10) + "\nddd", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 7), "d (-10)");
}

TEST(ReturnCodeText, FixedTextsAndValuesWithoutText) {
  char text[300];
  ReturnCodeText(RC_SCAN_ADF_EMPTY, text, sizeof text);
  EXPECT_STREQ(text, "RC_SCAN_ADF_EMPTY");
  ReturnCodeText(0x6118, text, sizeof text);
  EXPECT_STREQ(text, "Unknown Error == 0x6118");
  ReturnCodeText(0x611b, text, sizeof text);
  EXPECT_STREQ(text, "Unknown Error == 0x611b");
  ReturnCodeText(0x0001, text, sizeof text);
  EXPECT_STREQ(text, "Unknown Error == 0x1");
  ReturnCodeText(RC_SCAN_NO_DRIVER, text, sizeof text);
  EXPECT_STREQ(text, "No driver is loaded for the requested scan.  Check the log for errors");
}

}  // namespace
