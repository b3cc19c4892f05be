// The command handshake with the worker when a command outlasts its caller's wait.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "api/thread.h"
#include "core/control_block.h"
#include "kovzaft2.h"
#include "sim/switches.h"

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
};

TEST_F(Worker, ALateCompletionIsNotTakenForTheNextCommand) {
  // Command 2 is held inside the framework until its caller has given up waiting.
  sim::HoldNext(sim::Op::MemShutdown);
  PostCommand(CMD_FRAMEWORK_STOP, 10);
  sim::WaitUntilHeld(sim::Op::MemShutdown);

  sim::HoldNext(sim::Op::Startup);
  std::atomic<bool> startupReleased{false};
  bool returnedAfterRelease = false;
  std::thread host([&] {
    PostCommand(CMD_FRAMEWORK_START, kNoLimit);
    returnedAfterRelease = startupReleased.load();
  });
  sim::Release(sim::Op::MemShutdown);    // command 2 completes late...
  sim::WaitUntilHeld(sim::Op::Startup);  // ...and command 1 is running
  startupReleased = true;
  sim::Release(sim::Op::Startup);
  host.join();

  EXPECT_TRUE(returnedAfterRelease) << "returned on command 2's completion";
  EXPECT_EQ(sim::CallCount(sim::Op::Startup), 2u) << "SCANINIT's and this one";
}

TEST_F(Worker, CommandsWithoutRoutineStillComplete) {
  SCB.lWorkerRc = 1234;
  EXPECT_EQ(PostCommand(CMD_NOTHING, kNoLimit), 1234);
  EXPECT_EQ(PostCommand(CMD_COLOUR_TABLE + 1, kNoLimit), 1234);
}

TEST_F(Worker, AWorkerThatDoesNotEndInTimeIsLeftRunningAndTheLibraryStartsAgain) {
  sim::HoldNext(sim::Op::Shutdown);
  PostCommand(CMD_FRAMEWORK_STOP, 10);
  sim::WaitUntilHeld(sim::Op::Shutdown);
  EXPECT_FALSE(StopWorker(10));
  bInitialised = 0;

  // A new session gets a worker of its own while the old one is still stuck.
  ASSERT_EQ(SCANINIT(), 0);
  EXPECT_EQ(sim::CallCount(sim::Op::Startup), 2u);
  sim::Release(sim::Op::Shutdown);  // the old worker ends and closes its own semaphores
}

}  // namespace
