#include "pipeline/driver_loading.h"

#include <cstring>

#include "core/command.h"
#include "core/control_block.h"
#include "core/error_text.h"
#include "core/profile_switch.h"
#include "core/trace_log.h"
#include "framework/barcode.h"
#include "framework/driver_calls.h"
#include "pipeline/page_store.h"

namespace {

// Handed to the scanner as tag 1299; the driver polls it while it works.
std::int32_t QELCALLBACK AbortPoll() noexcept {
  return bKill != 0 ? kErrAborted : 0;
}

void UnloadImageDriver(const char* name, DriverRecord& driver) {
  TraceLogStr("   Unloading %s", name);
  QelDrvUnload(&driver);
  TraceLog("  Successful");
  driver = {};
}

void ReleaseBarcodeComponent() {
  if (SCB.pBarcode != nullptr) SCB.pBarcode->Release();
  SCB.pBarcode = nullptr;
  platform::FreeComString(SCB.DefaultBarcodeState);
  SCB.DefaultBarcodeState = nullptr;
}

// A load that fails after the scanner was loaded leaves nothing behind: later users of the
// driver rely on the component and the image drivers being there.
std::int32_t UndoScannerLoad() {
  QelDrvUnload(&SCB.ScannerDriver);
  SCB.ScannerDriver = {};
  --SCB.iRefCount;
  return -1;
}

bool CreateBarcodeComponent() {
  const std::int32_t started = platform::ComInitialize();
  TraceLog("   LoadDriver: finished call to CoInitialize");
  if (started < 0) {
    TraceLog("   Could not create IP instance.  possibly old QELIP.QXN");
    return false;
  }
  const std::int32_t created = QelIpCreateInstance(&SCB.pBarcode);
  TraceLog("   LoadDriver: finished call to CoCreateInstance");
  if (created < 0 || SCB.pBarcode == nullptr) {
    SCB.pBarcode = nullptr;
    platform::ComUninitialize();
    TraceLogInt("   CoCreateInstance error: %x", created);
    TraceLog("   Could not create barcode detection instance.  possibly old QELIP.QXN");
    return false;
  }
  const std::int32_t state = SCB.pBarcode->GetState(&SCB.DefaultBarcodeState);
  TraceLog("   LoadDriver: finished call to GetState");
  if (state < 0) {
    SCB.DefaultBarcodeState = nullptr;
    ReleaseBarcodeComponent();
    platform::ComUninitialize();
    TraceLog("   Could not get barcode detection state.  possibly old QELIP.QXN");
    return false;
  }
  return true;
}

// A positive answer ("loaded and already set up") is a load too: image drivers are set up
// for each page anyway.
bool LoadImageDriver(const char* name, DriverRecord& driver) {
  const std::int32_t rc = QelDrvLoad(0, name, &driver, kQelLoadByName);
  if (rc >= 0) return true;
  driver = {};
  FrameworkErrorToText(nullptr, rc);
  return false;
}

bool LoadImageDrivers() {
  TraceLog("   Loading FROMQELM");
  if (!LoadImageDriver("FROMQELM", SCB.ReplayDriver)) {
    TraceLog("  Load of FROMQELM returned ");
    return false;
  }
  TraceLog("  Successful");
  TraceLog("   Loading QELMZAFT");
  if (!LoadImageDriver("QELMZAFT", SCB.CaptureDriver)) {
    TraceLog("   Load of QELMZAFT returned ");
    UnloadImageDriver("FROMQELM", SCB.ReplayDriver);
    return false;
  }
  TraceLog("   QelDrvLoad of QELMZAFT succeeded");
  return true;
}

void ReadScannerAbilities() {
  std::int32_t value = 0;
  SCB.bSendParams = DrvGetTag(SCB.ScannerDriver, kTagSendParams, value) == 0 ? 1 : 0;
  if (SCB.bSendParams != 0) DrvSetTag(SCB.ScannerDriver, kTagSendParamsMode, 1);
  std::int32_t feeder = 0;
  constexpr std::int32_t kCanPauseBit = 0x200000;
  SCB.bCanPause =
      DrvGetTag(SCB.ScannerDriver, kTagFeederStatus, feeder) == 0 && (feeder & kCanPauseBit) != 0
          ? 1
          : SCB.bSendParams;
}

}  // namespace

