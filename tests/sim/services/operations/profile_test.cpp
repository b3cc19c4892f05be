#include "sim/services/operations/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "framework/qel.h"
#include "sim/services/operations/module_folder.h"
#include "tests/sim/temp_folder.h"

namespace {

class ProfileRead : public ::testing::Test {
 protected:
  void SetUp() override { setenv("ZAFT_PROFILE", profile_.c_str(), 1); }
  void TearDown() override { unsetenv("ZAFT_PROFILE"); }

  std::int32_t Read(const char* key, char* buffer, std::int32_t size) {
    return QelReadProfileString(0, "KOVZAFT", key, buffer, size);
  }

  TempFolder folder_;
  std::filesystem::path profile_ = folder_ / "chosen.ini";
};

TEST_F(ProfileRead, ReadsTheFileNamedByTheVariableAfreshEachTime) {
  char value[32];
  TempFolder::Write(profile_, "[KOVZAFT]\nDebug=1\n");
  ASSERT_EQ(Read("Debug", value, sizeof value), 0);
  EXPECT_STREQ(value, "1");

  TempFolder::Write(profile_, "[KOVZAFT]\r\nDebug= 1\r\nScanner=ABCDEFGH\r\n");
  ASSERT_EQ(Read("Debug", value, sizeof value), 0);
  EXPECT_STREQ(value, " 1");

  std::memset(value, 'z', sizeof value);
  ASSERT_EQ(Read("Scanner", value, 4), 0);
  EXPECT_STREQ(value, "ABC");
  EXPECT_EQ(value[4], 'z');
}

TEST_F(ProfileRead, MissingKeyOrFileEmptiesTheBufferAndBadArgumentsWriteNothing) {
  char value[8] = "stale";
  EXPECT_LT(Read("Debug", value, sizeof value), 0);
  EXPECT_STREQ(value, "");

  TempFolder::Write(profile_, "[KOVZAFT]\nVerify=0\n");
  std::strcpy(value, "stale");
  EXPECT_LT(Read("Debug", value, sizeof value), 0);
  EXPECT_STREQ(value, "");

  std::strcpy(value, "stale");
  EXPECT_LT(QelReadProfileString(0, nullptr, "Verify", value, sizeof value), 0);
  EXPECT_LT(QelReadProfileString(0, "KOVZAFT", nullptr, value, sizeof value), 0);
  EXPECT_LT(Read("Verify", value, 0), 0);
  EXPECT_LT(Read("Verify", nullptr, 8), 0);
  EXPECT_STREQ(value, "stale");
}

TEST(ProfileLocation, WithoutTheVariableItLiesBesideTheStandIn) {
  unsetenv("ZAFT_PROFILE");
  const auto folder = sim::ModuleFolder();
  EXPECT_TRUE(std::filesystem::exists(folder / "libzaftsim.so")) << folder;
  EXPECT_EQ(sim::ProfilePath(), folder / "zaft.ini");
  setenv("ZAFT_PROFILE", "", 1);
  EXPECT_EQ(sim::ProfilePath(), folder / "zaft.ini");
  unsetenv("ZAFT_PROFILE");
}

}  // namespace
