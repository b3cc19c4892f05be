// SCANOPEN, SCANCLOSE and SCANSETSEQNUM: the one scanner the library serves.
#include "api/api_call.h"
#include "api/thread.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "kovzaft2.h"

namespace {
constexpr std::uint32_t kUnloadLimitMs = 20000;
}

extern "C" std::uint16_t KOVAPI SCANOPEN(const char* pszDevName, std::int32_t Timeout,
                                         std::int32_t* phScanHdl) noexcept {
  ApiLockGuard lock;
  TraceLogStr("ScanOpen called with DevName: %s", pszDevName);
  TraceLogInt("  Timeout=%d  ", Timeout);
  usLastRc = 0;
  if (std::uint16_t rc = RequireInitialised()) return rc;
  if (phScanHdl == nullptr) return Refuse(RC_SCAN_INVALID_PARM);
  // Only one scanner: a second open is refused at once and the first handle stays valid.
  if (SCB.bOpen == 1) return Refuse(RC_SCAN_DEVICE_ERROR);

  SCB.bOpen = 1;
  SCB.lSeqNumber = 1;
  SCB.lCurHandle = SCAN_HANDLE_OPEN;
  *phScanHdl = SCAN_HANDLE_OPEN;
  TraceLogInt("  *phScanHdl=%d  ", SCAN_HANDLE_OPEN);
  return 0;
}

extern "C" std::uint16_t KOVAPI SCANCLOSE(std::int32_t hScanHdl) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanClose called:");
  TraceLogInt("  hScanHdl=%d ", hScanHdl);
  usLastRc = 0;
  if (std::uint16_t rc = RequireHandle(hScanHdl)) return rc;
  // The unload is posted whenever a driver may be loaded; a busy worker runs it after its
  // current command, and the handle is closed either way.
  const auto unload = NewCommand(CMD_UNLOAD_DRIVER);
  if (unload == nullptr) return RC_SCAN_NOT_ENOUGH_MEMORY;
  const CallDeadline deadline(kUnloadLimitMs);
  if (!WaitForIdleWorker(deadline) || SCB.iRefCount != 0) {
    PostCommand(unload, deadline, WhenBusy::Defer);
  }
  SCB.bOpen = 0;
  SCB.lCurHandle = kNoScannerHandle;
  return 0;
}

extern "C" std::uint16_t KOVAPI SCANSETSEQNUM(std::int32_t hScanHdl,
                                              std::int32_t lSeqNumber) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanSetSeqNum called:");
  TraceLogInt("  hScanHdl==%d  ", hScanHdl);
  TraceLogInt("  lSeqNumber==%d  ", lSeqNumber);
  usLastRc = 0;
  if (std::uint16_t rc = RequireHandle(hScanHdl)) return rc;
  SCB.lSeqNumber = lSeqNumber;
  return 0;
}
