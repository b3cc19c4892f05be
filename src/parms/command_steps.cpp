#include "parms/command_steps.h"

#include <cstring>
#include <new>

#include "core/control_block.h"
#include "core/trace_log.h"
#include "framework/driver_calls.h"
#include "parms/tag_conversion.h"
#include "pipeline/driver_loading.h"

void Finish(Command& command, std::int32_t rc) {
  command.lWorkerRc = rc;
  if (rc != 0) StoreLastRc(static_cast<std::uint16_t>(rc));
}

void FinishUnstored(Command& command, std::int32_t rc) {
  command.lWorkerRc = rc;
}

void FinishWithLastCode(Command& command) {
  command.lWorkerRc = LastRc();
}

void UnloadAndFinish(Command& command, std::int32_t rc) {
  UnloadDriver();
  Finish(command, rc);
}

bool LiveScannerKeeper::Take() {
  if (SCB.iRefCount == 0) return true;
  live_.reset(new (std::nothrow) ParmRecord{});
  if (live_ == nullptr) return false;
  tagstoparm(*live_);
  return true;
}

LiveScannerKeeper::~LiveScannerKeeper() {
  if (live_ == nullptr || SCB.iRefCount == 0) return;
  TraceLog("  putting back the parameters last sent");
  parmtotags(*live_);
  if (!resend_ || SCB.bSendParams != 1) return;
  TraceLog("  Calling sendparams to give the scanner the parameters last sent again");
  if (QelDrvMessage(SCB.ScannerDriver, sendparams, 0, nullptr) != 0) {
    TraceLog("  Error sending the parameters last sent to the scanner again");
  }
}

bool KeepLiveScanner(Command& command, LiveScannerKeeper& keeper) {
  if (keeper.Take()) return true;
  Finish(command, RC_SCAN_NOT_ENOUGH_MEMORY);
  return false;
}

bool LoadRecordDriver(Command& command) {
  const ParmRecord& record = command.Parms;
  char driver[sizeof record.szDriver + 1] = {};
  std::memcpy(driver, record.szDriver, sizeof record.szDriver);
  if (LoadDriver(driver) == 0) return true;
  FinishWithLastCode(command);
  return false;
}
