// Device names and fixed information, answered without a scanner.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host_library.h"

namespace {

constexpr char kDeviceName[] = "ZAFT Drivers";

class Query : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(lib.SCANINIT(), 0); }
  HostLibrary lib;
};

TEST_F(Query, DeviceNamesFitExactlyOrAreRefused) {
  const std::uint16_t needed = sizeof kDeviceName + 1;  // name, its zero, the closing zero
  char names[64];
  std::memset(names, 'x', sizeof names);
  EXPECT_EQ(lib.SCANQUERYDEVNAMES(names, needed - 1), RC_SCAN_LENGTH_TOO_SHORT);
  EXPECT_EQ(names[0], 'x') << "nothing copied";

  ASSERT_EQ(lib.SCANQUERYDEVNAMES(names, needed), 0);
  EXPECT_STREQ(names, kDeviceName);
  EXPECT_EQ(names[needed - 1], '\0');
  EXPECT_EQ(names[needed], 'x');

  EXPECT_EQ(lib.SCANQUERYDEVNAMES(nullptr, 64), RC_SCAN_INVALID_PARM);
}

TEST_F(Query, InfoSizesMatchTheDeviceListAndTheRecord) {
  std::uint16_t value = 0;
  EXPECT_EQ(lib.SCANQUERYINFO(nullptr, SCAN_INFO_DEVNAMES_SIZE, &value), 0);
  EXPECT_EQ(value, sizeof kDeviceName + 1);
  EXPECT_EQ(lib.SCANQUERYINFO("dev", SCAN_INFO_DEVNAMES_SIZE, &value), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(lib.SCANQUERYINFO("any name", SCAN_INFO_PARM_SIZE, &value), 0);
  EXPECT_EQ(value, 57546);
  EXPECT_EQ(lib.SCANQUERYINFO(nullptr, SCAN_INFO_QCTRL_COUNT, &value), 0);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(lib.SCANQUERYINFO(nullptr, 3, &value), RC_SCAN_INVALID_IDENTIFIER);
  EXPECT_EQ(lib.SCANQUERYINFO(nullptr, 0, nullptr), RC_SCAN_INVALID_PARM);
}

TEST_F(Query, QuickControlDescriptionsByIndex) {
  SCAN_QCTRL_INFO info{};
  info.ulIndex = 0;
  ASSERT_EQ(lib.SCANQUERYINFO(nullptr, SCAN_INFO_QCTRL, &info), 0);
  EXPECT_EQ(info.ulValue, 100u);
  EXPECT_STREQ(info.szTitle, "Title 1");
  EXPECT_STREQ(info.szRange, "1,0;99,100");

  std::memset(&info, 'x', sizeof info);
  info.ulIndex = 7;
  ASSERT_EQ(lib.SCANQUERYINFO(nullptr, SCAN_INFO_QCTRL, &info), 0);
  EXPECT_EQ(info.ulIndex, 7u);
  EXPECT_STREQ(info.szTitle, "Title 2");
  EXPECT_STREQ(info.szRange, "1,0;50,50;99,100");
  EXPECT_EQ(info.szRange[17], 'x') << "a 17-byte range field is enough";
}

}  // namespace
