// SCANLASTERROR: the text of the last code, cut to the host's buffer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "host_library.h"

namespace {

class LastError : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(lib.SCANINIT(), 0); }
  HostLibrary lib;
};

TEST_F(LastError, AfterSuccessNothingIsStoredThenThatIsTheText) {
  char text[64];
  EXPECT_EQ(lib.SCANLASTERROR(text, sizeof text), RC_SCAN_NO_ERROR_STORED);
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(lib.SCANLASTERROR(text, sizeof text), 0);
  EXPECT_STREQ(text, "RC_SCAN_NO_ERROR_STORED");
}

TEST_F(LastError, TheTextCanBeFetchedAgain) {
  ASSERT_EQ(lib.SCANCLOSE(3), RC_SCAN_INVALID_HANDLE);
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_INVALID_HANDLE");
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_INVALID_HANDLE");
}

TEST_F(LastError, ExactFitAndOneByteShort) {
  const std::string expected = "RC_SCAN_INVALID_HANDLE";
  ASSERT_EQ(lib.SCANCLOSE(3), RC_SCAN_INVALID_HANDLE);

  char text[64];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(lib.SCANLASTERROR(text, static_cast<std::uint16_t>(expected.size() + 1)), 0);
  EXPECT_EQ(std::string(text), expected);

  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(lib.SCANLASTERROR(text, static_cast<std::uint16_t>(expected.size())),
            RC_SCAN_ERROR_TRUNC);
  EXPECT_EQ(std::string(text), expected.substr(0, expected.size() - 1));
  EXPECT_EQ(text[expected.size()], 'x') << "exactly usLength bytes written";

  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_ERROR_TRUNC");
}

TEST_F(LastError, NoBufferIsRefusedWithoutWritingAndKeepsTheStoredCode) {
  ASSERT_EQ(lib.SCANCLOSE(3), RC_SCAN_INVALID_HANDLE);
  char text[8];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(lib.SCANLASTERROR(text, 0), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(text[0], 'x');
  EXPECT_EQ(lib.SCANLASTERROR(nullptr, 64), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_INVALID_HANDLE");
}

TEST_F(LastError, AOneByteBufferGetsOnlyTheTerminatingZero) {
  ASSERT_EQ(lib.SCANCLOSE(3), RC_SCAN_INVALID_HANDLE);
  char text[2] = {'x', 'x'};
  EXPECT_EQ(lib.SCANLASTERROR(text, 1), RC_SCAN_ERROR_TRUNC);
  EXPECT_EQ(text[0], '\0');
  EXPECT_EQ(text[1], 'x');
}

TEST_F(LastError, AKillMeanwhileNeverMakesTheTextOfNoCode) {
  // SCANKILL clears the stored code without the lock, at any moment of SCANLASTERROR.
  std::atomic<bool> done{false};
  std::thread killer([&] {
    while (!done) lib.SCANKILL(1);
  });
  int wrong = 0;
  for (int round = 0; round < 100000 && wrong == 0; ++round) {
    lib.SCANCLOSE(2);
    char text[64] = {};
    const std::uint16_t rc = lib.SCANLASTERROR(text, sizeof text);
    if (rc == 0 && std::string(text) != "RC_SCAN_INVALID_HANDLE") ++wrong;
    if (rc != 0 && rc != RC_SCAN_NO_ERROR_STORED) ++wrong;
  }
  done = true;
  killer.join();
  EXPECT_EQ(wrong, 0);
}

// The framework's texts come through with their number: a profile that is not there is named.
TEST(FrameworkError, AMissingProfileIsNamedInTheText) {
  HostLibrary lib;
  const auto missing = lib.Folder() / "elsewhere.ini";
  setenv("ZAFT_PROFILE", missing.c_str(), 1);
  ASSERT_EQ(lib.SCANINIT(), 0);
  auto record = std::make_unique<ParmRecord>();
  EXPECT_NE(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  const std::string text = lib.LastErrorText();
  EXPECT_NE(text.find("No scanner is selected: the profile " + missing.string() + " was not found"),
            std::string::npos)
      << text;
}

}  // namespace
