#include "tools/kovscan/library_text.h"

#include <algorithm>
#include <cstdio>

namespace kovscan {

namespace {

unsigned char ByteAt(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]);
}

// The length of the UTF-8 character the bytes start with; 0 when they start with none: a
// stray or cut-short byte, an overlong form, a surrogate or a code past U+10FFFF.
std::size_t CharacterLength(std::string_view bytes) {
  const unsigned char lead = ByteAt(bytes, 0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() < length || ByteAt(bytes, 1) < low || ByteAt(bytes, 1) > high) return 0;
  for (std::size_t at = 2; at < length; ++at) {
    if ((ByteAt(bytes, at) & 0xC0) != 0x80) return 0;
  }
  return length;
}

bool IsControl(std::string_view character) {
  const unsigned char lead = ByteAt(character, 0);
  if (character.size() == 1) return lead < 0x20 || lead == 0x7F;
  return character.size() == 2 && lead == 0xC2 && ByteAt(character, 1) < 0xA0;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
  for (const char c : bytes) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
    out += escaped;
  }
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
  for (std::size_t length = 0; !bytes.empty(); bytes.remove_prefix(length)) {
    length = CharacterLength(bytes);
    if (length == 0) return false;
  }
  return true;
}

std::string Utf8Text(std::string_view bytes) {
  std::string text;
  while (!bytes.empty()) {
    const std::size_t length = CharacterLength(bytes);
    text += length == 0 ? std::string_view("\xEF\xBF\xBD") : bytes.substr(0, length);
    bytes.remove_prefix(std::max<std::size_t>(length, 1));
  }
  return text;
}

std::string HexBytes(std::string_view bytes) {
  std::string hex;
  for (const char c : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
    hex += digits;
  }
  return hex;
}

std::string Shown(std::string_view bytes) {
  std::string text;
  while (!bytes.empty()) {
    const std::size_t length = CharacterLength(bytes);
    const std::string_view character = bytes.substr(0, std::max<std::size_t>(length, 1));
    if (length == 0 || IsControl(character)) {
      AppendEscaped(text, character);
    } else {
      text += character == "\\" ? std::string_view("\\\\") : character;
    }
    bytes.remove_prefix(character.size());
  }
  return text;
}

}  // namespace kovscan
