// SCANSETPARM, SCANSETSTATE, SCANPARMSDLG2 and SCANPARMSDLG: the host's parameter record.
#include "api/api_call.h"
#include "api/host_arguments.h"
#include "api/thread.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "kovzaft2.h"
#include "parms/parm_record.h"

namespace {
constexpr std::uint32_t kSendParmsLimitMs = 120000;
}

extern "C" std::uint16_t KOVAPI SCANSETPARM(const char* pszDevName, ParmRecord* pParms,
                                            std::uint16_t usParm, void* pValue) noexcept {
  TraceLogStr("ScanSetParm called with DevName==%s:", pszDevName);
  ApiLockGuard lock;
  if (usParm == SCAN_PARM_INIT) {
    TraceLog("   INIT flag passed to ScanSetParm");
  } else if (const char* line = ParmIdentifierLine(usParm, false)) {
    TraceLog("    ScanSetParm started with parameters like this:");
    if (pParms != nullptr) TraceRecord(*pParms);
    TraceLog(line);
  }
  usLastRc = 0;
  if (std::uint16_t rc = RequireInitialised()) return rc;
  if (pParms == nullptr || pszDevName == nullptr) return Refuse(RC_SCAN_INVALID_PARM);
  const auto command = NewCommand(CMD_SET_PARMS);
  if (command == nullptr) return RC_SCAN_NOT_ENOUGH_MEMORY;
  const ParmValueUse use = SetValueUse(usParm);
  TakeRecordAndValue(*command, *pParms, usParm, pValue, use);
  const CommandOutcome outcome = PostCommand(command, CallDeadline(kNoLimit));
  if (outcome.bCompleted) GiveRecordAndValue(*command, *pParms, pValue, use, outcome.rc);
  TraceLog("Done with ScanSetParm");
  return outcome.rc;
}

extern "C" std::uint16_t KOVAPI SCANSETSTATE(std::int32_t hScanHdl, ParmRecord* pParms) noexcept {
  ApiLockGuard lock;
  bKill = 0;  // a new job starts: an earlier kill no longer applies
  TraceLog("ScanSetState called:");
  TraceLogInt("  hScanHdl==%d  ", hScanHdl);
  if (pParms != nullptr) TraceRecord(*pParms);
  usLastRc = 0;
  if (std::uint16_t rc = RequireHandle(hScanHdl)) return rc;
  if (pParms == nullptr) return Refuse(RC_SCAN_INVALID_PARM);
  const auto command = NewCommand(CMD_SEND_PARMS);
  if (command == nullptr) return RC_SCAN_NOT_ENOUGH_MEMORY;
  command->Parms = *pParms;
  const CommandOutcome outcome = PostCommand(command, CallDeadline(kSendParmsLimitMs));
  if (outcome.bCompleted) GiveRecordChanges(command->Parms, *pParms);
  return outcome.rc;
}

extern "C" std::uint16_t KOVAPI SCANPARMSDLG2(const char* pszDevName, ParmRecord* pParms,
                                              std::int32_t lDialogOption) noexcept {
  ApiLockGuard lock;
  TraceLogStr("ScanParmsDlg2 called with DevName: %s", pszDevName);
  TraceLog("    Before ScanParmsDlg2 is displayed, values are:");
  if (pParms != nullptr) TraceRecord(*pParms);
  TraceLog("    done printing");
  usLastRc = 0;
  TraceLog("    1");
  if (std::uint16_t rc = RequireInitialised()) return rc;
  TraceLog("    2");
  if (pszDevName == nullptr || pParms == nullptr) return Refuse(RC_SCAN_INVALID_PARM);
  SCB.lDialogOption = lDialogOption;
  const auto command = NewCommand(CMD_SETTINGS_DIALOG);
  if (command == nullptr) return RC_SCAN_NOT_ENOUGH_MEMORY;
  command->Parms = *pParms;
  // The user may keep the dialog open as long as they like.
  const CommandOutcome outcome = PostCommand(command, CallDeadline(kNoLimit));
  if (outcome.bCompleted) GiveRecordChanges(command->Parms, *pParms);
  return outcome.rc;
}

extern "C" std::uint16_t KOVAPI SCANPARMSDLG(const char* pszDevName, ParmRecord* pParms) noexcept {
  return SCANPARMSDLG2(pszDevName, pParms, 0);
}
