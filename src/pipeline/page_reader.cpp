#include "pipeline/page_reader.h"

#include <array>
#include <cstring>

#include "core/control_block.h"
#include "core/error_text.h"
#include "core/trace_log.h"
#include "framework/barcode.h"
#include "framework/driver_calls.h"
#include "kovzaft2.h"
#include "patch/patch_detector.h"
#include "pipeline/barcode_results.h"
#include "pipeline/feeder_options.h"
#include "pipeline/page_header.h"
#include "pipeline/page_store.h"
#include "pipeline/storage_filter.h"

namespace {

constexpr std::size_t kRunBufferSize = 8192;
constexpr std::uint16_t kNoPageWord = 0xEECF;  // high word of -4401: no page in the feeder

bool ImageProcessing() {
  return SCB.bro != 0 || SCB.p2 != 0 || SCB.p3 != 0 || SCB.pt != 0;
}

// Asks the scanner whether a page waits: the flags, or none (error text stored).
std::optional<std::uint32_t> PageWaiting(const DriverRecord& scanner) {
  std::uint32_t flags = 0;
  const std::int32_t rc = QelDrvMessage(scanner, QelDrvPageLoaded, 1, &flags);
  TraceLogInt("   QelDrvPageLoaded returns %x", rc);
  TraceLogInt("      and wrote %d into dwFlags", static_cast<std::int32_t>(flags));
  if (rc < 0) {
    FrameworkErrorToText(&scanner, rc);
    return std::nullopt;
  }
  return flags;
}

// The storage filter for the page: 0, or the failure (text stored, nothing loaded).
std::int32_t LoadStorageFilter() {
  const std::int32_t loaded = DrvLoadFromEntry(MyStore, SCB.StorageDriver);
  if (loaded < 0) {
    FrameworkErrorToText(nullptr, loaded);
    return loaded;
  }
  if (loaded == 0) {
    TraceLog("   QelDrvLoad of the storage driver succeeded");
    const std::int32_t initialised = QelDrvInit(&SCB.StorageDriver, 0, 0);
    if (initialised < 0) {
      TraceLog("   QelDrvInit of the storage driver failed");
      QelDrvUnload(&SCB.StorageDriver);
      SCB.StorageDriver = {};
      FrameworkErrorToText(nullptr, initialised);
      return initialised;
    }
  }
  SCB.bPageHeld = 1;
  return 0;
}

bool PipeLoaded() {
  return SCB.szLoadedPipe[0] != '\0';
}

// Loads the compression pipe the parameters ask for once, and keeps it while they ask for it.
void PreparePipe() {
  if (std::strcmp(SCB.szLoadedPipe, SCB.PipeText) == 0) return;
  TraceLogStr("    Need to load a new pipe.  current loaded pipe is: [%s]", SCB.szLoadedPipe);
  TraceLogStr("    New pipe to be loaded is: [%s]", SCB.PipeText);
  UnloadPipe();
  TraceLog("     Existing Pipe unloaded");
  if (SCB.PipeText[0] != '\0') {
    if (QelDrvLoadInitPipe(0, SCB.PipeText, &SCB.CompressionPipe, 0) < 0) {
      // The page goes on uncompressed.
      TraceLog("   QelDrvLoadInitPipe of the compression pipe failed");
      SCB.CompressionPipe = {};
    } else {
      std::memcpy(SCB.szLoadedPipe, SCB.PipeText, sizeof SCB.szLoadedPipe);
    }
  }
  TraceLog("    Done mucking with pipes");
}

// Connects the tail of the chain after `driver`: the pipe and the storage filter, or the
// filter.
void ConnectTail(const DriverRecord& driver, std::uint32_t message) {
  if (PipeLoaded()) {
    QelDrvMessage(driver, message, 0, &SCB.CompressionPipe);
    QelPipeAttach(&SCB.CompressionPipe, &SCB.StorageDriver);
  } else {
    QelDrvMessage(driver, message, 0, &SCB.StorageDriver);
  }
}

// The chain with the capture driver: 0, or the failure (text stored). A page that cannot be
// captured is not run at all: it stays in the feeder, and the capture driver stays loaded
// for the next page.
std::int32_t ConnectCapture() {
  TraceLog("   IP enabled, scanning into QELM");
  if (const std::int32_t rc = QelMemImageOpen(&SCB.hMemImage); rc < 0) {
    SCB.hMemImage = nullptr;
    FrameworkErrorToText(nullptr, rc);
    return rc;
  }
  TraceLog("   Initializing QELMZAFT");
  if (const std::int32_t rc =
          QelDrvInit(&SCB.CaptureDriver, 0, reinterpret_cast<std::uintptr_t>(SCB.hMemImage));
      rc < 0) {
    TraceLog("   QelDrvInit of QELMZAFT failed");
    FrameworkErrorToText(&SCB.CaptureDriver, rc);
    return rc;
  }
  QelDrvMessage(SCB.ScannerDriver, QelDrvSetOutput, 0, &SCB.CaptureDriver);
  ConnectTail(SCB.CaptureDriver, QelDrvSetFilterOutput);
  return 0;
}

void Disconnect(bool capture) {
  QelDrvMessage(SCB.ScannerDriver, QelDrvSetOutput, 0, nullptr);
  if (capture) QelDrvMessage(SCB.CaptureDriver, QelDrvSetFilterOutput, 0, nullptr);
  if (PipeLoaded()) QelPipeDetach(&SCB.CompressionPipe);
}

// The component reads the captured page: 0, or FROMQELM's failure.
std::int32_t CheckBarcodes() {
  TraceLog("   Checking for barcode");
  const std::int32_t rc =
      QelDrvInit(&SCB.ReplayDriver, 0, reinterpret_cast<std::uintptr_t>(SCB.hMemImage));
  if (rc < 0) {
    // Kept loaded: the next page tries again.
    TraceLog("   QelDrvInit of FROMQELM failed");
    return rc;
  }
  TraceLog("   QelDrvInit of FROMQELM succeeded");
  for (const std::uint16_t tag : {kTagSamplesPerPixel, kTagBitsPerSample, kTagCompression}) {
    DrvSetTag(SCB.ReplayDriver, tag, 1);
  }
  TraceLog("   Calling ZAFTPipePull on fromqelm");
  SCB.pBarcode->ZAFTPipePull(&SCB.ReplayDriver);
  ReadBarcodeResults();
  TraceLog("   done checking barcodes");
  return 0;
}

void CheckPatchCodes() {
  TraceLog("   Checking for patchcode");
  const std::int32_t code = DetectPatchCode(SCB.hMemImage);
  if (code == kPatchII && SCB.p2 != 0) lPatchResult = 1;
  if (code == kPatchIII && SCB.p3 != 0) lPatchResult = 2;
  if (code == kPatchT && SCB.pt != 0) lPatchResult = 3;
  TraceLog("   done checking patch codes");
}

// A failed page leaves nothing behind: its blocks, image, storage filter and any patch code
// found on it go at once, so no later page takes its level.
std::int32_t FailPage(std::int32_t rc) {
  lPatchResult = 0;
  ReleasePage();
  return rc;
}

// A new page ends the one before, whatever the feeder holds: the bytes the host did not fetch
// are given up.
void EndPreviousPage() {
  if (SCB.bPageHeld == 0) return;
  TraceLogInt("   the rest of the last page was not fetched: %d bytes dropped",
              static_cast<std::int32_t>(SCB.StoreSize));
  ReleasePage();
}

}  // namespace

