// SCANAREAEJECT and SCANGETDATA: one page at a time into the host's buffers.
#include "api/api_call.h"
#include "api/thread.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "kovzaft2.h"
#include "pipeline/page_store.h"
#include "platform/platform.h"

namespace {
constexpr std::uint32_t kPageLimitMs = 120000;
}

extern "C" std::uint16_t KOVAPI SCANAREAEJECT(std::int32_t hScanHdl, KOV_PAGEHEADER** ppHeader,
                                              std::uint8_t* pucData,
                                              std::uint32_t* pulDataLen) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanAreaEject called:");
  TraceLogInt("  hScanHdl=%d ", hScanHdl);
  usLastRc = 0;
  const CallDeadline deadline(kPageLimitMs);
  if (std::uint16_t rc = RequireLoadedDriver(hScanHdl, deadline)) return rc;
  if (ppHeader == nullptr || pulDataLen == nullptr) return Refuse(RC_SCAN_INVALID_PARM);
  KOV_PAGEHEADER* header = *ppHeader;
  if (header == nullptr) {
    // Zero-filled pages the host owns from now on.
    header = static_cast<KOV_PAGEHEADER*>(platform::AllocatePages(PAGE_HEADER_SIZE));
    if (header == nullptr) return Refuse(RC_SCAN_NOT_ENOUGH_MEMORY);
    header->usHeaderLength = PAGE_HEADER_SIZE;
    *ppHeader = header;
  } else if (header->usHeaderLength < PAGE_HEADER_SIZE) {
    return Refuse(RC_SCAN_HEADER_TOO_SHORT);
  }
  // A page whose caller stopped waiting is handed out now, rather than scanning the next.
  if (SCB.bHeaderPending == 0) {
    const auto command = NewCommand(CMD_SCAN_PAGE);
    if (command == nullptr) return RC_SCAN_NOT_ENOUGH_MEMORY;
    SCB.PageHeader = *header;
    const CommandOutcome outcome = PostCommand(command, deadline);
    if (!outcome.bCompleted || outcome.rc != 0) return outcome.rc;
  }
  return DeliverPage(*header, pucData, *pulDataLen);
}

extern "C" std::uint16_t KOVAPI SCANGETDATA(std::int32_t hScanHdl, std::uint8_t* pucData,
                                            std::uint32_t* pulDataLen, std::int32_t) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanGetData called:");
  TraceLogInt("  hScanHdl=%d  ", hScanHdl);
  usLastRc = 0;
  if (std::uint16_t rc = RequireHandle(hScanHdl)) return rc;
  if (pucData == nullptr || pulDataLen == nullptr) return Refuse(RC_SCAN_INVALID_PARM);
  // A page still running after SCANAREAEJECT stopped waiting is the worker's.
  if (std::uint16_t rc = AwaitIdleWorker(CallDeadline(0))) return rc;
  // A page whose header the host has not had yet comes with the next SCANAREAEJECT.
  if (SCB.StoreSize == 0 || SCB.bHeaderPending != 0) {
    if (SCB.bHeaderPending == 0) ReleasePage();
    return Refuse(RC_SCAN_NO_DATA);
  }
  *pulDataLen = GetImage(std::min(*pulDataLen, SCB.StoreSize), pucData);
  TraceLogInt("ScanGetData   *pulDataLen on return == %d  ",
              static_cast<std::int32_t>(*pulDataLen));
  return 0;
}
