// Thin forwards to the system's COM start and automation string calls.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/platform.h"

namespace platform {
namespace {

// Bytes the first `count` characters take in the ANSI code page.
int AnsiBytes(ComString text, int count) {
  if (count == 0) return 0;
  return ::WideCharToMultiByte(CP_ACP, 0, text, count, nullptr, 0, nullptr, nullptr);
}

// The most leading characters whose ANSI form fits in room bytes, never half a surrogate
// pair. Longer prefixes never take fewer bytes, so a bisection finds it.
int CharactersThatFit(ComString text, int count, int room) {
  int fits = 0;
  int fitsNot = count + 1;
  while (fitsNot - fits > 1) {
    const int middle = fits + (fitsNot - fits) / 2;
    if (AnsiBytes(text, middle) <= room) {
      fits = middle;
    } else {
      fitsNot = middle;
    }
  }
  if (fits > 0 && fits < count && IS_HIGH_SURROGATE(text[fits - 1])) --fits;
  return fits;
}

}  // namespace

ComString AllocComString(const ComChar* text, std::uint32_t length) {
  return ::SysAllocStringLen(text, length);
}

void FreeComString(ComString text) {
  ::SysFreeString(text);
}

std::uint32_t ComStringLength(ComString text) {
  return ::SysStringLen(text);
}

ComString AnsiToComString(const char* text) {
  const std::size_t bytes = text == nullptr ? 0 : std::strlen(text);
  if (bytes == 0) return ::SysAllocStringLen(nullptr, 0);
  if (bytes > INT_MAX) return nullptr;
  const int count = static_cast<int>(bytes);
  const int length = ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, count, nullptr, 0);
  if (length <= 0) return nullptr;
  ComString wide = ::SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (wide == nullptr) return nullptr;
  ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, count, wide, length);
  return wide;
}

std::size_t ComStringToAnsi(ComString text, char* buffer, std::size_t bufferSize) {
  const int count = static_cast<int>(std::min<UINT>(::SysStringLen(text), INT_MAX));
  const int needed = AnsiBytes(text, count);
  if (buffer == nullptr || bufferSize == 0) return static_cast<std::size_t>(needed);
  const int room = static_cast<int>(std::min<std::size_t>(bufferSize - 1, INT_MAX));
  const int take = needed <= room ? count : CharactersThatFit(text, count, room);
  const int written =
      take == 0 ? 0 : ::WideCharToMultiByte(CP_ACP, 0, text, take, buffer, room, nullptr, nullptr);
  buffer[written] = '\0';
  return static_cast<std::size_t>(needed);
}

std::int32_t ComInitialize() {
  return static_cast<std::int32_t>(::CoInitialize(nullptr));
}

void ComUninitialize() {
  ::CoUninitialize();
}

}  // namespace platform
