// Bounded copies into a caller's text buffer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace sim {

// Copies as much of the text as fits in size - 1 bytes and terminates it; size must be > 0.
// Returns the number of characters copied.
inline std::int32_t CopyCut(std::string_view text, char* buffer, std::int32_t size) noexcept {
  const auto room = static_cast<std::size_t>(size) - 1;
  const auto count = std::min(text.size(), room);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return static_cast<std::int32_t>(count);
}

// Leaves an empty text in the buffer when there is room for one.
inline void EmptyText(char* buffer, std::int32_t size) noexcept {
  if (buffer != nullptr && size > 0) buffer[0] = '\0';
}

}  // namespace sim
