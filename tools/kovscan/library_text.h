// Texts the library hands over (barcodes, data fields, the scanner's name) are bytes, not
// UTF-8: a scanner may print its barcodes in Latin-1, and a fixed header field may cut a
// character short. These turn such bytes into text for the manifest, which keeps the bytes
// too, and for a person, on a terminal or in the report, where a control character must not
// act.
#pragma once

#include <string>
#include <string_view>

namespace kovscan {

// Whether the bytes are UTF-8 throughout.
bool IsUtf8(std::string_view bytes);
// UTF-8 text: each byte that is not part of a UTF-8 character becomes U+FFFD.
std::string Utf8Text(std::string_view bytes);
// Two lower-case hex digits a byte.
std::string HexBytes(std::string_view bytes);
// UTF-8 text to show: each byte of a control character (U+0000 to U+001F, U+007F to U+009F)
// and each byte not part of a UTF-8 character written as \xNN, and the backslash as \\, so
// that the bytes can be told apart and nothing acts on the terminal.
std::string Shown(std::string_view bytes);

}  // namespace kovscan
