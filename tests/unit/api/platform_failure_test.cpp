// SCANINIT when the system cannot give a semaphore or the thread; LoadDriver when COM
// cannot start.
#include <gtest/gtest.h>

#include "kovzaft2.h"
#include "platform/platform.h"
#include "tests/unit/scanner_fixture.h"

namespace {
int semaphoresUntilFailure = -1;  // -1: never fail
bool threadFails = false;
bool comFails = false;
}  // namespace

// The linker's --wrap names: reserved by the language, made by the linker.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" platform::Semaphore* __real__ZN8platform15CreateSemaphoreEv();
extern "C" platform::Thread* __real__ZN8platform12CreateThreadEPFjPvES0_(platform::ThreadProc,
                                                                         void*);

extern "C" platform::Semaphore* __wrap__ZN8platform15CreateSemaphoreEv() {
  if (semaphoresUntilFailure == 0) return nullptr;
  if (semaphoresUntilFailure > 0) --semaphoresUntilFailure;
  return __real__ZN8platform15CreateSemaphoreEv();
}

extern "C" platform::Thread* __wrap__ZN8platform12CreateThreadEPFjPvES0_(platform::ThreadProc proc,
                                                                         void* argument) {
  if (threadFails) return nullptr;
  return __real__ZN8platform12CreateThreadEPFjPvES0_(proc, argument);
}

extern "C" std::int32_t __real__ZN8platform13ComInitializeEv();
extern "C" std::int32_t __wrap__ZN8platform13ComInitializeEv() {
  return comFails ? -1 : __real__ZN8platform13ComInitializeEv();
}
// NOLINTEND(bugprone-reserved-identifier)

namespace {

class InitFailure : public ::testing::Test {
 protected:
  void TearDown() override {
    semaphoresUntilFailure = -1;
    threadFails = false;
    SCANFREE();
  }
  static void ExpectRefusedAndUninitialised() {
    EXPECT_EQ(SCANINIT(), RC_SCAN_NOT_ENOUGH_MEMORY);
    std::int32_t handle = 0;
    EXPECT_EQ(SCANOPEN("dev", 0, &handle), RC_SCAN_NOT_INITIALIZED);
  }
};

TEST_F(InitFailure, EachSemaphoreInTurn) {
  for (int failing = 0; failing < 3; ++failing) {
    SCOPED_TRACE(failing);
    semaphoresUntilFailure = failing;
    ExpectRefusedAndUninitialised();
  }
  semaphoresUntilFailure = -1;
  EXPECT_EQ(SCANINIT(), 0) << "a later SCANINIT succeeds";
}

TEST_F(InitFailure, TheThread) {
  threadFails = true;
  ExpectRefusedAndUninitialised();
  threadFails = false;
  EXPECT_EQ(SCANINIT(), 0);
}

using ComFailure = ScannerTest;

TEST_F(ComFailure, TheLoadIsUndoneAndTheCallIsTracedBeforeItsOutcome) {
  sim::RegisterDriver(sim::DriverDesign("KITA").Text(kTagScannerId, "Kit"));
  comFails = true;
  EXPECT_EQ(LoadDriver("KITA"), -1);
  comFails = false;
  EXPECT_EQ(usLastRc, RC_SCAN_DEVICE_ERROR);
  EXPECT_EQ(SCB.iRefCount, 0);
  EXPECT_EQ(sim::DriverView("KITA").LoadedNow(), 0u);
  const auto lines = TraceLines();
  const auto called =
      std::find(lines.begin(), lines.end(), "   LoadDriver: finished call to CoInitialize");
  ASSERT_NE(called, lines.end());
  ASSERT_NE(called + 1, lines.end());
  EXPECT_EQ(called[1], "   Could not create IP instance.  possibly old QELIP.QXN");
}

}  // namespace