void UnloadPipe() {
  if (PipeLoaded()) QelPipeUnload(&SCB.CompressionPipe);
  SCB.CompressionPipe = {};
  SCB.szLoadedPipe[0] = '\0';
}

std::int32_t CheckFeeder(const DriverRecord& scanner) {
  std::int32_t shouldCheck = 0;
  std::int32_t pauseEach = 0;
  if (GetFeederOptions({.bshouldcheckfeeder = &shouldCheck, .bpauseforeachpage = &pauseEach}) !=
      0) {
    return 1;
  }
  if (shouldCheck == 0) return 0;
  auto flags = PageWaiting(scanner);
  if (!flags) return 1;
  if (*flags == kPageReady) return 0;
  if (SCB.bPaused != 0) {
    TraceLog("Since it's been paused, I'm restarting the scanner");
    DrvSetTag(scanner, kTagScanAhead, 1);
    SCB.bPaused = 0;
    TraceLog("Checking feeder again");
    flags = PageWaiting(scanner);
    if (!flags) return 1;
    if (*flags == kPageReady) return 0;
  }
  StoreLastRc(RC_SCAN_ADF_EMPTY);
  return 1;
}

std::int32_t RunPage() {
  lPatchResult = 0;
  hStoreInstance = hModuleInstance;
  SCB.StoreSize = 0;
  if (const std::int32_t rc = LoadStorageFilter(); rc < 0) return rc;
  PreparePipe();
  const bool capture = ImageProcessing();
  if (capture) {
    if (const std::int32_t rc = ConnectCapture(); rc < 0) return FailPage(rc);
  } else {
    ConnectTail(SCB.ScannerDriver, QelDrvSetOutput);
  }
  ClearBarcodeTable();

  TraceLog("   QelRunZone called here");
  std::array<std::uint8_t, kRunBufferSize> work{};
  std::int32_t rc =
      QelRunZone(&SCB.ScannerDriver, work.data(), static_cast<std::int32_t>(work.size()));
  TraceLogInt("   QelRunZone returns %x", rc);
  Disconnect(capture);
  SCB.bScannedSinceLoad = 1;

  if (capture && SCB.bro != 0 && SCB.pBarcode != nullptr) {
    const std::int32_t barcodes = CheckBarcodes();
    if (rc >= 0 && barcodes < 0) rc = barcodes;
  }
  if (capture && (SCB.p2 != 0 || SCB.p3 != 0 || SCB.pt != 0)) CheckPatchCodes();
  if (rc < 0) {
    FrameworkErrorToText(&SCB.ScannerDriver, rc);
    return FailPage(rc);
  }
  SCB.pParse = SCB.pCaptureHead;
  SCB.ulParseOffset = 0;
  SCB.ulPageSize = SCB.StoreSize;
  return 0;
}

void PageReader(Command& command) {
  EndPreviousPage();
  if (CheckFeeder(SCB.ScannerDriver) != 0) {
    command.lWorkerRc = LastRc();
    return;
  }
  if (const std::int32_t rc = RunPage(); rc < 0) {
    if (HighWordOf(rc) == kNoPageWord) StoreLastRc(RC_SCAN_ADF_EMPTY);
    command.lWorkerRc = LastRc();
    return;
  }
  ++SCB.lSeqNumber;
  BuildPageHeader(SCB.PageHeader);
  SCB.bHeaderPending = 1;
  command.lWorkerRc = 0;
}

void PauseFeeder(Command& command) {
  DrvSetTag(SCB.ScannerDriver, kTagScanAhead, 0);
  const auto flags = PageWaiting(SCB.ScannerDriver);
  if (!flags) {
    command.lWorkerRc = LastRc();
    return;
  }
  if (*flags == kPageReady) {
    SCB.bPaused = 1;
  } else {
    DrvSetTag(SCB.ScannerDriver, kTagScanAhead, 1);
  }
  command.lWorkerRc = 0;
}
