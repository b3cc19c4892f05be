#include "sim/services/text/ini_text.h"

#include <gtest/gtest.h>

namespace {

using sim::IniText;

TEST(IniText, FindsTheFirstKeyOfItsOwnSection) {
  const IniText ini("[A]\nKey=a\nkey=again\n[B]\nKey=b\nOther=x\n[a]\nKey=later\n");
  EXPECT_EQ(ini.Find("A", "Key"), "a");
  EXPECT_EQ(ini.Find("B", "Key"), "b");
  EXPECT_FALSE(ini.Find("A", "Other"));
  EXPECT_FALSE(ini.Find("C", "Key"));
}

TEST(IniText, NamesIgnoreCaseAndSurroundingBlanks) {
  const IniText ini("[ KovZaft ]\r\n  debug\t= 1\r\n");
  EXPECT_EQ(ini.Find(" KOVZAFT", "DEBUG "), " 1");
}

TEST(IniText, ValueIsTheRestOfTheLineWithoutItsEnding) {
  const IniText ini("[S]\nLead= 1\r\nTrail=x \nTwo=a=b\nEmpty=\r\nLast=end");
  EXPECT_EQ(ini.Find("S", "Lead"), " 1");
  EXPECT_EQ(ini.Find("S", "Trail"), "x ");
  EXPECT_EQ(ini.Find("S", "Two"), "a=b");
  EXPECT_EQ(ini.Find("S", "Empty"), "");
  EXPECT_EQ(ini.Find("S", "Last"), "end");
}

TEST(IniText, CommentsAndLinesOutsideSectionsAreIgnored) {
  const IniText ini("Early=1\n[S]\n;Semi=1\n  # Hash=1\n;[T]\nKept=1\n[T]\n");
  EXPECT_FALSE(ini.Find("S", "Early"));
  EXPECT_FALSE(ini.Find("S", "Semi"));
  EXPECT_FALSE(ini.Find("S", "# Hash"));
  EXPECT_EQ(ini.Find("S", "Kept"), "1");
  EXPECT_FALSE(ini.Find("T", "Kept"));
}

}  // namespace
