// COM strings as the system's automation strings lay them out: the character count in front
// of the characters, a zero character after them. With no system allocator here, this file
// is built into every module that hands such strings across (the library and the barcode
// component's module), and each frees what the other allocated: one layout, one heap.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/platform.h"

namespace platform {
namespace {

using Prefix = std::uint32_t;

Prefix* PrefixOf(ComString text) {
  return reinterpret_cast<Prefix*>(text) - 1;
}

}  // namespace

ComString AllocComString(const ComChar* text, std::uint32_t length) {
  const std::uint64_t bytes = sizeof(Prefix) + (std::uint64_t{length} + 1) * sizeof(ComChar);
  if (bytes > std::numeric_limits<std::size_t>::max()) return nullptr;
  // Zero-filled: the terminator, and defined characters when the caller writes them later.
  auto* prefix = static_cast<Prefix*>(std::calloc(1, static_cast<std::size_t>(bytes)));
  if (prefix == nullptr) return nullptr;
  *prefix = length;
  auto* characters = reinterpret_cast<ComString>(prefix + 1);
  if (text != nullptr) std::memcpy(characters, text, std::size_t{length} * sizeof(*text));
  return characters;
}

void FreeComString(ComString text) {
  if (text != nullptr) std::free(PrefixOf(text));
}

std::uint32_t ComStringLength(ComString text) {
  return text == nullptr ? 0 : *PrefixOf(text);
}

}  // namespace platform