std::int32_t LoadDriver(const char* name) {
  TraceLog("  In loaddriver... ");
  const std::int32_t oldCount = SCB.iRefCount++;
  if (oldCount != 0) {
    TraceLog("  In loaddriver - driver already loaded");
    if (std::strcmp(name, SCB.szLoadedDriver) == 0) return 0;
    TraceLog("   LoadDriver: Driver already open with different scanner");
    --SCB.iRefCount;
    StoreLastRc(RC_SCAN_INVALID_DEVICE_NAME);
    return -1;
  }
  SCB.bClearBuffers = ProfileSwitchEquals("ClearBuffers", "1") ? 1 : 0;
  TraceLog("  In loaddriver - driver not already loaded");
  TraceLogStr("  In loaddriver - trying to load %s", name);
  // Driver names have eight characters at most; a longer one names no driver.
  if (std::strlen(name) >= sizeof SCB.szDriverName) {
    TraceLog("   LoadDriver: driver name too long");
    --SCB.iRefCount;
    StoreLastRc(RC_SCAN_INVALID_DEVICE_NAME);
    return -1;
  }
  std::strcpy(SCB.szDriverName, name);
  TraceLogStr("   LoadDriver: ZAFT Driver Name == %s", SCB.szDriverName);

  std::int32_t rc = QelDrvLoad(0, SCB.szDriverName, &SCB.ScannerDriver, kQelLoadByName);
  TraceLog("   LoadDriver: finished call to QelDrvLoad");
  if (rc < 0) {
    TraceLog("   LoadDriver: load failed");
    SCB.ScannerDriver = {};
    --SCB.iRefCount;
    FrameworkErrorToText(nullptr, rc);
    return -1;
  }
  rc = QelDrvInit(&SCB.ScannerDriver, 0,
                  SCB.bClearBuffers != 0 ? kQelInitClearBuffers : kQelInitKeepBuffers);
  TraceLog("   LoadDriver: finished call to QelDrvInitialize");
  if (rc < 0) {
    TraceLog("   LoadDriver: load failed");
    FrameworkErrorToText(&SCB.ScannerDriver, rc);
    return UndoScannerLoad();
  }
  QelDrvMessage(SCB.ScannerDriver, QelDrvSetTag, TagArg(kTagAbortPoll),
                reinterpret_cast<void*>(&AbortPoll));

  if (!CreateBarcodeComponent()) {
    StoreLastRc(RC_SCAN_DEVICE_ERROR);
    return UndoScannerLoad();
  }
  if (!LoadImageDrivers()) {
    ReleaseBarcodeComponent();
    return UndoScannerLoad();
  }
  TraceLog("   LoadDriver: load succeeded");
  std::strcpy(SCB.szLoadedDriver, SCB.szDriverName);
  ReadScannerAbilities();
  SCB.bUseOldAddressOffset = ProfileSwitchEquals("Use_Old_Address_Offset", "1") ? 1 : 0;
  SCB.bScannedSinceLoad = 0;
  return 0;
}

void UnloadDriver() {
  if (!TraceInvariant(SCB.iRefCount > 0, "SCB.iRefCount")) return;
  if (--SCB.iRefCount > 0) {
    TraceLog("  unload driver - refcount decremented ");
    return;
  }
  if (SCB.bScannedSinceLoad != 0) {
    if (SCB.bClearBuffers != 0) {
      TraceLog("   before scanaheadclear");
      QelDrvMessage(SCB.ScannerDriver, scanaheadclear, 0, nullptr);
      TraceLog("   after scanaheadclear");
    }
    SCB.bScannedSinceLoad = 0;
  } else {
    TraceLog("   at UnloadDriver");
  }
  // A page not fetched does not outlive the scanner that ran it.
  ReleasePage();
  QelDrvUnload(&SCB.ScannerDriver);
  SCB.ScannerDriver = {};
  TraceLog("   UnloadDriver: finished call to QelDrvUnload");
  ReleaseBarcodeComponent();
  TraceLog("   UnloadDriver: finished call to Release");
  UnloadImageDriver("FROMQELM", SCB.ReplayDriver);
  UnloadImageDriver("QELMZAFT", SCB.CaptureDriver);
  SCB.szLoadedDriver[0] = '\0';
  TraceLog("  unload driver - driver unloaded");
}

void UnloadScannerDriver() {
  if (SCB.iRefCount > 0) UnloadDriver();
}
