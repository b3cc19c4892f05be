// The command handshake with the worker when a command outlasts its caller's wait.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "api/thread.h"
#include "core/control_block.h"
#include "kovzaft2.h"
#include "sim/services/faults/switches.h"

namespace {

class Worker : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetSwitches();
    ASSERT_EQ(SCANINIT(), 0);
  }
  void TearDown() override {
    sim::ResetSwitches();
    SCANFREE();
  }

  static std::shared_ptr<Command> Posted(std::uint32_t number, std::uint32_t limitMs,
                                         CommandOutcome& outcome) {
    auto command = NewCommand(number);
    outcome = PostCommand(command, CallDeadline(limitMs));
    return command;
  }
};

TEST_F(Worker, ACommandThatOutlastsItsWaitTimesOutAndKeepsLaterCallsBusyUntilItEnds) {
  sim::HoldNext(sim::Op::MemShutdown);
  CommandOutcome outcome;
  Posted(CMD_FRAMEWORK_STOP, 10, outcome);
  EXPECT_FALSE(outcome.bCompleted);
  EXPECT_EQ(outcome.rc, RC_SCAN_TIMEOUT);
  EXPECT_EQ(usLastRc, RC_SCAN_TIMEOUT);
  sim::WaitUntilHeld(sim::Op::MemShutdown);

  // The next command is refused, never queued behind the abandoned one.
  Posted(CMD_FRAMEWORK_START, 10, outcome);
  EXPECT_EQ(outcome.rc, RC_SCAN_ALREADY_BUSY);
  EXPECT_FALSE(outcome.bCompleted);

  // One that may wait is run once the worker is free, and its own completion ends its wait.
  sim::HoldNext(sim::Op::Startup);
  std::atomic<bool> startupReleased{false};
  bool returnedAfterRelease = false;
  std::thread host([&] {
    CommandOutcome late;
    Posted(CMD_FRAMEWORK_START, kNoLimit, late);
    returnedAfterRelease = startupReleased.load() && late.bCompleted;
  });
  sim::Release(sim::Op::MemShutdown);
  sim::WaitUntilHeld(sim::Op::Startup);
  startupReleased = true;
  sim::Release(sim::Op::Startup);
  host.join();

  EXPECT_TRUE(returnedAfterRelease) << "returned on the abandoned command's completion";
  EXPECT_EQ(sim::CallCount(sim::Op::Startup), 2u) << "SCANINIT's and the last one, not the refused";
}

TEST_F(Worker, CommandsWithoutRoutineAnswerNotSupportedAndNeverAnEarlierResult) {
  CommandOutcome outcome;
  Posted(CMD_NOTHING, kNoLimit, outcome);
  EXPECT_TRUE(outcome.bCompleted);
  EXPECT_EQ(outcome.rc, RC_SCAN_FUNC_NOT_SUPPORTED);
  Posted(CMD_COLOUR_TABLE + 1, kNoLimit, outcome);
  EXPECT_EQ(outcome.rc, RC_SCAN_FUNC_NOT_SUPPORTED);
  Posted(CMD_FRAMEWORK_START, kNoLimit, outcome);
  EXPECT_EQ(outcome.rc, 0);
}

TEST_F(Worker, HousekeepingLeftToABusyWorkerRunsAfterItsCommand) {
  sim::HoldNext(sim::Op::MemShutdown);
  CommandOutcome outcome;
  Posted(CMD_FRAMEWORK_STOP, 10, outcome);
  sim::WaitUntilHeld(sim::Op::MemShutdown);

  const auto deferred = NewCommand(CMD_FRAMEWORK_START);
  outcome = PostCommand(deferred, CallDeadline(10), WhenBusy::Defer);
  EXPECT_FALSE(outcome.bCompleted);
  EXPECT_EQ(outcome.rc, 0);
  EXPECT_EQ(sim::CallCount(sim::Op::Startup), 1u);

  sim::Release(sim::Op::MemShutdown);
  EXPECT_EQ(AwaitIdleWorker(CallDeadline(kNoLimit)), 0);
  EXPECT_EQ(sim::CallCount(sim::Op::Startup), 2u);
}

TEST_F(Worker, AWorkerThatDoesNotEndInTimeKeepsANewSessionOutUntilItEnds) {
  sim::HoldNext(sim::Op::Shutdown);
  CommandOutcome outcome;
  Posted(CMD_FRAMEWORK_STOP, 10, outcome);
  sim::WaitUntilHeld(sim::Op::Shutdown);
  EXPECT_FALSE(StopWorker(10));
  bInitialised = 0;

  EXPECT_TRUE(StrandedWorkerRunning());
  EXPECT_EQ(SCANINIT(), RC_SCAN_ALREADY_BUSY);
  EXPECT_EQ(bInitialised, 0);

  sim::Release(sim::Op::Shutdown);  // the old worker ends and closes its own semaphores
  while (StrandedWorkerRunning()) std::this_thread::yield();
  ASSERT_EQ(SCANINIT(), 0);
  EXPECT_EQ(sim::CallCount(sim::Op::Startup), 2u);
}

}  // namespace
