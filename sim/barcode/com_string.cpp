#include "sim/barcode/com_string.h"

#include <cstdint>
#include <limits>

#include "framework/barcode.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace sim {

std::optional<std::string> AsciiText(platform::ComString text) {
  const std::uint32_t length = QelIpStringLength(text);
  std::string ascii;
  ascii.reserve(length);
  for (std::uint32_t i = 0; i < length; ++i) {
    if (static_cast<std::uint32_t>(text[i]) > 0x7F) return std::nullopt;
    ascii.push_back(static_cast<char>(text[i]));
  }
  return ascii;
}

platform::ComString NewComString(std::string_view ascii) {
  if (ascii.size() > std::numeric_limits<std::uint32_t>::max()) return nullptr;
  const auto length = static_cast<std::uint32_t>(ascii.size());
  platform::ComString text = QelIpAllocString(nullptr, length);
  if (text == nullptr) return nullptr;
  for (std::uint32_t i = 0; i < length; ++i) {
    text[i] = static_cast<platform::ComChar>(static_cast<unsigned char>(ascii[i]));
  }
  return text;
}

}  // namespace sim

#ifdef _WIN32

// The system's automation strings, as the real component uses.
extern "C" platform::ComString QelIpAllocString(const platform::ComChar* text,
                                                std::uint32_t length) {
  return ::SysAllocStringLen(text, length);
}

extern "C" void QelIpFreeString(platform::ComString text) {
  ::SysFreeString(text);
}

extern "C" std::uint32_t QelIpStringLength(platform::ComString text) {
  return ::SysStringLen(text);
}

#else

// The platform's strings stand in for the system's here.
extern "C" platform::ComString QelIpAllocString(const platform::ComChar* text,
                                                std::uint32_t length) {
  return platform::AllocComString(text, length);
}

extern "C" void QelIpFreeString(platform::ComString text) {
  platform::FreeComString(text);
}

extern "C" std::uint32_t QelIpStringLength(platform::ComString text) {
  return platform::ComStringLength(text);
}

#endif
