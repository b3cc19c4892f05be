// Pause, kill, imprinter text, the Save-as switch and the calls the library does not serve.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "host_library.h"
#include "sim/services/faults/switches.h"

namespace {

class JobControl : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lib.SCANINIT(), 0);
    ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  }
  HostLibrary lib{ProfileWithDebug()};
  std::int32_t handle = 0;
};

TEST_F(JobControl, ChecksRunInitialisedThenHandleThenOwnConditions) {
  // Wrong handle beats "no driver"; "no driver" beats the null text.
  EXPECT_EQ(lib.SCANPAUSE(2), RC_SCAN_INVALID_HANDLE);
  EXPECT_EQ(lib.SCANPAUSE(handle), RC_SCAN_NO_DRIVER);
  EXPECT_EQ(lib.SCANSETPRTTEXT(2, 0, nullptr, 0), RC_SCAN_INVALID_HANDLE);
  EXPECT_EQ(lib.SCANSETPRTTEXT(handle, 0, nullptr, 0), RC_SCAN_NO_DRIVER);
  EXPECT_EQ(lib.LastErrorText(),
            "No driver is loaded for the requested scan.  Check the log for errors");

  ASSERT_EQ(lib.SCANFREE(), 0);
  EXPECT_EQ(lib.SCANPAUSE(2), RC_SCAN_NOT_INITIALIZED);
  EXPECT_EQ(lib.SCANSETPRTTEXT(2, 0, nullptr, 0), RC_SCAN_NOT_INITIALIZED);
}

TEST_F(JobControl, UnsupportedCallsAnswerNotSupportedWhateverTheHandle) {
  EXPECT_EQ(lib.SCANAREA(77, 1, 2, 3), RC_SCAN_FUNC_NOT_SUPPORTED);
  EXPECT_EQ(lib.SCANENDPAGE(77), RC_SCAN_FUNC_NOT_SUPPORTED);
  EXPECT_EQ(lib.SCANFLUSH(1), RC_SCAN_FUNC_NOT_SUPPORTED);
  EXPECT_EQ(lib.SCANRESET(0), RC_SCAN_FUNC_NOT_SUPPORTED);
  EXPECT_EQ(lib.SCANRESTART(-1, 5), RC_SCAN_FUNC_NOT_SUPPORTED);
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_FUNC_NOT_SUPPORTED");

  const auto messages = lib.LogMessages();
  const auto restart = std::find(messages.begin(), messages.end(), "ScanRestart called:");
  ASSERT_NE(restart, messages.end());
  EXPECT_EQ(restart[1], "  hScanHdl==-1  ");
  EXPECT_EQ(restart[2], "  lSeqNumber==5  ");
}

TEST_F(JobControl, KillAnswersZeroAndClearsTheLastCode) {
  EXPECT_EQ(lib.SCANCLOSE(5), RC_SCAN_INVALID_HANDLE);
  EXPECT_EQ(lib.SCANKILL(5), 0);
  char text[64];
  EXPECT_EQ(lib.SCANLASTERROR(text, sizeof text), RC_SCAN_NO_ERROR_STORED);

  const auto messages = lib.LogMessages();
  const auto kill = std::find(messages.begin(), messages.end(), "ScanKill called: ");
  ASSERT_NE(kill, messages.end());
  EXPECT_EQ(kill[1], "   hScanHdl==5");
}

TEST(Kill, WorksFromAnotherThreadWhileACallHoldsTheLock) {
  HostLibrary lib(ProfileWithDebug());
  // SCANINIT waits without limit for the framework start, holding the lock meanwhile.
  sim::HoldNext(sim::Op::Startup);
  std::uint16_t initResult = 0xFFFF;
  std::thread host([&] { initResult = lib.SCANINIT(); });
  sim::WaitUntilHeld(sim::Op::Startup);

  EXPECT_EQ(lib.SCANKILL(1), 0);  // would never return if it took the lock

  sim::Release(sim::Op::Startup);
  host.join();
  EXPECT_EQ(initResult, 0);
}

TEST_F(JobControl, PrintTextReachesTheLogOnlyWhenTheProfileAllowsIt) {
  const std::string secret = "CONFIDENTIAL-IMPRINT";
  EXPECT_EQ(lib.SCANSETPRTTEXT(handle, 12, secret.c_str(), 1), RC_SCAN_NO_DRIVER);
  EXPECT_EQ(lib.SCANSETPRTTEXT(handle, 0, nullptr, 0), RC_SCAN_NO_DRIVER);

  const auto messages = lib.LogMessages();
  const auto call = std::find(messages.begin(), messages.end(), "ScanSetPrtText called:");
  ASSERT_NE(call, messages.end());
  EXPECT_EQ(call[1], "  hScanHdl=1 ");
  EXPECT_EQ(call[2], "  ulSeqLen=12 ");
  EXPECT_EQ(call[3].rfind("pszPrtText (hex) = ", 0), 0u);
  EXPECT_EQ(call[4], "  bOn=1");
  EXPECT_NE(std::find(messages.begin(), messages.end(), "  pszPrtText=NULL"), messages.end());
  for (const std::string& message : messages) {
    EXPECT_EQ(message.find(secret), std::string::npos) << message;
  }
}

TEST(PrintText, LoggedWhenAllowedAndCutToTheLogBuffer) {
  HostLibrary lib(ProfileWithDebug("PrtText=1\n"));
  ASSERT_EQ(lib.SCANINIT(), 0);
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  const std::string longText(300, 'P');
  EXPECT_EQ(lib.SCANSETPRTTEXT(handle, 0, "short text", 0), RC_SCAN_NO_DRIVER);
  EXPECT_EQ(lib.SCANSETPRTTEXT(handle, 0, longText.c_str(), 0), RC_SCAN_NO_DRIVER);

  const auto messages = lib.LogMessages();
  EXPECT_NE(std::find(messages.begin(), messages.end(), "pszPrtText ([text]) = [short text]"),
            messages.end());
  const std::string cutLine = ("pszPrtText ([text]) = [" + longText).substr(0, 127);
  EXPECT_NE(std::find(messages.begin(), messages.end(), cutLine), messages.end());
}

TEST_F(JobControl, SetEnvChecksItsArgumentsAndReportsTheSwitch) {
  std::uint16_t on = 1;
  std::uint16_t off = 0;
  EXPECT_EQ(lib.SCANSETENV("dev", 2, &on), 0);
  EXPECT_EQ(lib.SCANSETENV("dev", 2, &off), 0);
  EXPECT_EQ(lib.SCANSETENV("dev", 1, &on), RC_SCAN_INVALID_IDENTIFIER);
  EXPECT_EQ(lib.SCANSETENV(nullptr, 2, &on), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(lib.SCANSETENV("dev", 1, nullptr), RC_SCAN_INVALID_PARM) << "pointers first";

  const auto messages = lib.LogMessages();
  const auto first =
      std::find(messages.begin(), messages.end(), "ScanSetEnv called with DevName==dev:");
  ASSERT_NE(first, messages.end());
  EXPECT_EQ(first[1], "  usParm==2  ");
  EXPECT_EQ(first[2], "    SaveAs... dialog enabled");
  EXPECT_NE(std::find(first, messages.end(), "    SaveAs... dialog disabled"), messages.end());
}

}  // namespace
