// The common shape of an exported call: hold ApiLock for the whole call, and refuse in the
// order initialised, handle, the call's own conditions, one trace line per refusal.
#pragma once

#include <cstdint>

#include "api/thread.h"

class ApiLockGuard {
 public:
  ApiLockGuard();
  ~ApiLockGuard();
  ApiLockGuard(const ApiLockGuard&) = delete;
  ApiLockGuard& operator=(const ApiLockGuard&) = delete;
};

// Stores rc in usLastRc, traces it and returns it.
std::uint16_t Refuse(std::uint16_t rc);

// Each answers 0 when the check passes, else the refusal (already stored and traced).
std::uint16_t RequireInitialised();
std::uint16_t RequireHandle(std::int32_t hScanHdl);  // initialised, then the handle
// Initialised, the handle, an idle worker within the call's deadline, a loaded driver.
std::uint16_t RequireLoadedDriver(std::int32_t hScanHdl, const CallDeadline& deadline);

// The whole answer of a call that is not served: clear usLastRc, then not initialised or
// RC_SCAN_FUNC_NOT_SUPPORTED.
std::uint16_t AnswerNotSupported();
