// What a host sees when the worker is slow: a call whose wait runs out, later calls while the
// worker still runs the abandoned command, and a SCANFREE that leaves a worker behind. The
// waits here are the library's own limits (20 and 30 seconds).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "host_library.h"
#include "sim/kit/kit.h"
#include "sim/services/faults/switches.h"

namespace {

using sim::DriverView;

class SlowWorker : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetDrivers();
    sim::ResetSwitches();
    ASSERT_EQ(lib.SCANINIT(), 0);
    ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  }
  void TearDown() override {
    sim::ResetSwitches();  // lets any held call go on
    sim::ResetDrivers();
  }
  bool Logged(const std::string& message) const {
    const auto messages = lib.LogMessages();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }

  HostLibrary lib{ProfileWithDebug() + "[ZAFT]\nScanner=VSCAN\n"};
  std::unique_ptr<ParmRecord> record = std::make_unique<ParmRecord>();
};

TEST_F(SlowWorker, AnAbandonedCommandNeverTouchesItsCallersMemoryAndNoCallRunsTwice) {
  sim::HoldNext(sim::Op::DrvLoad);
  std::uint16_t bpp = 0x5A5A;
  EXPECT_EQ(lib.SCANQUERYPARM(record.get(), SCAN_PARM_BPP, &bpp), RC_SCAN_TIMEOUT);
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_TIMEOUT");

  // The worker still runs the query: the next call waits its own limit and is refused.
  auto area = std::make_unique<SCAN_AREA>(SCAN_AREA{1, 2, 3, 4});
  EXPECT_EQ(lib.SCANQUERYPARM(record.get(), SCAN_PARM_AREA, area.get()), RC_SCAN_ALREADY_BUSY);
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_ALREADY_BUSY");
  EXPECT_EQ(area->usWidth, 3);
  area.reset();  // the host frees it: a late write would be a use after free

  sim::Release(sim::Op::DrvLoad);
  std::uint16_t later = 0;
  EXPECT_EQ(lib.SCANQUERYPARM(record.get(), SCAN_PARM_BPP, &later), 0)
      << "waits for the abandoned query to end, then runs";
  EXPECT_EQ(later, 1);
  EXPECT_EQ(bpp, 0x5A5A) << "the abandoned query's answer never reached its caller's value";
  EXPECT_EQ(DriverView("VSCAN").TimesLoaded(), 3u) << "INIT's, the abandoned one's and the last";
  EXPECT_TRUE(Logged("  refused: RC_SCAN_TIMEOUT"));
  EXPECT_TRUE(Logged("  refused: RC_SCAN_ALREADY_BUSY"));
}

TEST_F(SlowWorker, AWorkerLeftBehindBySCANFREEFinishesItsOwnSessionAndKeepsTheNextOut) {
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  ASSERT_EQ(DriverView("VSCAN").LoadedNow(), 1u);

  sim::HoldNext(sim::Op::DrvUnload);
  EXPECT_EQ(lib.SCANFREE(), 0) << "the host's use ends whatever the worker does";
  EXPECT_EQ(lib.SCANINIT(), RC_SCAN_ALREADY_BUSY);
  std::uint16_t bpp = 0;
  std::thread other([&] {
    EXPECT_EQ(lib.SCANQUERYPARM(record.get(), SCAN_PARM_BPP, &bpp), RC_SCAN_NOT_INITIALIZED);
  });
  other.join();

  sim::Release(sim::Op::DrvUnload);
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::uint16_t init = RC_SCAN_ALREADY_BUSY;
  while (init == RC_SCAN_ALREADY_BUSY && std::chrono::steady_clock::now() < giveUp) {
    init = lib.SCANINIT();
  }
  ASSERT_EQ(init, 0) << "the old worker has ended";
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u) << "it unloaded its own session's driver";
  EXPECT_EQ(sim::CallCount(sim::Op::Shutdown), 1u) << "and stopped the framework";

  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 1u) << "the new session's driver stays loaded";
  EXPECT_FALSE(Logged("   LoadDriver: Driver already open with different scanner"));
  EXPECT_EQ(lib.SCANFREE(), 0);
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u);
}

TEST_F(SlowWorker, PauseNeverAnswersAnotherCallsResult) {
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  std::uint16_t value = 0;
  ASSERT_EQ(lib.SCANQUERYPARM(record.get(), 7, &value), RC_SCAN_INVALID_IDENTIFIER);
  EXPECT_EQ(lib.SCANPAUSE(handle), RC_SCAN_NO_DRIVER);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  ASSERT_EQ(lib.SCANQUERYPARM(record.get(), 7, &value), RC_SCAN_INVALID_IDENTIFIER);
  EXPECT_EQ(lib.SCANPAUSE(handle), RC_SCAN_FUNC_NOT_SUPPORTED) << "the scanner cannot pause";
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_FUNC_NOT_SUPPORTED");
}

}  // namespace
