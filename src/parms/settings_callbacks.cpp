#include "parms/settings_callbacks.h"

#include <cstdio>
#include <cstring>

#include "core/trace_log.h"
#include "framework/errors.h"
#include "kovzaft2.h"
#include "parms/settings_text.h"

namespace {

constexpr std::size_t kOldNameMax = kOldNameSize - 1;
constexpr std::size_t kShortenedPrefix = 15;

std::string_view TextOrEmpty(const char* text) {
  return text != nullptr ? text : "";
}

}  // namespace

std::string_view ShortenOldName(std::string_view name, char (&room)[kOldNameSize]) {
  if (name.size() <= kOldNameMax) return name;
  std::int32_t sum = 0;
  for (char c : name.substr(kShortenedPrefix)) sum += static_cast<signed char>(c);
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::memcpy(room, name.data(), kShortenedPrefix);
  std::size_t at = kShortenedPrefix;
  for (int shift : {8, 4, 0}) room[at++] = kDigits[(sum >> shift) & 0xF];
  room[at] = '\0';
  return std::string_view(room, at);
}

extern "C" std::int32_t KOVAPI SaveCallback(std::int32_t, const char* pszName, const char* pszValue,
                                            ParmRecord* pParms) noexcept {
  if (pParms == nullptr || pszName == nullptr) return kErrNoMemory;
  const std::string_view name = pszName;
  const std::string_view value = TextOrEmpty(pszValue);
  const std::size_t used = pParms->sSettingsLen;  // a count up to 65535, never negative
  if (value.size() + used + name.size() + 3 > kSettingsLimit) {
    TraceLog("savecallback nomem1");
    return kErrNoMemory;
  }
  char* at = pParms->achSettings + used;
  std::memcpy(at, name.data(), name.size());
  at[name.size()] = '\0';
  at += name.size() + 1;
  std::memcpy(at, value.data(), value.size());
  at[value.size()] = '\0';
  pParms->sSettingsLen = static_cast<std::uint16_t>(used + name.size() + value.size() + 2);
  return 0;
}

extern "C" std::int32_t KOVAPI RestoreCallback(std::int32_t, const char* pszName,
                                               const char* pszDefault, char* pszBuffer,
                                               std::int32_t lBufferSize,
                                               ParmRecord* pParms) noexcept {
  if (pszBuffer == nullptr || lBufferSize <= 0) return 0;
  const std::string_view name = TextOrEmpty(pszName);
  bool found = false;
  std::int32_t length = 0;
  if (pParms != nullptr) {
    ForEachSetting(*pParms, [&](const SettingEntry& entry) {
      if (entry.name != name) return true;
      // The rest of the buffer is cleared, as drivers may read it whole.
      std::memset(pszBuffer, 0, static_cast<std::size_t>(lBufferSize));
      length = CopyToBuffer(entry.value, pszBuffer, lBufferSize);
      found = true;
      return false;
    });
  }
  if (!found) CopyToBuffer(TextOrEmpty(pszDefault), pszBuffer, lBufferSize);
  return length;
}

extern "C" std::int32_t KOVAPI OldRestoreCallback(std::int32_t, const char* pszName,
                                                  const char* pszDefault, char* pszBuffer,
                                                  std::int32_t lBufferSize,
                                                  ParmRecord* pParms) noexcept {
  const char* askedText = pszName != nullptr ? pszName : "";
  const std::string_view asked = askedText;
  char room[kOldNameSize];
  const std::string_view lookup = ShortenOldName(asked, room);
  if (lookup.size() != asked.size()) {
    TraceLog("Restore: name too long for buffer");
    TraceLog(askedText);
    TraceLog("changing it to");
    TraceLog(room);
  }
  const std::size_t count = pParms != nullptr ? OldEntryCount(*pParms) : 0;
  for (std::size_t i = 0; i < count; ++i) {
    const SettingEntry entry = OldEntry(*pParms, i);
    if (entry.name == lookup) return CopyToBuffer(entry.value, pszBuffer, lBufferSize);
  }
  const char* fallback = pszDefault != nullptr ? pszDefault : "";
  CopyToBuffer(fallback, pszBuffer, lBufferSize);
  char line[kTraceFormatSize];
  std::snprintf(line, sizeof line, "Just read tag [%s] as [%s]", askedText, fallback);
  TraceLog(line);
  return 0;
}
