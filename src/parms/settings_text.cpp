#include "parms/settings_text.h"

#include <algorithm>
#include <cstring>

namespace {

std::string_view FieldText(const char* field, std::size_t size) {
  const auto* end = static_cast<const char*>(std::memchr(field, '\0', size));
  return std::string_view(field, end != nullptr ? static_cast<std::size_t>(end - field) : size);
}

}  // namespace

std::size_t OldEntryCount(const ParmRecord& record) {
  if (record.sOldCount <= 0) return 0;
  return std::min(static_cast<std::size_t>(record.sOldCount), kOldEntriesMax);
}

SettingEntry OldEntry(const ParmRecord& record, std::size_t index) {
  const char* entry = record.achSettings + index * PARM_OLD_ENTRY_SIZE;
  return {FieldText(entry, kOldNameSize), FieldText(entry + kOldNameSize, kOldValueSize)};
}

std::int32_t CopyToBuffer(std::string_view text, char* buffer, std::int32_t bufferSize) {
  if (buffer == nullptr || bufferSize <= 0) return 0;
  const std::size_t count = std::min(text.size(), static_cast<std::size_t>(bufferSize) - 1);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return static_cast<std::int32_t>(count);
}
