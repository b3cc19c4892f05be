#include "parms/parm_commands.h"

#include <array>
#include <cstring>

#include "core/control_block.h"
#include "core/error_text.h"
#include "core/host_value.h"
#include "core/trace_log.h"
#include "framework/driver_calls.h"
#include "parms/parm_record.h"
#include "parms/setters.h"
#include "parms/tag_conversion.h"
#include "parms/verify_parms.h"
#include "pipeline/driver_loading.h"
#include "pipeline/feeder_options.h"

namespace {

constexpr std::size_t kScannerNameSize = 260;
constexpr std::int32_t kQuickCtrlLimit = 100;
constexpr std::int32_t kDefaultScanType = 3;

// Kept by the library for the host's QCTRL parameter; never sent to a driver.
std::array<std::uint32_t, 2> QuickCtrl = {50, 25};

const DriverRecord& Scanner() {
  return SCB.ScannerDriver;
}

void Finish(std::int32_t rc) {
  SCB.lWorkerRc = rc;
  if (rc != 0) usLastRc = static_cast<std::uint16_t>(rc);
}

// Ends with the code the failing step left in usLastRc.
void FinishWithLastCode() {
  SCB.lWorkerRc = usLastRc.load();
}

void UnloadAndFinish(std::int32_t rc) {
  UnloadDriver();
  Finish(rc);
}

std::size_t QuickCtrlIndex(std::uint32_t index) {
  return index == 1 ? 1 : 0;
}

void BuildRecordFromScratch(ParmRecord& record) {
  TraceLog("  Selecting scanner");
  std::int32_t rc = QelSelectScanner(SCB.hOwnerWnd);
  if (rc < 0) {
    TraceLog("  Select scanner failed");
    FrameworkErrorToText(nullptr, rc);
    return FinishWithLastCode();
  }
  char name[kScannerNameSize] = {};
  rc = GetScanName(SCB.hOwnerWnd, name, sizeof name);
  if (rc < 0) {
    TraceLog("  GetScanName failed");
    FrameworkErrorToText(nullptr, rc);
    return FinishWithLastCode();
  }
  name[sizeof name - 1] = '\0';
  TraceLogStr("  GetScanName returned driver: '%s'", name);
  if (LoadDriver(name) != 0) return FinishWithLastCode();
  TraceLog("TSSP 3");
  QelDrvMessage(Scanner(), QelDrvFreshStart, 0, nullptr);
  ResetDetection();
  tagstoparm(record);
  record.lFeeder = 1;
  UnloadDriver();
  Finish(0);
  TraceLog("TSSP 4");
}

// Applies one parameter to the loaded driver: 0, or the code to end with.
std::int32_t ApplyParameter(std::uint16_t usParm, const void* value) {
  switch (usParm) {
    case SCAN_PARM_RES: {
      const auto res = LoadHostValue<SCAN_RES>(value);
      // Dots per inch rounded up; a zero denominator names no resolution.
      if (res.ulXDenom == 0 || res.ulYDenom == 0) return RC_SCAN_INVALID_PARM;
      const std::uint32_t xDpi = (res.ulXNum + res.ulXDenom - 1) / res.ulXDenom;
      if (SetResolutionIfAllowed(kTagXResolution, xDpi) != 0) return RC_SCAN_INVALID_PARM;
      const std::uint32_t yDpi = (res.ulYNum + res.ulYDenom - 1) / res.ulYDenom;
      if (SetResolutionIfAllowed(kTagYResolution, yDpi) != 0) return RC_SCAN_INVALID_PARM;
      return res.usZero != 0 ? RC_SCAN_INVALID_PARM : 0;
    }
    case SCAN_PARM_BPP:
      return SetBitDepth(LoadHostValue<std::uint16_t>(value)) != 0 ? RC_SCAN_INVALID_PARM : 0;
    case SCAN_PARM_AREA: {
      const auto area = LoadHostValue<SCAN_AREA>(value);
      return SetScanArea(area.usWidth, area.usLength) != 0 ? RC_SCAN_INVALID_PARM : 0;
    }
    case SCAN_PARM_COMP:
      return SetCompression(LoadHostValue<std::uint16_t>(value)) != 0 ? RC_SCAN_INVALID_PARM : 0;
    case SCAN_PARM_ADF: {
      std::int32_t scanType = kDefaultScanType;
      DrvGetTag(Scanner(), tag_scantype, scanType);
      return SetFeeder(LoadHostValue<std::int16_t>(value), scanType == 4) != 0
                 ? RC_SCAN_INVALID_PARM
                 : 0;
    }
    case SCAN_PARM_QCTRL: {
      const auto control = LoadHostValue<SCAN_QCTRL>(value);
      if (control.ulValue < kQuickCtrlLimit) {
        QuickCtrl[QuickCtrlIndex(control.ulIndex)] = control.ulValue;
      }
      return 0;
    }
    default:
      return RC_SCAN_PARM_CANNOT_BE_MODIFIED;
  }
}

// Loads the driver the record names (its field read within its 60 bytes): false, with the
// result set, when it cannot be loaded.
bool LoadRecordDriver(const ParmRecord& record) {
  char driver[sizeof record.szDriver + 1] = {};
  std::memcpy(driver, record.szDriver, sizeof record.szDriver);
  if (LoadDriver(driver) == 0) return true;
  FinishWithLastCode();
  return false;
}

// Loads the record's driver and applies the record: false (result set, nothing loaded)
// when either fails.
bool LoadAndVerify(ParmRecord& record) {
  if (!LoadRecordDriver(record)) return false;
  if (VerifyParms(record) != 0) {
    UnloadAndFinish(RC_SCAN_INVALID_PARM);
    return false;
  }
  return true;
}

// Writes one parameter as the driver has it: 0, or the code to end with.
std::int32_t ReportParameter(std::uint16_t usParm, void* value) {
  switch (usParm) {
    case SCAN_PARM_VERSION:
      StoreHostValue<std::uint32_t>(value, 0);
      return 0;
    case SCAN_PARM_RES: {
      QelRational x{};
      QelRational y{};
      DrvGetRationalTag(Scanner(), kTagXResolution, x);
      DrvGetRationalTag(Scanner(), kTagYResolution, y);
      const SCAN_RES res{
          static_cast<std::uint32_t>(x.lNumerator), static_cast<std::uint32_t>(x.lDenominator),
          static_cast<std::uint32_t>(y.lNumerator), static_cast<std::uint32_t>(y.lDenominator), 0};
      StoreHostValue(value, res);
      return 0;
    }
    case SCAN_PARM_BPP: {
      std::int32_t bits = 0;
      std::int32_t samples = 0;
      DrvGetTag(Scanner(), kTagBitsPerSample, bits);
      DrvGetTag(Scanner(), kTagSamplesPerPixel, samples);
      StoreHostValue(value, static_cast<std::uint16_t>(bits * samples));
      return 0;
    }
    case SCAN_PARM_AREA: {
      std::int32_t x = 0, y = 0, width = 0, length = 0;
      DrvGetTag(Scanner(), kTagXPosition, x);
      DrvGetTag(Scanner(), kTagYPosition, y);
      DrvGetTag(Scanner(), kTagImageWidth, width);
      DrvGetTag(Scanner(), kTagImageLength, length);
      const SCAN_AREA area{static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y),
                           static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(length)};
      StoreHostValue(value, area);
      return 0;
    }
    case SCAN_PARM_COMP: {
      std::int32_t compression = 1;
      std::int32_t t4Options = 0;
      DrvGetTag(Scanner(), kTagCompression, compression);
      DrvGetTag(Scanner(), kTagT4Options, t4Options);
      StoreHostValue(value, HostCompressionCode(compression, t4Options));
      return 0;
    }
    case SCAN_PARM_ADF: {
      std::int16_t feeder = 0;
      std::int16_t duplex = 0;
      FeederParmValues(feeder, duplex);
      StoreHostValue(value, feeder);
      return 0;
    }
    case SCAN_PARM_QCTRL: {
      const auto index = LoadHostValue<std::uint32_t>(value);
      StoreHostValue(value, QuickCtrl[QuickCtrlIndex(index)], offsetof(SCAN_QCTRL, ulValue));
      return 0;
    }
    default:
      return RC_SCAN_INVALID_IDENTIFIER;
  }
}

}  // namespace

