#include "dialogs/settings_dialog.h"

#include "core/compression_code.h"
#include "core/control_block.h"
#include "core/error_text.h"
#include "core/trace_log.h"
#include "dialogs/dialog_templates.h"
#include "dialogs/scanner_controls_dialog.h"
#include "framework/driver_calls.h"
#include "parms/command_steps.h"
#include "parms/parm_record.h"
#include "parms/tag_conversion.h"
#include "parms/verify_parms.h"
#include "pipeline/driver_loading.h"

namespace {

constexpr std::size_t kScannerNameSize = 260;
constexpr std::int32_t kSimplexThroughFeeder = 3;
constexpr std::intptr_t kDialogOk = 1;

const DriverRecord& Scanner() {
  return SCB.ScannerDriver;
}

// A fresh record from the framework's scanner selection, written before the dialog opens so
// that even a cancelled dialog leaves a complete record: false (result set) on failure.
bool PrepareFreshRecord(Command& command) {
  ParmRecord& record = command.Parms;
  TraceLog("    4");
  // No owner window: the exported calls give none.
  std::int32_t rc = QelSelectScanner(nullptr);
  if (rc < 0) {
    FrameworkErrorToText(nullptr, rc);
    FinishWithLastCode(command);
    return false;
  }
  TraceLog("    5");
  char name[kScannerNameSize] = {};
  rc = GetScanName(nullptr, name, sizeof name);
  if (rc < 0) {
    FrameworkErrorToText(nullptr, rc);
    FinishWithLastCode(command);
    return false;
  }
  name[sizeof name - 1] = '\0';
  TraceLog("    6");
  if (LoadDriver(name) != 0) {
    FinishWithLastCode(command);
    return false;
  }
  TraceLog("    7");
  QelDrvMessage(Scanner(), QelDrvFreshStart, 0, nullptr);
  ResetDetection();
  SetTagIfAllowed(tag_scantype, kSimplexThroughFeeder);
  SetTagIfAllowed(kTagScanAhead, 1);
  SetWorkingCompression(kUncompressed);
  tagstoparm(record);
  record.lFeeder = 1;
  TraceLog("    8");
  return true;
}

// The record's own driver with the record applied: false (result set) on failure.
bool PrepareRecordDriver(Command& command) {
  TraceLog("    9");
  if (!LoadRecordDriver(command)) return false;
  TraceLog("    10");
  if (VerifyParms(command.Parms) != 0) {
    UnloadAndFinish(command, RC_SCAN_INVALID_PARM);
    return false;
  }
  TraceLog("    11");
  return true;
}

// True when the scanner was sent the dialog's parameters.
bool SendParametersFirst() {
  if (SCB.bSendParams != 1) return false;
  TraceLog("Calling sendparams to transfer parameters to the scanner");
  if (QelDrvMessage(Scanner(), sendparams, 0, nullptr) != 0) {
    TraceLog("Error sending parameters to the scanner - eat error");
  }
  TraceLog("Parameters sent to the scanner");
  return true;
}

}  // namespace

void SettingsDialog(Command& command) {
  ParmRecord& record = command.Parms;
  TraceLog("    3");
  LiveScannerKeeper keeper;
  if (!KeepLiveScanner(command, keeper)) return;
  const bool prepared =
      record.usSize == 0 ? PrepareFreshRecord(command) : PrepareRecordDriver(command);
  if (!prepared) return;
  TraceLog("ZAFT Dialog Presented");
  TraceLog("    12");
  if (SendParametersFirst()) keeper.ResendAfter();
  TraceLog("    13");
  TraceLog("    14");
  // The dialog's OK writes the scan type's feeder value into the record before the pipe is
  // known to be possible; a later Cancel gives the record back as it came.
  const std::int32_t feederBefore = record.lFeeder;
  for (;;) {
    const std::intptr_t result =
        platform::DialogBoxParam(hModuleInstance, ScannerControlsTemplate, nullptr,
                                 ScannerControlsProc, reinterpret_cast<std::intptr_t>(&record));
    TraceLog("    15");
    hDlgWnd = nullptr;
    if (result != kDialogOk) {
      TraceLog("    20");
      TraceLog("    User hit Cancel.");
      record.lFeeder = feederBefore;
      UnloadDriver();
      return FinishUnstored(command, RC_SCAN_DLG_CANCEL);
    }
    TraceLog("    16");
    TraceLog("    User hit OK.  checking if pipe can be built");
    char pipeText[kPipeTextSize] = {};
    if (!BuildCompressionPipe(pipeText, sizeof pipeText)) {
      TraceLog("      Cant make pipe, force dialog open again");
      platform::MessageBox(nullptr,
                           "The compression method you have requested is only available "
                           "through software components that are not installed on this "
                           "machine.   Please select another compression method",
                           "Error!", platform::kMessageBoxOk);
      continue;
    }
    TraceLogStr("      Yep, pipe can be made.  pipe is [%s]", pipeText);
    TraceLog("    17");
    TraceLog("    User hit OK.  Values are now:");
    tagstoparm(record);
    TraceLog("    18");
    TraceRecord(record);
    UnloadDriver();
    TraceLog("    19");
    return Finish(command, 0);
  }
}
