#include "sim/services/operations/startup.h"

#include <gtest/gtest.h>

#include "framework/qel.h"
#include "sim/services/faults/switches.h"

namespace {

TEST(Startup, EachLibraryStartsTakesItsNameAndStops) {
  sim::ResetStartup();
  EXPECT_LT(QelShutdown(), 0);
  EXPECT_LT(QelSetAppName(nullptr), 0);
  EXPECT_EQ(QelStartup(), 0);
  EXPECT_EQ(QelMemStartup(), 0);
  EXPECT_EQ(QelSetAppName("KOV Glue Code"), 0);
  EXPECT_EQ(QelMemSetAppName("Mem name"), 0);
  auto state = sim::CurrentStartup();
  EXPECT_TRUE(state.started && state.memStarted);
  EXPECT_EQ(state.appName, "KOV Glue Code");
  EXPECT_EQ(state.memAppName, "Mem name");

  EXPECT_EQ(QelShutdown(), 0);
  state = sim::CurrentStartup();
  EXPECT_FALSE(state.started);
  EXPECT_TRUE(state.memStarted);
  EXPECT_EQ(QelMemShutdown(), 0);
  EXPECT_LT(QelMemShutdown(), 0);
}

}  // namespace
