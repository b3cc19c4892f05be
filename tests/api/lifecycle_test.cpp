// Starting and stopping the library: SCANINIT, SCANFREE and the state around them.
#include <gtest/gtest.h>

#include <algorithm>

#include "host_library.h"
#include "sim/services/faults/switches.h"
#include "sim/services/operations/startup.h"

namespace {

TEST(Lifecycle, InitStartsTheFrameworkOnTheWorkerWithTheAppName) {
  HostLibrary lib;
  ASSERT_EQ(lib.SCANINIT(), 0);
  const sim::StartupState state = sim::CurrentStartup();
  EXPECT_TRUE(state.started);
  EXPECT_TRUE(state.memStarted);
  EXPECT_EQ(state.appName, "KOV Glue Code");
  EXPECT_EQ(state.memAppName, "KOV Glue Code");

  ASSERT_EQ(lib.SCANFREE(), 0);
  EXPECT_FALSE(sim::CurrentStartup().started);
  EXPECT_FALSE(sim::CurrentStartup().memStarted);
}

TEST(Lifecycle, SecondInitIsRefusedAndChangesNothing) {
  HostLibrary lib;
  ASSERT_EQ(lib.SCANINIT(), 0);
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);

  EXPECT_EQ(lib.SCANINIT(), RC_SCAN_ALREADY_INITIALIZED);
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_ALREADY_INITIALIZED");
  EXPECT_EQ(sim::CallCount(sim::Op::Startup), 1u);
  EXPECT_EQ(lib.SCANSETSEQNUM(handle, 7), 0) << "the open scanner survives";
}

TEST(Lifecycle, EveryCallButInitAndKillIsRefusedBeforeInitAndAfterFree) {
  HostLibrary lib;
  auto expectAllRefused = [&lib](const char* when) {
    SCOPED_TRACE(when);
    char text[64];
    std::int32_t handle = 0;
    std::uint16_t value = 1;
    ParmRecord record{};
    KOV_PAGEHEADER* header = nullptr;
    std::uint32_t length = 0;
    std::uint8_t data[8];
    EXPECT_EQ(lib.SCANFREE(), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANLASTERROR(text, sizeof text), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANOPEN("dev", 0, &handle), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANCLOSE(1), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANSETSEQNUM(1, 5), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANPAUSE(1), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANSETPRTTEXT(1, 0, "x", 1), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANSETENV("dev", 2, &value), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANAREA(1, 0, 0, 0), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANENDPAGE(1), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANFLUSH(1), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANRESET(1), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANRESTART(1, 1), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANAREAEJECT(1, &header, data, &length), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANGETDATA(1, data, &length, 0), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANSETPARM("dev", &record, 0, nullptr), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANSETSTATE(1, &record), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANPARMSDLG("dev", &record), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANPARMSDLG2("dev", &record, 0), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANQUERYDEVNAMES(text, sizeof text), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANQUERYINFO(nullptr, 0, &value), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANQUERYPARM(&record, 0, &value), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANQUERYCLT(&record, nullptr), RC_SCAN_NOT_INITIALIZED);
    EXPECT_EQ(lib.SCANKILL(1), 0);
    EXPECT_EQ(handle, 0) << "nothing written through a refused call";
    EXPECT_EQ(header, nullptr);
  };

  expectAllRefused("before SCANINIT");
  ASSERT_EQ(lib.SCANINIT(), 0);
  ASSERT_EQ(lib.SCANFREE(), 0);
  expectAllRefused("after SCANFREE");
}

TEST(Lifecycle, InitAfterFreeStartsAFreshWorker) {
  HostLibrary lib;
  ASSERT_EQ(lib.SCANINIT(), 0);
  ASSERT_EQ(lib.SCANFREE(), 0);
  ASSERT_EQ(lib.SCANINIT(), 0);
  EXPECT_EQ(sim::CallCount(sim::Op::Startup), 2u);
  EXPECT_TRUE(sim::CurrentStartup().started);

  std::int32_t handle = 0;
  EXPECT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  EXPECT_EQ(lib.SCANFREE(), 0);
  EXPECT_EQ(sim::CallCount(sim::Op::Shutdown), 2u);
}

TEST(Lifecycle, FreeClosesAnOpenScannerFirst) {
  HostLibrary lib(ProfileWithDebug());
  ASSERT_EQ(lib.SCANINIT(), 0);
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);

  EXPECT_EQ(lib.SCANFREE(), 0);
  EXPECT_EQ(lib.SCANOPEN("dev", 0, &handle), RC_SCAN_NOT_INITIALIZED);

  const auto messages = lib.LogMessages();
  const auto free = std::find(messages.begin(), messages.end(), "ScanFree called:");
  ASSERT_NE(free, messages.end());
  EXPECT_NE(std::find(free, messages.end(), "ScanClose called:"), messages.end());
  EXPECT_NE(std::find(free, messages.end(), "  hScanHdl=1 "), messages.end());
}

}  // namespace