void SetParameter() {
  TraceLog("TSSP 1");
  ParmRecord& record = *SCB.pParms;
  if (SCB.usParm == SCAN_PARM_INIT) return BuildRecordFromScratch(record);
  if (SCB.pValue == nullptr) return Finish(RC_SCAN_INVALID_PARM);
  TraceLog("TSSP 5");
  if (!LoadRecordDriver(record)) return;
  TraceLog("TSSP 6");
  if (VerifyParms(record) != 0) return UnloadAndFinish(RC_SCAN_INVALID_PARM);
  TraceLog("TSSP 7");
  if (const std::int32_t rc = ApplyParameter(SCB.usParm, SCB.pValue); rc != 0) {
    return UnloadAndFinish(rc);
  }
  TraceLog("TSSP 8");
  tagstoparm(record);
  TraceLog("    ScanSetParm now leaves parameters like this:");
  TraceRecord(record);
  UnloadDriver();
  Finish(0);
  TraceLog("TSSP 9");
}

void SendParameters() {
  ParmRecord& record = *SCB.pParms;
  while (SCB.iRefCount > 0) UnloadDriver();
  if (!LoadAndVerify(record)) return;
  SCB.sFeederAtSend = static_cast<std::int16_t>(record.lFeeder);
  std::int32_t scanAhead = 0;
  std::int32_t scanType = kDefaultScanType;
  DrvGetTag(Scanner(), kTagScanAhead, scanAhead);
  DrvGetTag(Scanner(), tag_scantype, scanType);
  // No scan-ahead on the flatbed.
  if (scanAhead != 0 && scanType == 2) DrvSetTag(Scanner(), kTagScanAhead, 0);
  if (SCB.bSendParams == 1) {
    TraceLog("Calling sendparams to transfer parameters to the scanner");
    const std::int32_t rc = QelDrvMessage(Scanner(), sendparams, 0, nullptr);
    if (rc != 0) {
      TraceLog("Error sending parameters to the scanner");
      FrameworkErrorToText(&Scanner(), rc);
      return FinishWithLastCode();
    }
    TraceLog("Parameters successfully sent to the scanner");
  }
  std::memcpy(&SCB.CurParms, &record, sizeof record);
  Finish(0);
}

void QueryParameter() {
  ParmRecord& record = *SCB.pParms;
  if (!LoadAndVerify(record)) return;
  UnloadAndFinish(ReportParameter(SCB.usParm, SCB.pValue));
}

void SendPrintText() {
  std::int32_t value = 0;
  if (DrvGetTag(Scanner(), kTagSendParams, value) != 0) return Finish(0);
  const std::int32_t rc = QelDrvMessage(Scanner(), sendparams, 0, const_cast<char*>(SCB.pPrtText));
  if (rc != 0) {
    FrameworkErrorToText(&Scanner(), rc);
    return FinishWithLastCode();
  }
  Finish(0);
}
