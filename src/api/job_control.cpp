// SCANPAUSE, SCANKILL, SCANSETPRTTEXT and SCANSETENV.
#include <cinttypes>
#include <cstdio>
#include <new>

#include "api/api_call.h"
#include "api/thread.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "kovzaft2.h"

namespace {
constexpr std::uint32_t kPauseLimitMs = 120000;
constexpr std::uint32_t kPrintTextLimitMs = 20000;
constexpr std::size_t kPrintTextLogSize = 128;
}  // namespace

extern "C" std::uint16_t KOVAPI SCANPAUSE(std::int32_t hScanHdl) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanPause called:");
  TraceLogInt("  hScanHdl=%d  ", hScanHdl);
  usLastRc = 0;
  // Without a driver there is no feeder to pause, as for the sister calls.
  const CallDeadline deadline(kPauseLimitMs);
  if (std::uint16_t rc = RequireLoadedDriver(hScanHdl, deadline)) return rc;
  if (SCB.bCanPause == 0) return Refuse(RC_SCAN_FUNC_NOT_SUPPORTED);
  if (SCB.bPaused != 0) return 0;
  const auto command = NewCommand(CMD_PAUSE_FEEDER);
  if (command == nullptr) return RC_SCAN_NOT_ENOUGH_MEMORY;
  return PostCommand(command, deadline).rc;
}

// Called from another thread while a scan or a dialog holds ApiLock: no lock, no checks.
extern "C" std::uint16_t KOVAPI SCANKILL(std::int32_t hScanHdl) noexcept {
  TraceLog("ScanKill called: ");
  TraceLogInt("   hScanHdl==%d", hScanHdl);
  usLastRc = 0;
  // The dialog's thread ends it on the request; a window gone meanwhile refuses the post.
  if (platform::Window* dialog = hDlgWnd.load()) platform::PostCloseRequest(dialog);
  bKill = 1;
  return 0;
}

extern "C" std::uint16_t KOVAPI SCANSETPRTTEXT(std::int32_t hScanHdl, std::uint32_t ulSeqLen,
                                               const char* pszPrtText, std::int32_t bOn) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanSetPrtText called:");
  TraceLogInt("  hScanHdl=%d ", hScanHdl);
  TraceLogInt("  ulSeqLen=%d ", static_cast<std::int32_t>(ulSeqLen));
  if (pszPrtText == nullptr) {
    TraceLog("  pszPrtText=NULL");
  } else {
    char line[kPrintTextLogSize];
    std::snprintf(line, sizeof line, "pszPrtText (hex) = %08" PRIxPTR,
                  reinterpret_cast<std::uintptr_t>(pszPrtText));
    TraceLog(line);
    // Imprinter texts reach the log only when the profile allows it.
    if (TraceMayLogPrintText()) {
      std::snprintf(line, sizeof line, "pszPrtText ([text]) = [%s]", pszPrtText);
      TraceLog(line);
    }
  }
  TraceLogInt("  bOn=%d", bOn);

  usLastRc = 0;
  const CallDeadline deadline(kPrintTextLimitMs);
  if (std::uint16_t rc = RequireLoadedDriver(hScanHdl, deadline)) return rc;
  const auto command = NewCommand(CMD_SEND_PRINT_TEXT);
  if (command == nullptr) return RC_SCAN_NOT_ENOUGH_MEMORY;
  try {
    if (pszPrtText != nullptr) command->PrtText = pszPrtText;
  } catch (const std::bad_alloc&) {
    return Refuse(RC_SCAN_NOT_ENOUGH_MEMORY);
  }
  return PostCommand(command, deadline).rc;
}

extern "C" std::uint16_t KOVAPI SCANSETENV(const char* pszDevName, std::uint16_t usParm,
                                           const std::uint16_t* pValue) noexcept {
  ApiLockGuard lock;
  TraceLogStr("ScanSetEnv called with DevName==%s:", pszDevName);
  TraceLogInt("  usParm==%d  ", usParm);
  usLastRc = 0;
  if (std::uint16_t rc = RequireInitialised()) return rc;
  if (pszDevName == nullptr || pValue == nullptr) return Refuse(RC_SCAN_INVALID_PARM);
  if (usParm != SCAN_ENV_SAVEAS) return Refuse(RC_SCAN_INVALID_IDENTIFIER);
  // The Save-as switch is only reported: no dialog of the library offers "Save as...".
  TraceLog(*pValue == 1 ? "    SaveAs... dialog enabled" : "    SaveAs... dialog disabled");
  return 0;
}
