#include "core/return_codes.h"

#include <array>
#include <cstdio>

#include "core/error_text.h"
#include "kovzaft2.h"

namespace {

struct ReturnCodeEntry {
  std::uint16_t rc;
  const char* name;
};

#define KOV_RC(code) \
  ReturnCodeEntry {  \
    code, #code      \
  }
constexpr std::array kReturnCodes = {
    KOV_RC(RC_SCAN_ALREADY_BUSY),     KOV_RC(RC_SCAN_ALREADY_INITIALIZED),
    KOV_RC(RC_SCAN_DEVICE_ERROR),     KOV_RC(RC_SCAN_DLG_CANCEL),
    KOV_RC(RC_SCAN_ERROR_TRUNC),      KOV_RC(RC_SCAN_FUNC_NOT_SUPPORTED),
    KOV_RC(RC_SCAN_HEADER_TOO_SHORT), KOV_RC(RC_SCAN_INVALID_DEVICE_NAME),
    KOV_RC(RC_SCAN_INVALID_HANDLE),   KOV_RC(RC_SCAN_INVALID_IDENTIFIER),
    KOV_RC(RC_SCAN_INVALID_PARM),     KOV_RC(RC_SCAN_LENGTH_TOO_SHORT),
    KOV_RC(RC_SCAN_MORE_DATA),        KOV_RC(RC_SCAN_NOT_ENOUGH_MEMORY),
    KOV_RC(RC_SCAN_NOT_INITIALIZED),  KOV_RC(RC_SCAN_NO_DATA),
    KOV_RC(RC_SCAN_NO_ERROR_MESSAGE), KOV_RC(RC_SCAN_NO_ERROR_STORED),
    KOV_RC(RC_SCAN_OPEN_VIOLATION),   KOV_RC(RC_SCAN_PARM_CANNOT_BE_MODIFIED),
    KOV_RC(RC_SCAN_POWER_OFF),        KOV_RC(RC_SCAN_TIMEOUT),
    KOV_RC(RC_SCAN_ADF_EMPTY),        KOV_RC(RC_SCAN_ATT_REQ),
    KOV_RC(RC_SCAN_DLG_SAVEAS),       KOV_RC(RC_SCAN_ZAFT_ERROR),
    KOV_RC(RC_SCAN_CANT_FIND_DSC),    KOV_RC(RC_SCAN_CANT_OPEN_DSC),
    KOV_RC(RC_SCAN_CANT_READ_DSC),    KOV_RC(RC_SCAN_NO_DRIVER),
};
#undef KOV_RC

constexpr char kNoDriverText[] =
    "No driver is loaded for the requested scan.  Check the log for errors";

}  // namespace

const char* ReturnCodeName(std::uint16_t rc) {
  for (const ReturnCodeEntry& entry : kReturnCodes) {
    if (entry.rc == rc) return entry.name;
  }
  return nullptr;
}

void ReturnCodeText(std::uint16_t rc, char* buffer, std::size_t bufferSize) {
  const char* text = nullptr;
  if (rc == RC_SCAN_ZAFT_ERROR) {
    text = szErrorText;
  } else if (rc == RC_SCAN_NO_DRIVER) {
    text = kNoDriverText;
  } else {
    text = ReturnCodeName(rc);
  }
  if (text != nullptr) {
    std::snprintf(buffer, bufferSize, "%s", text);
  } else {
    std::snprintf(buffer, bufferSize, "Unknown Error == 0x%x", static_cast<unsigned>(rc));
  }
}
