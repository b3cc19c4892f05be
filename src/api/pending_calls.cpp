// The page calls and the storage filter, whose work arrives with the page pipeline. Until
// then they keep the common shape and answer a plain refusal, never a success they did not
// earn.
#include "api/api_call.h"
#include "core/trace_log.h"
#include "framework/errors.h"
#include "kovzaft2.h"

extern "C" std::uint16_t KOVAPI SCANAREAEJECT(std::int32_t hScanHdl, KOV_PAGEHEADER**,
                                              std::uint8_t*, std::uint32_t*) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanAreaEject called:");
  TraceLogInt("  hScanHdl=%d ", hScanHdl);
  return AnswerNotSupported();
}

extern "C" std::uint16_t KOVAPI SCANGETDATA(std::int32_t hScanHdl, std::uint8_t*, std::uint32_t*,
                                            std::int32_t) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanGetData called:");
  TraceLogInt("  hScanHdl=%d  ", hScanHdl);
  return AnswerNotSupported();
}

// The storage filter is not chained yet: a driver that calls it gets a failure.
extern "C" std::int32_t KOVAPI MyStore(void*, std::uint32_t, std::int32_t, void*) noexcept {
  return kErrNoDriver;
}
