// COM strings and COM start as the library's platform layer gives them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "platform/platform.h"

namespace {

using platform::ComChar;

struct FreeComString {
  void operator()(ComChar* text) const { platform::FreeComString(text); }
};
using OwnedComString = std::unique_ptr<ComChar, FreeComString>;

std::u16string CharactersOf(platform::ComString text) {
  return {text, platform::ComStringLength(text)};
}

TEST(ComStrings, KeepTheirLengthEmbeddedZerosAndATerminator) {
  const std::u16string text(u"ab\0c", 4);
  const OwnedComString copy(platform::AllocComString(text.data(), 4));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(CharactersOf(copy.get()), text);
  EXPECT_EQ(copy.get()[4], u'\0');

  const OwnedComString empty(platform::AllocComString(nullptr, 0));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(platform::ComStringLength(empty.get()), 0u);
  EXPECT_EQ(empty.get()[0], u'\0');
  // A null string is the empty one, and freeing it does nothing.
  EXPECT_EQ(platform::ComStringLength(nullptr), 0u);
  platform::FreeComString(nullptr);
}

TEST(ComStrings, LatinOneTextRoundTripsThroughAnsi) {
  const char* latin1 =
      "Gr\xF6\xDF"
      "e 5 \xB5m, caf\xE9 \xFF\xA0!";
  const OwnedComString wide(platform::AnsiToComString(latin1));
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(CharactersOf(wide.get()), u"Gr\u00F6\u00DFe 5 \u00B5m, caf\u00E9 \u00FF\u00A0!");

  char back[64];
  EXPECT_EQ(platform::ComStringToAnsi(wide.get(), back, sizeof back), std::strlen(latin1));
  EXPECT_STREQ(back, latin1);
}

TEST(ComStrings, CharactersWithoutAnAnsiFormBecomeQuestionMarks) {
  // The euro sign is outside Latin-1; the emoji is a surrogate pair of two characters.
  const std::u16string text = u"A\u20ACB\U0001F600C";
  const OwnedComString wide(
      platform::AllocComString(text.data(), static_cast<std::uint32_t>(text.size())));
  char ansi[16];
  EXPECT_EQ(platform::ComStringToAnsi(wide.get(), ansi, sizeof ansi), 6u);
  EXPECT_STREQ(ansi, "A?B??C");
  // A cut keeps the pair whole.
  EXPECT_EQ(platform::ComStringToAnsi(wide.get(), ansi, 5), 6u);
  EXPECT_STREQ(ansi, "A?B");
}

TEST(ComStrings, AnsiCopyIsCutToTheBufferAndTellsTheWholeLength) {
  const OwnedComString wide(platform::AnsiToComString("abcdef"));
  char ansi[8];
  std::memset(ansi, 'x', sizeof ansi);
  EXPECT_EQ(platform::ComStringToAnsi(wide.get(), ansi, 4), 6u);
  EXPECT_STREQ(ansi, "abc");
  EXPECT_EQ(ansi[4], 'x');

  EXPECT_EQ(platform::ComStringToAnsi(wide.get(), ansi, 1), 6u);
  EXPECT_STREQ(ansi, "");
  EXPECT_EQ(platform::ComStringToAnsi(wide.get(), ansi, 7), 6u);
  EXPECT_STREQ(ansi, "abcdef");

  // Only the length is asked for.
  std::memset(ansi, 'x', sizeof ansi);
  EXPECT_EQ(platform::ComStringToAnsi(wide.get(), nullptr, 8), 6u);
  EXPECT_EQ(platform::ComStringToAnsi(wide.get(), ansi, 0), 6u);
  EXPECT_EQ(ansi[0], 'x');
}

TEST(ComStrings, NullTextsAreEmpty) {
  const OwnedComString wide(platform::AnsiToComString(nullptr));
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(platform::ComStringLength(wide.get()), 0u);
  char ansi[4] = "xyz";
  EXPECT_EQ(platform::ComStringToAnsi(nullptr, ansi, sizeof ansi), 0u);
  EXPECT_STREQ(ansi, "");
}

TEST(ComStart, IsCountedPerThread) {
  EXPECT_EQ(platform::ComInitialize(), 0);
  EXPECT_EQ(platform::ComInitialize(), 1);
  std::int32_t otherThread = -1;
  std::thread([&] {
    otherThread = platform::ComInitialize();
    platform::ComUninitialize();
  }).join();
  EXPECT_EQ(otherThread, 0);
  platform::ComUninitialize();
  EXPECT_EQ(platform::ComInitialize(), 1);
  platform::ComUninitialize();
  platform::ComUninitialize();
  EXPECT_EQ(platform::ComInitialize(), 0);
  platform::ComUninitialize();
}

}  // namespace
