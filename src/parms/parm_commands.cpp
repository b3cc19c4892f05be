#include "parms/parm_commands.h"

#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "core/command.h"
#include "core/compression_code.h"
#include "core/control_block.h"
#include "core/error_text.h"
#include "core/host_value.h"
#include "core/trace_log.h"
#include "framework/driver_calls.h"
#include "parms/command_steps.h"
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

std::size_t QuickCtrlIndex(std::uint32_t index) {
  return index == 1 ? 1 : 0;
}

// Whether the working compression can be made of the scanner's pages; traced when not, since
// every page would then fail.
bool CompressionCanBeMade() {
  char pipeText[kPipeTextSize] = {};
  if (BuildCompressionPipe(pipeText, sizeof pipeText)) return true;
  TraceLog("  the compression asked for cannot be made from the scanner's pages");
  return false;
}

// The "TSSP n" lines are the command's breadcrumbs in the log, kept on purpose: a log is read
// by them, and the tests check that the steps were reached in order.
void BuildRecordFromScratch(Command& command) {
  TraceLog("  Selecting scanner");
  // No owner window: the exported calls give none.
  std::int32_t rc = QelSelectScanner(nullptr);
  if (rc < 0) {
    TraceLog("  Select scanner failed");
    FrameworkErrorToText(nullptr, rc);
    return FinishWithLastCode(command);
  }
  char name[kScannerNameSize] = {};
  rc = GetScanName(nullptr, name, sizeof name);
  if (rc < 0) {
    TraceLog("  GetScanName failed");
    FrameworkErrorToText(nullptr, rc);
    return FinishWithLastCode(command);
  }
  name[sizeof name - 1] = '\0';
  TraceLogStr("  GetScanName returned driver: '%s'", name);
  LiveScannerKeeper keeper;
  if (!KeepLiveScanner(command, keeper)) return;
  if (LoadDriver(name) != 0) return FinishWithLastCode(command);
  TraceLog("TSSP 3");
  QelDrvMessage(Scanner(), QelDrvFreshStart, 0, nullptr);
  ResetDetection();
  TakeDriverCompression();
  tagstoparm(command.Parms);
  command.Parms.lFeeder = 1;
  UnloadDriver();
  Finish(command, 0);
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

// Loads the record's driver and applies the record: false (result set, nothing loaded)
// when either fails.
bool LoadAndVerify(Command& command) {
  if (!LoadRecordDriver(command)) return false;
  if (VerifyParms(command.Parms) != 0) {
    UnloadAndFinish(command, RC_SCAN_INVALID_PARM);
    return false;
  }
  return true;
}

// The value when it fits the host's field, else none.
template <typename Field>
std::optional<Field> Fitting(std::int64_t value) {
  if (value < std::numeric_limits<Field>::min() || value > std::numeric_limits<Field>::max()) {
    return std::nullopt;
  }
  return static_cast<Field>(value);
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
      // Negative terms have no unsigned form: no resolution a host could read.
      const auto xNum = Fitting<std::uint32_t>(x.lNumerator);
      const auto xDenom = Fitting<std::uint32_t>(x.lDenominator);
      const auto yNum = Fitting<std::uint32_t>(y.lNumerator);
      const auto yDenom = Fitting<std::uint32_t>(y.lDenominator);
      if (!xNum || !xDenom || !yNum || !yDenom) return RC_SCAN_INVALID_PARM;
      StoreHostValue(value, SCAN_RES{*xNum, *xDenom, *yNum, *yDenom, 0});
      return 0;
    }
    case SCAN_PARM_BPP: {
      std::int32_t bits = 0;
      std::int32_t samples = 0;
      DrvGetTag(Scanner(), kTagBitsPerSample, bits);
      DrvGetTag(Scanner(), kTagSamplesPerPixel, samples);
      const auto bpp = Fitting<std::uint16_t>(std::int64_t{bits} * samples);
      if (!bpp) return RC_SCAN_INVALID_PARM;
      StoreHostValue(value, *bpp);
      return 0;
    }
    case SCAN_PARM_AREA: {
      std::int32_t x = 0, y = 0, width = 0, length = 0;
      DrvGetTag(Scanner(), kTagXPosition, x);
      DrvGetTag(Scanner(), kTagYPosition, y);
      DrvGetTag(Scanner(), kTagImageWidth, width);
      DrvGetTag(Scanner(), kTagImageLength, length);
      const auto fx = Fitting<std::uint16_t>(x), fy = Fitting<std::uint16_t>(y);
      const auto fwidth = Fitting<std::uint16_t>(width), flength = Fitting<std::uint16_t>(length);
      if (!fx || !fy || !fwidth || !flength) return RC_SCAN_INVALID_PARM;
      StoreHostValue(value, SCAN_AREA{*fx, *fy, *fwidth, *flength});
      return 0;
    }
    case SCAN_PARM_COMP: {
      // What the pages will carry: the working compression, when the driver or a pipe makes it.
      char pipeText[kPipeTextSize] = {};
      if (const auto working = WorkingCompression();
          working && BuildCompressionPipe(pipeText, sizeof pipeText)) {
        StoreHostValue(value, working->host);
        return 0;
      }
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

void SetParameter(Command& command) {
  TraceLog("TSSP 1");
  if (command.usParm == SCAN_PARM_INIT) return BuildRecordFromScratch(command);
  if (command.pValue() == nullptr) return Finish(command, RC_SCAN_INVALID_PARM);
  LiveScannerKeeper keeper;
  if (!KeepLiveScanner(command, keeper)) return;
  TraceLog("TSSP 5");
  if (!LoadRecordDriver(command)) return;
  TraceLog("TSSP 6");
  if (VerifyParms(command.Parms) != 0) return UnloadAndFinish(command, RC_SCAN_INVALID_PARM);
  TraceLog("TSSP 7");
  if (const std::int32_t rc = ApplyParameter(command.usParm, command.pValue()); rc != 0) {
    return UnloadAndFinish(command, rc);
  }
  // Refused where the host chooses it, as the send would refuse the record.
  if (command.usParm == SCAN_PARM_COMP && !CompressionCanBeMade()) {
    return UnloadAndFinish(command, RC_SCAN_INVALID_PARM);
  }
  TraceLog("TSSP 8");
  tagstoparm(command.Parms);
  TraceLog("    ScanSetParm now leaves parameters like this:");
  TraceRecord(command.Parms);
  UnloadDriver();
  Finish(command, 0);
  TraceLog("TSSP 9");
}

void SendParameters(Command& command) {
  ParmRecord& record = command.Parms;
  while (SCB.iRefCount > 0) UnloadDriver();
  if (!LoadAndVerify(command)) return;
  // Refused here, as the settings dialog refuses it.
  if (!CompressionCanBeMade()) return UnloadAndFinish(command, RC_SCAN_INVALID_PARM);
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
      return FinishWithLastCode(command);
    }
    TraceLog("Parameters successfully sent to the scanner");
  }
  std::memcpy(&SCB.CurParms, &record, sizeof record);
  Finish(command, 0);
}

void QueryParameter(Command& command) {
  LiveScannerKeeper keeper;
  if (!KeepLiveScanner(command, keeper)) return;
  if (!LoadAndVerify(command)) return;
  UnloadAndFinish(command, ReportParameter(command.usParm, command.pValue()));
}

void SendPrintText(Command& command) {
  std::int32_t value = 0;
  if (DrvGetTag(Scanner(), kTagSendParams, value) != 0) return Finish(command, 0);
  char* text = command.PrtText ? command.PrtText->data() : nullptr;
  const std::int32_t rc = QelDrvMessage(Scanner(), sendparams, 0, text);
  if (rc != 0) {
    FrameworkErrorToText(&Scanner(), rc);
    return FinishWithLastCode(command);
  }
  Finish(command, 0);
}
