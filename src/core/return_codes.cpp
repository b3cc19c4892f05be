#include "core/return_codes.h"

#include <cstdio>

#include "core/error_text.h"
#include "kovzaft2.h"

namespace {

struct ReturnCodeEntry {
  std::uint16_t rc;
  const char* name;
};

#define KOV_NAMED_CODE(code) ReturnCodeEntry{code, #code},
constexpr ReturnCodeEntry kReturnCodes[] = {KOV_RETURN_CODES(KOV_NAMED_CODE)};
#undef KOV_NAMED_CODE

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
