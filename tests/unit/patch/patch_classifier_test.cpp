// Reading single lines of a patch: run lists built by hand, forwards and backwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "patch/patch_detector.h"

namespace {

// A run list from alternating bar and gap widths, the first bar at `offset` on a line of
// `length` dots.
std::vector<std::uint16_t> RunList(std::int32_t offset, const std::vector<std::int32_t>& widths,
                                   std::int32_t length) {
  std::vector<std::uint16_t> words{0};
  std::int32_t at = offset;
  words.push_back(static_cast<std::uint16_t>(at));
  for (std::int32_t width : widths) {
    at += width;
    words.push_back(static_cast<std::uint16_t>(at));
  }
  if (widths.size() % 2 != 0)
    words.push_back(static_cast<std::uint16_t>(length));
  else
    words.back() = static_cast<std::uint16_t>(length);  // the line ends in its last gap
  words.push_back(0);
  words.push_back(0);
  words[0] = static_cast<std::uint16_t>(words.size() * 2);
  return words;
}

// The same line read from its other end: what a column pass sees of a turned line.
std::vector<std::uint16_t> Mirrored(std::int32_t offset, std::vector<std::int32_t> widths,
                                    std::int32_t length) {
  std::int32_t total = 0;
  for (std::int32_t width : widths) total += width;
  return RunList(length - offset - total, {widths.rbegin(), widths.rend()}, length);
}

// Bar and gap widths for a W/N sequence.
std::vector<std::int32_t> Patch(const std::string& bars, std::int32_t narrow, std::int32_t wide,
                                std::int32_t gap) {
  std::vector<std::int32_t> widths;
  for (char bar : bars) {
    if (!widths.empty()) widths.push_back(gap);
    widths.push_back(bar == 'W' ? wide : narrow);
  }
  return widths;
}

std::int32_t Row(const std::vector<std::uint16_t>& runs, std::int32_t r) {
  std::int32_t hints = 0;
  return ClassifyPatchRow(runs.data(), r, hints);
}

TEST(PatchLine, NoiseBeforeThePatternRestartsAtALaterBar) {
  const std::vector<std::int32_t> widths = {16, 48, 40, 16, 16, 16, 16, 16, 40};
  EXPECT_EQ(Row(RunList(100, widths, 1700), 200), kPatchII);
  EXPECT_EQ(ClassifyPatchColumn(RunList(100, widths, 1700).data(), 200), kPatchII)
      << "the same line read in reverse";
}

TEST(PatchLine, TheThreeCodesAtUsualResolutions) {
  for (std::int32_t r : {200, 300, 400}) {
    SCOPED_TRACE(r);
    const std::int32_t narrow = r * 8 / 100;  // 0.08 inch
    const std::int32_t wide = r * 20 / 100;   // 0.20 inch
    const std::int32_t page = r * 17 / 2;
    for (const auto& [bars, code] :
         {std::pair{"WNNW", kPatchII}, std::pair{"WNWN", kPatchIII}, std::pair{"NWNW", kPatchT}}) {
      SCOPED_TRACE(bars);
      const auto widths = Patch(bars, narrow, wide, narrow);
      EXPECT_EQ(Row(RunList(r, widths, page), r), code);
      // Turned, a column reads the bars from the page's other end, bar 1 last.
      EXPECT_EQ(ClassifyPatchColumn(Mirrored(r, widths, page).data(), r), code);
    }
  }
}

TEST(PatchLine, BarsOneAndTwoOfTheSameClassNeverGiveACode) {
  for (const char* bars : {"NNWN", "WWNN", "NNNN", "WWWW"}) {
    SCOPED_TRACE(bars);
    const auto widths = Patch(bars, 16, 40, 16);
    EXPECT_EQ(Row(RunList(100, widths, 1700), 200), 0);
    EXPECT_EQ(ClassifyPatchColumn(Mirrored(100, widths, 1700).data(), 200), 0);
  }
}

TEST(PatchLine, ThinRunsDoNotSplitBarsOrGaps) {
  // A wide bar cut by a gap of 4 dots (0.02 inch at 200 dots per inch), and a gap cut by a
  // bar of 3 dots: both still read as one element.
  const std::vector<std::int32_t> widths = {18, 4, 18, 16, 16, 7, 3, 6, 16, 16, 40};
  EXPECT_EQ(Row(RunList(100, widths, 1700), 200), kPatchII);
  // 5 dots is more than 0.02 inch: it splits the bar and the pattern is lost.
  const std::vector<std::int32_t> split = {18, 5, 17, 16, 16, 16, 16, 16, 40};
  EXPECT_EQ(Row(RunList(100, split, 1700), 200), 0);
}

TEST(PatchLine, MarksWithinTheMarginAreIgnored) {
  // A 6-dot mark 3 dots into the row (the margin is 10 dots at 200 dots per inch).
  std::vector<std::int32_t> widths = {6, 91};
  for (std::int32_t width : Patch("WNWN", 16, 40, 16)) widths.push_back(width);
  EXPECT_EQ(Row(RunList(3, widths, 1700), 200), kPatchIII);
  // Read backwards the margin is at the line's end.
  EXPECT_EQ(ClassifyPatchColumn(Mirrored(3, widths, 1700).data(), 200), kPatchIII);
}

TEST(PatchLine, EmptyAndShortListsHoldNoRuns) {
  const std::vector<std::uint16_t> empty = {8, 1700, 0, 0};
  EXPECT_EQ(Row(empty, 200), 0);
  EXPECT_EQ(ClassifyPatchColumn(empty.data(), 200), 0);
  EXPECT_FALSE(HasWideBar(empty.data(), 200));
}

TEST(PatchLine, WideBarProbeAndHints) {
  EXPECT_TRUE(HasWideBar(RunList(100, {81, 20}, 1700).data(), 200));
  EXPECT_FALSE(HasWideBar(RunList(100, {80, 20}, 1700).data(), 200)) << "more than 0.4 inch";
  EXPECT_TRUE(HasWideBar(RunList(100, {40, 3, 41, 20}, 1700).data(), 200))
      << "short inner gaps belong to the bar";
  std::int32_t hints = 0;
  EXPECT_EQ(ClassifyPatchRow(RunList(100, {200, 50}, 1700).data(), 200, hints), 0);
  EXPECT_GT(hints, 0) << "a wide bar that decodes to nothing is a hint";
}

}  // namespace
