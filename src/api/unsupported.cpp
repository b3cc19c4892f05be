// Calls of the host interface that this library does not serve.
#include "api/api_call.h"
#include "core/trace_log.h"
#include "kovzaft2.h"

// No handle check: the answer is the same for any handle.
extern "C" std::uint16_t KOVAPI SCANAREA(std::int32_t hScanHdl, std::int32_t, std::int32_t,
                                         std::int32_t) noexcept {
  TraceLog("ScanArea called:");
  TraceLogInt("  hScanHdl=%d ", hScanHdl);
  ApiLockGuard lock;
  return AnswerNotSupported();
}

extern "C" std::uint16_t KOVAPI SCANENDPAGE(std::int32_t hScanHdl) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanEndPage called:");
  TraceLogInt("  hScanHdl=%d ", hScanHdl);
  return AnswerNotSupported();
}

extern "C" std::uint16_t KOVAPI SCANFLUSH(std::int32_t hScanHdl) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanFlush called:");
  TraceLogInt("  hScanHdl=%d ", hScanHdl);
  return AnswerNotSupported();
}

extern "C" std::uint16_t KOVAPI SCANRESET(std::int32_t hScanHdl) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanReset called:");
  TraceLogInt("  hScanHdl==%d  ", hScanHdl);
  return AnswerNotSupported();
}

extern "C" std::uint16_t KOVAPI SCANRESTART(std::int32_t hScanHdl,
                                            std::int32_t lSeqNumber) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanRestart called:");
  TraceLogInt("  hScanHdl==%d  ", hScanHdl);
  TraceLogInt("  lSeqNumber==%d  ", lSeqNumber);
  return AnswerNotSupported();
}
