// SCANLASTERROR: the text of the last code stored.
#include <cstring>

#include "api/api_call.h"
#include "core/control_block.h"
#include "core/error_text.h"
#include "core/return_codes.h"
#include "core/trace_log.h"
#include "kovzaft2.h"

extern "C" std::uint16_t KOVAPI SCANLASTERROR(char* pszText, std::uint16_t usLength) noexcept {
  ApiLockGuard lock;
  TraceLog("ScanLastError called:");
  if (std::uint16_t rc = RequireInitialised()) return rc;
  // SCANKILL may clear the code at any moment: decide and describe by one reading of it.
  const std::uint16_t lastRc = usLastRc.load();
  if (lastRc == 0) {
    usLastRc = RC_SCAN_NO_ERROR_STORED;
    return RC_SCAN_NO_ERROR_STORED;
  }
  // A buffer that cannot take even the terminating zero: refuse without touching it, and
  // keep the stored code so the host can ask again with a proper buffer.
  if (pszText == nullptr || usLength == 0) {
    TraceLog("  refused: RC_SCAN_INVALID_PARM");
    return RC_SCAN_INVALID_PARM;
  }

  char text[kErrorTextSize + 32];
  ReturnCodeText(lastRc, text, sizeof text);
  const std::size_t length = std::strlen(text);
  if (length + 1 <= usLength) {
    std::memcpy(pszText, text, length + 1);
    TraceLogStr("  Error = %s  ", text);
    return 0;
  }
  std::memcpy(pszText, text, usLength - 1u);
  pszText[usLength - 1u] = '\0';
  usLastRc = RC_SCAN_ERROR_TRUNC;
  return RC_SCAN_ERROR_TRUNC;
}
