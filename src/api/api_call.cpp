#include "api/api_call.h"

#include "core/control_block.h"
#include "core/return_codes.h"
#include "core/trace_log.h"

ApiLockGuard::ApiLockGuard() {
  platform::EnterCriticalSection(ApiLock);
}

ApiLockGuard::~ApiLockGuard() {
  platform::LeaveCriticalSection(ApiLock);
}

std::uint16_t Refuse(std::uint16_t rc) {
  usLastRc = rc;
  TraceLogStr("  refused: %s", ReturnCodeName(rc));
  return rc;
}

std::uint16_t RequireInitialised() {
  return bInitialised != 0 ? 0 : Refuse(RC_SCAN_NOT_INITIALIZED);
}

std::uint16_t RequireHandle(std::int32_t hScanHdl) {
  if (std::uint16_t rc = RequireInitialised()) return rc;
  // The stored "nothing open" value is no handle a host may use.
  return SCB.bOpen != 0 && hScanHdl == SCB.lCurHandle ? 0 : Refuse(RC_SCAN_INVALID_HANDLE);
}

std::uint16_t RequireLoadedDriver(std::int32_t hScanHdl, const CallDeadline& deadline) {
  if (std::uint16_t rc = RequireHandle(hScanHdl)) return rc;
  if (std::uint16_t rc = AwaitIdleWorker(deadline)) return rc;
  return SCB.iRefCount != 0 ? 0 : Refuse(RC_SCAN_NO_DRIVER);
}

std::uint16_t AnswerNotSupported() {
  usLastRc = 0;
  if (std::uint16_t rc = RequireInitialised()) return rc;
  return Refuse(RC_SCAN_FUNC_NOT_SUPPORTED);
}
