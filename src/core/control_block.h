// The one control block of the open scanner and the process-wide values around it.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "framework/qel.h"
#include "framework/records.h"
#include "kovzaft2.h"
#include "platform/platform.h"

class IBarcodeReader;

// One data message of a page as the storage filter keeps it; the data follow the record.
struct CaptureBlock {
  std::uint32_t ulCount;
  CaptureBlock* pNext;
};
// Two pointers wide before its data: 8 bytes in the 32-bit edition, 16 in the x64 one.
static_assert(sizeof(CaptureBlock) == 2 * sizeof(void*) &&
              offsetof(CaptureBlock, pNext) == sizeof(void*));

inline constexpr std::int32_t kNoScannerHandle = SCAN_HANDLE_NONE;
inline constexpr std::size_t kPipeTextSize = 256;
inline constexpr std::size_t kDriverNameSize = 9;  // eight characters and the zero
inline constexpr std::size_t kLoadedDriverSize = 104;

struct ScannerControlBlock {
  std::int16_t bOpen = 0;
  std::int32_t lCurHandle = 0;
  std::atomic<std::int32_t> lSeqNumber{0};  // SCANSETSEQNUM may set it while a page runs late
  char szDriverName[kDriverNameSize] = {};
  ParmRecord CurParms = {};
  DriverRecord ScannerDriver = {};
  std::int32_t iRefCount = 0;  // scanner driver load count; 0 = no driver loaded
  char szLoadedDriver[kLoadedDriverSize] = {};
  std::int16_t sFeederAtSend = 0;
  std::int32_t bUseOldAddressOffset = 0;
  std::int32_t bClearBuffers = 0;
  DriverRecord CaptureDriver = {};  // "QELMZAFT"
  DriverRecord ReplayDriver = {};   // "FROMQELM"
  platform::ComString DefaultBarcodeState = nullptr;
  std::int32_t bSendParams = 0;
  std::int32_t bCanPause = 0;
  std::int32_t bPaused = 0;
  std::int32_t bScannedSinceLoad = 0;

  // Working values of the record applied or captured last.
  std::int32_t lCurCompression = 0;
  std::int32_t lCurT4Options = 0;
  std::int32_t p2 = 0;
  std::int32_t p3 = 0;
  std::int32_t pt = 0;
  std::int32_t bro = 0;
  std::int32_t lJobSepValue = -1;  // the job-separator value the dialog offers, -1 for none
  char PipeText[kPipeTextSize] = {};
  char szLoadedPipe[kPipeTextSize] = {};

  // The page: its storage filter and pipe, its blocks, the delivery cursor, its memory image,
  // its barcodes and its header. Written by the page run on the worker; after it, read and
  // released on the host's thread by the page calls, with the worker idle.
  DriverRecord StorageDriver = {};
  PipeRecord CompressionPipe = {};
  QelMemImage hMemImage = nullptr;
  std::int32_t bPageHeld = 0;  // the storage filter of a page is loaded
  std::uint32_t StoreSize = 0;
  std::uint32_t ulPageSize = 0;
  CaptureBlock* pCaptureHead = nullptr;
  CaptureBlock** ppCaptureTail = nullptr;
  CaptureBlock* pParse = nullptr;
  std::uint32_t ulParseOffset = 0;
  std::int16_t sBarcodeCount = 0;
  std::array<KOV_BARCODE, BARCODE_ENTRY_COUNT> BarcodeTable = {};
  // The header of the page run last, built by the worker on a copy of the host's header;
  // pending until SCANAREAEJECT hands it out (a page whose caller stopped waiting waits here
  // for the next SCANAREAEJECT).
  KOV_PAGEHEADER PageHeader = {};
  std::int32_t bHeaderPending = 0;

  // Third argument of SCANPARMSDLG2: kept, read by no command.
  std::int32_t lDialogOption = 0;

  IBarcodeReader* pBarcode = nullptr;
};

extern ScannerControlBlock SCB;

extern platform::CriticalSection* ApiLock;
extern platform::Module* hModuleInstance;
extern std::int32_t bInitialised;
extern std::atomic<std::uint16_t> usLastRc;  // SCANKILL writes it without ApiLock
extern std::atomic<std::int32_t> bKill;      // polled by the scanner driver's abort callback
// The Scanner Controls dialog while it shows; SCANKILL posts it a close request.
extern std::atomic<platform::Window*> hDlgWnd;
