#include "sim/services/faults/switches.h"

#include <gtest/gtest.h>

#include <thread>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/operations/error_texts.h"
#include "sim/services/operations/startup.h"

namespace {

using sim::Op;

class Switches : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetSwitches();
    sim::ResetStartup();
  }
  void TearDown() override { sim::ResetSwitches(); }

  static std::int32_t LoadName(char* buffer) { return QelLoadString(nullptr, -4700, buffer, 16); }
};

TEST_F(Switches, EveryFailureValueIsANegativeErrorWithAText) {
  for (std::size_t i = 0; i < sim::kOpCount; ++i) {
    const auto op = static_cast<Op>(i);
    EXPECT_LT(sim::FailureValue(op), 0) << sim::NameOf(op);
    EXPECT_TRUE(sim::FrameworkErrorText(ErrorNumberOf(sim::FailureValue(op)))) << sim::NameOf(op);
  }
}

TEST_F(Switches, FailNextFailsTheKthCallOfItsOperationOnce) {
  char buffer[16];
  sim::FailNext(Op::LoadString, 3);
  EXPECT_GT(LoadName(buffer), 0);
  EXPECT_GT(LoadName(buffer), 0);
  EXPECT_EQ(LoadName(buffer), sim::FailureValue(Op::LoadString));
  EXPECT_STREQ(buffer, "");
  EXPECT_GT(LoadName(buffer), 0);
  EXPECT_EQ(sim::CallCount(Op::LoadString), 4u);
  EXPECT_EQ(sim::CallCount(Op::ErrorText), 0u);

  // Switches touch only their own operation, and can be cancelled.
  sim::FailNext(Op::Startup);
  sim::HoldNext(Op::Startup);
  EXPECT_EQ(QelMemStartup(), 0);
  sim::FailNext(Op::Startup, 0);
  sim::Release(Op::Startup);
  EXPECT_EQ(QelStartup(), 0);
}

TEST_F(Switches, HeldCallWaitsForRelease) {
  sim::HoldNext(Op::Startup);
  std::int32_t result = 1;
  std::thread caller([&] { result = QelStartup(); });
  sim::WaitUntilHeld(Op::Startup);
  EXPECT_FALSE(sim::CurrentStartup().started);
  EXPECT_EQ(sim::CallCount(Op::Startup), 1u);
  sim::Release(Op::Startup);
  caller.join();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(sim::CurrentStartup().started);
  // The hold was for one call only.
  EXPECT_EQ(QelShutdown(), 0);
}

TEST_F(Switches, ResetLetsHeldCallsGo) {
  sim::HoldNext(Op::MemStartup);
  sim::FailNext(Op::MemStartup);
  std::int32_t result = 0;
  std::thread caller([&] { result = QelMemStartup(); });
  sim::WaitUntilHeld(Op::MemStartup);
  sim::ResetSwitches();
  caller.join();
  EXPECT_EQ(result, sim::FailureValue(Op::MemStartup));
  EXPECT_EQ(sim::CallCount(Op::MemStartup), 0u);
}

}  // namespace
