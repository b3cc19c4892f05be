// Device names and fixed information, answered without a scanner.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
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

TEST_F(Query, ColourTableFollowsTheRecordsBitDepth) {
  auto record = std::make_unique<ParmRecord>();
  std::array<SCAN_CLT_ENTRY, 256> table;
  std::memset(table.data(), 0xEE, sizeof table);

  ASSERT_EQ(lib.SCANQUERYCLT(record.get(), table.data()), 0) << "no settings: black and white";
  EXPECT_EQ(table[0].abValue[0], 0);
  EXPECT_EQ(table[1].abValue[2], 255);
  EXPECT_EQ(table[1].ucReserved, 0xEE) << "byte 3 stays the host's";
  EXPECT_EQ(table[2].abValue[0], 0xEE);

  lib.SaveCallback(0, "SamplesPerPixel", "1", record.get());
  lib.SaveCallback(0, "BitsPerSample", "4", record.get());
  ASSERT_EQ(lib.SCANQUERYCLT(record.get(), table.data()), 0);
  EXPECT_EQ(table[15].abValue[1], 15) << "levels 0 to 15, not scaled";
  EXPECT_EQ(table[16].abValue[1], 0xEE);

  record->sSettingsLen = 0;
  lib.SaveCallback(0, "SamplesPerPixel", "3", record.get());
  lib.SaveCallback(0, "BitsPerSample", "8", record.get());
  std::memset(table.data(), 0xEE, sizeof table);
  EXPECT_EQ(lib.SCANQUERYCLT(record.get(), table.data()), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(table[0].abValue[0], 0xEE);
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_INVALID_PARM");
  EXPECT_EQ(lib.SCANQUERYCLT(nullptr, table.data()), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(lib.SCANQUERYCLT(record.get(), nullptr), RC_SCAN_INVALID_PARM);
}

}  // namespace
