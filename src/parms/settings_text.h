// Reading the settings text of a ParmRecord within its area, whatever the record holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kovzaft2.h"

inline constexpr std::size_t kSettingsLimit = 53148;  // the text and its end mark stay below
inline constexpr std::size_t kOldNameSize = PARM_OLD_NAME_SIZE;
inline constexpr std::size_t kOldValueSize = PARM_OLD_ENTRY_SIZE - PARM_OLD_NAME_SIZE;
inline constexpr std::size_t kOldEntriesMax = PARM_SETTINGS_SIZE / PARM_OLD_ENTRY_SIZE;

struct SettingEntry {
  std::string_view name;
  std::string_view value;
};

// Calls visit(entry) for each entry of the current format from the start of the area until
// the empty name, an unterminated text at the end of the area, or visit answering false.
template <typename Visit>
void ForEachSetting(const ParmRecord& record, Visit&& visit) {
  const std::string_view area(record.achSettings, sizeof record.achSettings);
  std::size_t offset = 0;
  auto nextText = [&](std::string_view& text) {
    const std::size_t end = area.find('\0', offset);
    if (end == std::string_view::npos) return false;
    text = area.substr(offset, end - offset);
    offset = end + 1;
    return true;
  };
  SettingEntry entry;
  while (nextText(entry.name) && !entry.name.empty() && nextText(entry.value)) {
    if (!visit(entry)) return;
  }
}

// The entries of the older format that the area can hold: sOldCount, bounded.
std::size_t OldEntryCount(const ParmRecord& record);
// The name and value of older entry i, each read up to its zero within its field.
SettingEntry OldEntry(const ParmRecord& record, std::size_t index);

// Copies text into a caller's buffer of bufferSize bytes, cut to bufferSize - 1 characters
// and terminated. Returns the characters copied; writes nothing when there is no room.
std::int32_t CopyToBuffer(std::string_view text, char* buffer, std::int32_t bufferSize);
