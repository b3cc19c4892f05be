#include <gtest/gtest.h>

#include <cstring>

#include "framework/qel.h"
#include "resources/strings.h"

namespace {

TEST(LoadString, DeviceNameByEitherSignCutToTheBuffer) {
  for (const std::int32_t number : {-IDS_DEVICE_NAME, IDS_DEVICE_NAME}) {
    char buffer[256] = {};
    EXPECT_EQ(QelLoadString(nullptr, number, buffer, sizeof buffer), 12) << number;
    EXPECT_STREQ(buffer, "ZAFT Drivers");
  }
  char buffer[8];
  std::memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(QelLoadString(nullptr, -IDS_DEVICE_NAME, buffer, 5), 4);
  EXPECT_STREQ(buffer, "ZAFT");
  EXPECT_EQ(buffer[5], 'z');
}

TEST(LoadString, UnknownNumberEmptiesTheBufferAndNoBufferIsRefused) {
  char buffer[8] = "stale";
  EXPECT_LT(QelLoadString(nullptr, -4701, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  std::strcpy(buffer, "stale");
  EXPECT_LT(QelLoadString(nullptr, -IDS_DEVICE_NAME, buffer, 0), 0);
  EXPECT_LT(QelLoadString(nullptr, -IDS_DEVICE_NAME, nullptr, 8), 0);
  EXPECT_STREQ(buffer, "stale");
}

}  // namespace
