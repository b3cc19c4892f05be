// The ANSI code page is Latin-1, the first 256 code points, so every ANSI character has a
// precomposed 16-bit form. Starting COM is only counted per thread: there is no system COM.
#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/platform.h"

namespace platform {
namespace {

thread_local std::uint32_t comStarts = 0;

constexpr char kNoAnsiForm = '?';

bool IsHighSurrogate(ComChar c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

ComString AnsiToComString(const char* text) {
  const std::size_t length = text == nullptr ? 0 : std::strlen(text);
  if (length > std::numeric_limits<std::uint32_t>::max()) return nullptr;
  ComString wide = AllocComString(nullptr, static_cast<std::uint32_t>(length));
  if (wide == nullptr) return nullptr;
  for (std::size_t i = 0; i < length; ++i) {
    wide[i] = static_cast<ComChar>(static_cast<unsigned char>(text[i]));
  }
  return wide;
}

std::size_t ComStringToAnsi(ComString text, char* buffer, std::size_t bufferSize) {
  const std::uint32_t length = ComStringLength(text);
  if (buffer != nullptr && bufferSize > 0) {
    std::size_t count = std::min<std::size_t>(length, bufferSize - 1);
    if (count > 0 && count < length && IsHighSurrogate(text[count - 1])) --count;
    for (std::size_t i = 0; i < count; ++i) {
      buffer[i] = text[i] <= 0xFF ? static_cast<char>(text[i]) : kNoAnsiForm;
    }
    buffer[count] = '\0';
  }
  // One byte for each 16-bit character, so for each half of a surrogate pair as on Windows.
  return length;
}

std::int32_t ComInitialize() {
  return comStarts++ == 0 ? 0 : 1;
}

void ComUninitialize() {
  if (comStarts > 0) --comStarts;
}

}  // namespace platform
