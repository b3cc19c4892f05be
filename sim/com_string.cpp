#include "sim/com_string.h"

#include <cstdint>
#include <limits>

#include "framework/barcode.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <cstring>
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

namespace {

// The character count sits in front of the characters.
using Prefix = std::uint32_t;

Prefix* PrefixOf(platform::ComString text) {
  return reinterpret_cast<Prefix*>(text) - 1;
}

}  // namespace

extern "C" platform::ComString QelIpAllocString(const platform::ComChar* text,
                                                std::uint32_t length) {
  const std::uint64_t bytes =
      sizeof(Prefix) + (std::uint64_t{length} + 1) * sizeof(platform::ComChar);
  if (bytes > std::numeric_limits<std::size_t>::max()) return nullptr;
  // Zero-filled: the terminator, and defined characters when the caller writes them later.
  auto* prefix = static_cast<Prefix*>(std::calloc(1, static_cast<std::size_t>(bytes)));
  if (prefix == nullptr) return nullptr;
  *prefix = length;
  auto* characters = reinterpret_cast<platform::ComString>(prefix + 1);
  if (text != nullptr) std::memcpy(characters, text, std::size_t{length} * sizeof(*text));
  return characters;
}

extern "C" void QelIpFreeString(platform::ComString text) {
  if (text != nullptr) std::free(PrefixOf(text));
}

extern "C" std::uint32_t QelIpStringLength(platform::ComString text) {
  return text == nullptr ? 0 : *PrefixOf(text);
}

#endif
