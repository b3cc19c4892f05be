#include <gtest/gtest.h>

#include <string>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/operations/error_texts.h"

namespace {

using sim::DriverDetailTexts;

std::int32_t ScannerEntry(void*, std::uint32_t, std::int32_t, void*) {
  return 0;
}
std::int32_t OtherEntry(void*, std::uint32_t, std::int32_t, void*) {
  return 0;
}

class ErrorText : public ::testing::Test {
 protected:
  void TearDown() override { DriverDetailTexts::Clear(&ScannerEntry); }

  // The text written, or "untouched" when the buffer was left alone.
  std::string TextOf(const DriverRecord* context, std::int32_t value) {
    char buffer[132] = "untouched";
    result_ = QelErrorText(0, context, value, buffer, sizeof buffer);
    return buffer;
  }

  DriverRecord scanner_{.pfnEntry = &ScannerEntry, .pInstance = nullptr};
  std::int32_t result_ = 0;
};

TEST_F(ErrorText, BothLayoutsOfANumberGiveItsText) {
  EXPECT_EQ(TextOf(nullptr, -4401), "No paper in the document feeder");
  EXPECT_EQ(result_, 31);
  EXPECT_EQ(TextOf(nullptr, MakeFrameworkError(-4401, 7)), "No paper in the document feeder");
  EXPECT_EQ(TextOf(&scanner_, MakeFrameworkError(-4401, 7)), "No paper in the document feeder");
  // Every number the stand-in's operations and drivers answer with has a text.
  for (const std::int32_t number :
       {-10,   -4431, -4432, -4433, -4434, -4500, -4502, -4526, -4700, -4701,
        -4702, -4703, -4704, -4705, -4706, -4707, -4708, -4709, -4710, -4711}) {
    EXPECT_NE(TextOf(nullptr, number), "untouched") << number;
    EXPECT_EQ(TextOf(&scanner_, MakeFrameworkError(static_cast<std::int16_t>(number), 3)),
              TextOf(nullptr, number));
  }
}

TEST_F(ErrorText, ANumbersSubjectFollowsItsText) {
  sim::SetErrorSubject(sim::error::kDeviceNotOpened, "nosuch:7 (Invalid argument)");
  EXPECT_EQ(TextOf(nullptr, -4700),
            "The scanner device could not be opened: nosuch:7 (Invalid argument)");
  EXPECT_EQ(TextOf(nullptr, -4701), "The document feeder is jammed") << "other numbers have none";
}

TEST_F(ErrorText, DetailValuesAskTheContextDriver) {
  DriverDetailTexts::Set(&ScannerEntry, 3, "Lamp is cold");
  EXPECT_EQ(TextOf(&scanner_, DetailRequest(3)), "Lamp is cold");
  EXPECT_EQ(result_, 12);

  const DriverRecord other{.pfnEntry = &OtherEntry, .pInstance = nullptr};
  EXPECT_EQ(TextOf(&scanner_, DetailRequest(4)), "untouched");  // a detail it has no text for
  EXPECT_EQ(TextOf(nullptr, DetailRequest(3)), "untouched");    // no driver to ask
  EXPECT_EQ(TextOf(&other, DetailRequest(3)), "untouched");     // another driver
  EXPECT_LT(result_, 0);
  DriverDetailTexts::Clear(&ScannerEntry);
  EXPECT_EQ(TextOf(&scanner_, DetailRequest(3)), "untouched");
}

TEST_F(ErrorText, UnknownNumbersAndNoBufferLeaveTheBufferAlone) {
  for (const std::int32_t value : {-1234, 0}) {
    EXPECT_EQ(TextOf(nullptr, value), "untouched");
    EXPECT_LT(result_, 0);
  }
  char buffer[8] = "zzzzzzz";
  EXPECT_LT(QelErrorText(0, nullptr, -4500, buffer, 0), 0);
  EXPECT_LT(QelErrorText(0, nullptr, -4500, nullptr, 8), 0);
  EXPECT_STREQ(buffer, "zzzzzzz");
  EXPECT_EQ(QelErrorText(0, nullptr, -4500, buffer, 4), 3);
  EXPECT_STREQ(buffer, "Out");
  EXPECT_EQ(buffer[4], 'z');
}

}  // namespace
