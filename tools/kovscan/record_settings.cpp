#include "tools/kovscan/record_settings.h"

#include <cstring>
#include <string_view>
#include <algorithm>

namespace kovscan {

Settings SettingsOf(const ParmRecord& record) {
  Settings entries;
  if (record.sOldCount != 0) return entries;
  const std::string_view area(record.achSettings,
                              std::min<std::size_t>(record.sSettingsLen, sizeof record.achSettings));
  std::size_t at = 0;
  while (at < area.size() && area[at] != '\0') {
    const std::size_t nameEnd = std::min(area.find('\0', at), area.size());
    const std::size_t valueAt = std::min(nameEnd + 1, area.size());
    const std::size_t valueEnd = std::min(area.find('\0', valueAt), area.size());
    entries.emplace_back(area.substr(at, nameEnd - at), area.substr(valueAt, valueEnd - valueAt));
    at = valueEnd + 1;
  }
  return entries;
}

std::optional<std::string> SettingOf(const ParmRecord& record, const std::string& name) {
  for (const auto& [entry, value] : SettingsOf(record)) {
    if (entry == name) return value;
  }
  return std::nullopt;
}

bool ReplaceSetting(ParmRecord& record, const std::string& name, const std::string& value) {
  Settings entries = SettingsOf(record);
  bool found = false;
  std::string text;
  for (auto& [entry, old] : entries) {
    if (entry == name) {
      old = value;
      found = true;
    }
    text += entry + '\0' + old + '\0';
  }
  // The text and its end mark (an empty name) within the area.
  if (!found || text.size() + 1 > sizeof record.achSettings) return false;
  std::memset(record.achSettings, 0, sizeof record.achSettings);
  std::memcpy(record.achSettings, text.data(), text.size());
  record.sSettingsLen = static_cast<std::uint16_t>(text.size());
  return true;
}

}  // namespace kovscan
