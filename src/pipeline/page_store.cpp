#include "pipeline/page_store.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/bulk_copy.h"
#include "core/command.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "framework/driver_calls.h"
#include "framework/errors.h"

namespace {

// From this many bytes on, a page's data are copied past the caches (CopyPastCaches): they
// no longer fit, the worker stores them and the host's thread fetches them.
constexpr std::uint64_t kLargePage = 4 * 1024 * 1024;

// Copies `count` bytes of a page whose data come to `pageBytes` (stored so far while it is
// stored, still held while it is delivered).
void CopyPageBytes(void* destination, const void* source, std::uint32_t count,
                   std::uint64_t pageBytes) {
  if (pageBytes >= kLargePage) {
    CopyPastCaches(destination, source, count);
  } else {
    std::memcpy(destination, source, count);
  }
}

std::uint8_t* DataOf(CaptureBlock* block) {
  return reinterpret_cast<std::uint8_t*>(block) + sizeof(CaptureBlock);
}

// Single samples of more than one bit go through the framework's copy; the rest as they are.
// The layout is read at the page's start: after the ezone that comes before it, no tag set
// reaches the filter, so it holds for every data message of the page.
bool bCopySamples = false;

void ReadSampleLayout(const DriverContext& context) {
  std::int32_t bits = 1;
  DrvGetTag(context.self, kTagBitsPerSample, bits);
  std::int32_t samples = 0;
  if (bits > 1) DrvGetTag(context.self, kTagSamplesPerPixel, samples);
  bCopySamples = bits > 1 && samples == 1;
}

void CopyIntoBlock(std::uint8_t* destination, const void* source, std::uint32_t count) {
  if (bCopySamples) {
    QelCopySamples(destination, source, count);
  } else {
    CopyPageBytes(destination, source, count, SCB.StoreSize);
  }
}

}  // namespace

void StartPage(const DriverContext& context) {
  StartCapture();
  ReadSampleLayout(context);
}

void StartCapture() {
  SCB.StoreSize = 0;
  SCB.pCaptureHead = nullptr;
  SCB.ppCaptureTail = &SCB.pCaptureHead;
  SCB.pParse = nullptr;
  SCB.ulParseOffset = 0;
}

std::int32_t StoreData(const DriverContext& context, std::uint32_t message, std::int32_t count,
                       const void* bytes) {
  TraceLogInt("   data capture got %d data bytes", count);
  if (count <= 0 || bytes == nullptr) return 0;
  const auto size = static_cast<std::uint32_t>(count);
  const bool first = SCB.ppCaptureTail == nullptr || *SCB.ppCaptureTail == nullptr;
  const std::uint64_t blockSize = std::uint64_t{sizeof(CaptureBlock)} + size;
  auto* block = blockSize <= std::numeric_limits<std::uint32_t>::max()
                    ? static_cast<CaptureBlock*>(QelAlloc(static_cast<std::uint32_t>(blockSize), 0))
                    : nullptr;
  if (block == nullptr) {
    TraceLog(first ? "   Malloc1 failed in the storage filter"
                   : "   Malloc2 failed in the storage filter");
    return MakeFrameworkError(kErrNoMemory, context.usDriverId);
  }
  if (SCB.ppCaptureTail == nullptr) SCB.ppCaptureTail = &SCB.pCaptureHead;
  if (*SCB.ppCaptureTail == nullptr) {
    *SCB.ppCaptureTail = block;
  } else {
    (*SCB.ppCaptureTail)->pNext = block;
    SCB.ppCaptureTail = &(*SCB.ppCaptureTail)->pNext;
  }
  block->pNext = nullptr;
  CopyIntoBlock(DataOf(block), bytes, size);
  block->ulCount = size;
  SCB.StoreSize += size;
  if (context.pDataHandlerInstance != nullptr && context.pfnDataHandler != nullptr) {
    context.pfnDataHandler(context.pDataHandlerInstance, message, count, const_cast<void*>(bytes));
  }
  return 0;
}

std::uint32_t GetImage(std::uint32_t count, std::uint8_t* destination) {
  TraceLogInt("   GetImage called with ulDataLen=%d", static_cast<std::int32_t>(count));
  count = std::min(count, SCB.StoreSize);
  SCB.StoreSize -= count;
  TraceLogInt("   GetImage will return %d bytes", static_cast<std::int32_t>(count));
  TraceLogInt("   Lowering the stored data to %d bytes", static_cast<std::int32_t>(SCB.StoreSize));
  const std::uint64_t pageBytes = std::uint64_t{SCB.StoreSize} + count;
  std::uint32_t copied = 0;
  while (copied < count) {
    if (!TraceInvariant(SCB.pParse != nullptr, "SCB.pParse")) break;
    CaptureBlock* block = SCB.pParse;
    const std::uint32_t piece = std::min(count - copied, block->ulCount - SCB.ulParseOffset);
    CopyPageBytes(destination + copied, DataOf(block) + SCB.ulParseOffset, piece, pageBytes);
    SCB.ulParseOffset += piece;
    copied += piece;
    if (SCB.ulParseOffset == block->ulCount) {
      SCB.pParse = block->pNext;
      SCB.ulParseOffset = 0;
    }
  }
  TraceLog("   GetImage done");
  if (SCB.StoreSize == 0) ReleasePage();
  return copied;
}

std::uint16_t DeliverPage(KOV_PAGEHEADER& header, std::uint8_t* pucData, std::uint32_t& ulDataLen) {
  constexpr std::size_t kLengthField = sizeof header.usHeaderLength;
  std::memcpy(reinterpret_cast<std::uint8_t*>(&header) + kLengthField,
              reinterpret_cast<const std::uint8_t*>(&SCB.PageHeader) + kLengthField,
              sizeof header - kLengthField);
  SCB.bHeaderPending = 0;
  if (pucData == nullptr) {
    TraceLogInt("   pucData==NULL, StoreSize=%d", static_cast<std::int32_t>(SCB.StoreSize));
    TraceLog("   returning RC_SCAN_MORE_DATA");
    ulDataLen = SCB.StoreSize;
    StoreLastRc(RC_SCAN_MORE_DATA);
    return RC_SCAN_MORE_DATA;
  }
  ulDataLen = GetImage(std::min(ulDataLen, SCB.StoreSize), pucData);
  if (SCB.StoreSize == 0) return 0;
  StoreLastRc(RC_SCAN_MORE_DATA);
  return RC_SCAN_MORE_DATA;
}

std::int32_t ReleasePage() {
  if (SCB.bPageHeld == 0) return 0;
  for (CaptureBlock* block = SCB.pCaptureHead; block != nullptr;) {
    CaptureBlock* next = block->pNext;
    QelFree(block);
    block = next;
  }
  StartCapture();
  if (SCB.hMemImage != nullptr) QelMemImageClose(SCB.hMemImage);
  SCB.hMemImage = nullptr;
  const std::int32_t rc = QelDrvUnload(&SCB.StorageDriver);
  SCB.StorageDriver = {};
  SCB.bPageHeld = 0;
  SCB.bHeaderPending = 0;
  return rc;
}
