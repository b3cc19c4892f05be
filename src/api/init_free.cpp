// SCANINIT and SCANFREE: start and stop the worker and the framework.
#include "api/api_call.h"
#include "api/thread.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "kovzaft2.h"

namespace {
constexpr int kSessionMarkLines = 10;
constexpr std::uint32_t kFrameworkStopLimitMs = 20000;
}  // namespace

extern "C" std::uint16_t KOVAPI SCANINIT() noexcept {
  ApiLockGuard lock;
  for (int line = 0; line < kSessionMarkLines; ++line) TraceLog("");
  TraceLog("ScanInit called");
  usLastRc = 0;
  if (bInitialised == 1) return Refuse(RC_SCAN_ALREADY_INITIALIZED);
  // A worker left behind by SCANFREE still works on the control block: no new session
  // starts under it.
  if (StrandedWorkerRunning()) {
    TraceLog("  the worker of the previous session is still running");
    return Refuse(RC_SCAN_ALREADY_BUSY);
  }

  const auto start = NewCommand(CMD_FRAMEWORK_START);
  if (start == nullptr) return RC_SCAN_NOT_ENOUGH_MEMORY;

  SCB.lCurHandle = kNoScannerHandle;
  SCB.iRefCount = 0;
  SCB.bPaused = 0;
  SCB.CurParms.usSize = 0;
  SCB.szLoadedPipe[0] = '\0';
  // Without its semaphores or thread the library stays uninitialised.
  if (!StartWorker()) {
    TraceLog("  could not create the worker thread or its semaphores");
    return Refuse(RC_SCAN_NOT_ENOUGH_MEMORY);
  }
  bInitialised = 1;
  PostCommand(start, CallDeadline(kNoLimit));
  return 0;
}

extern "C" std::uint16_t KOVAPI SCANFREE() noexcept {
  ApiLockGuard lock;
  TraceLog("ScanFree called:");
  usLastRc = 0;
  if (std::uint16_t rc = RequireInitialised()) return rc;
  if (SCB.bOpen == 1 && SCANCLOSE(SCB.lCurHandle) != 0) {
    SCB.bOpen = 0;
    return Refuse(RC_SCAN_DEVICE_ERROR);
  }
  bInitialised = 0;
  // The host's use ends here whatever the worker does: a stop it cannot take now it takes
  // after the command it is running. A worker still busy after the close's wait is stuck,
  // so the stop is handed over at once rather than waited for a second time.
  if (const auto stop = NewCommand(CMD_FRAMEWORK_STOP)) {
    const bool idle = WaitForIdleWorker(CallDeadline(0));
    PostCommand(stop, CallDeadline(idle ? kFrameworkStopLimitMs : 0), WhenBusy::Defer);
  }
  StopWorker(kWorkerEndLimitMs);
  return 0;
}
