// Bytes from the library as text: UTF-8 kept, everything else visible and recoverable.
#include "tools/kovscan/library_text.h"

#include <gtest/gtest.h>

namespace {

TEST(LibraryText, OnlyWholeUtf8CharactersPassAsTheyAre) {
  struct Case {
    std::string bytes;
    std::string text;   // for the manifest
    std::string shown;  // for a person
  };
  const Case cases[] = {
      {"Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80",
       "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80",
       "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"M\xFC", "M\uFFFD", "M\\xfc"},                                            // Latin-1
      {"ab\xE2\x82", "ab\uFFFD\uFFFD", "ab\\xe2\\x82"},                          // cut short
      {"\xC0\xAF", "\uFFFD\uFFFD", "\\xc0\\xaf"},                                // overlong "/"
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD", "\\xed\\xa0\\x80"},                 // a surrogate
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD", "\\xf4\\x90\\x80\\x80"},  // past U+10FFFF
      {"\t\x1B\x7F\xC2\x85\xC2\xA0\\", "\t\x1B\x7F\xC2\x85\xC2\xA0\\",
       "\\x09\\x1b\\x7f\\xc2\\x85\xC2\xA0\\\\"},  // controls; a no-break space is none
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kovscan::IsUtf8(c.bytes), c.text == c.bytes) << c.shown;
    EXPECT_EQ(kovscan::Utf8Text(c.bytes), c.text) << c.shown;
    EXPECT_EQ(kovscan::Shown(c.bytes), c.shown);
  }
  EXPECT_EQ(kovscan::HexBytes("M\xFC\n"), "4dfc0a");
}

}  // namespace
