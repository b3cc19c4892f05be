// Generated patch sheets and page content, measured dot by dot.
#include "sim/kit/page_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/sim/temp_folder.h"

namespace {

using Span = std::array<std::int32_t, 2>;  // black dots [first, end)

enum class Along { Row, Column };

std::vector<Span> BlackSpans(const sim::BitonalPage& page, Along along, std::int32_t line) {
  const bool row = along == Along::Row;
  const auto length = row ? page.width : page.height;
  std::vector<Span> spans;
  for (std::int32_t dot = 0; dot < length; ++dot) {
    if (!(row ? sim::IsBlack(page, dot, line) : sim::IsBlack(page, line, dot))) continue;
    if (spans.empty() || spans.back()[1] != dot) spans.push_back({dot, dot});
    ++spans.back()[1];
  }
  return spans;
}

struct Bounds {
  std::int32_t left = INT32_MAX;
  std::int32_t top = INT32_MAX;
  std::int32_t right = -1;  // last black column
  std::int32_t bottom = -1;
  std::int64_t black = 0;

  std::int32_t Width() const { return right - left + 1; }
  std::int32_t Height() const { return bottom - top + 1; }
};

Bounds BoundsOf(const sim::BitonalPage& page) {
  Bounds bounds;
  for (std::int32_t y = 0; y < page.height; ++y) {
    for (std::int32_t x = 0; x < page.width; ++x) {
      if (!sim::IsBlack(page, x, y)) continue;
      bounds.left = std::min(bounds.left, x);
      bounds.right = std::max(bounds.right, x);
      bounds.top = std::min(bounds.top, y);
      bounds.bottom = std::max(bounds.bottom, y);
      ++bounds.black;
    }
  }
  return bounds;
}

sim::PageRecipe SmallPage(std::int32_t dpi, std::uint32_t seed = 1) {
  sim::PageRecipe recipe;
  recipe.width = 3;
  recipe.height = 4;
  recipe.xDpi = dpi;
  recipe.yDpi = dpi;
  recipe.seed = seed;
  return recipe;
}

// Widths along the line of its black spans, read from its end when asked.
std::string BarKinds(const std::vector<Span>& spans, std::int32_t narrow, std::int32_t wide) {
  std::string kinds;
  for (const auto& [first, end] : spans) {
    kinds += end - first == narrow ? 'N' : end - first == wide ? 'W' : '?';
  }
  return kinds;
}

TEST(PageGenerator, PatchBarsAndGapsHaveTheirWidthsInDots) {
  const struct {
    std::int32_t dpi;
    std::int32_t narrow;
    std::int32_t wide;
  } resolutions[] = {{200, 16, 40}, {300, 24, 60}, {400, 32, 80}};
  for (const auto& [dpi, narrow, wide] : resolutions) {
    for (const auto bars : {sim::kPatch2Bars, sim::kPatch3Bars, sim::kPatchTBars}) {
      auto recipe = SmallPage(dpi);
      recipe.patches.push_back({.bars = std::string(bars)});
      const auto page = sim::RenderPage(recipe);
      std::vector<Span> expected;
      std::int32_t x = dpi;  // one inch from the left
      for (const char bar : bars) {
        const auto width = bar == 'W' ? wide : narrow;
        expected.push_back({x, x + width});
        x += width + narrow;
      }
      const auto name = std::string(bars) + " at " + std::to_string(dpi);
      EXPECT_EQ(BlackSpans(page, Along::Row, 2 * dpi), expected) << name;
      EXPECT_EQ(BlackSpans(page, Along::Column, dpi), (std::vector<Span>{{dpi, 3 * dpi}}))
          << name << ": bars two inches long, one inch from the top";
      const auto dots = sim::DotsOf(recipe.patches[0], dpi);
      EXPECT_EQ(dots.narrow, narrow);
      EXPECT_EQ(dots.wide, wide);
      EXPECT_EQ(dots.gap, narrow);
    }
  }
}

TEST(PageGenerator, ATurnedPatchIsTheUprightOneTurnedAQuarterToTheLeft) {
  constexpr std::int32_t kDpi = 200;
  auto upright = SmallPage(kDpi);
  upright.patches.push_back({.bars = std::string(sim::kPatchTBars), .left = 0.5, .top = 1.0});
  const auto before = sim::RenderPage(upright);

  // The symbol is 160 dots across; turned, its left edge comes to the bottom.
  auto turned = upright;
  std::swap(turned.width, turned.height);
  turned.patches[0].turn = sim::PatchTurn::Turned;
  turned.patches[0].left = 1.0;
  turned.patches[0].top = (before.width - 100 - 160) / static_cast<double>(kDpi);
  const auto after = sim::RenderPage(turned);

  ASSERT_EQ(after.width, before.height);
  ASSERT_EQ(after.height, before.width);
  std::int64_t mismatches = 0;
  for (std::int32_t y = 0; y < before.height; ++y) {
    for (std::int32_t x = 0; x < before.width; ++x) {
      mismatches += sim::IsBlack(before, x, y) != sim::IsBlack(after, y, before.width - 1 - x);
    }
  }
  EXPECT_EQ(mismatches, 0);

  auto fromTheEnd = BlackSpans(after, Along::Column, 2 * kDpi);
  std::ranges::reverse(fromTheEnd);
  EXPECT_EQ(BarKinds(fromTheEnd, 16, 40), sim::kPatchTBars);
  EXPECT_EQ(BarKinds(BlackSpans(before, Along::Row, 2 * kDpi), 16, 40), sim::kPatchTBars);
}

TEST(PageGenerator, TheSameRecipeGivesTheSamePage) {
  auto recipe = sim::TextPageRecipe(200, 9);
  recipe.photos = {{1, 1, 2, 2}};
  recipe.barcodes = {{4, 1, 2, 1}};
  recipe.specks = 30;
  recipe.thinLines = 5;
  const auto page = sim::RenderPage(recipe);
  EXPECT_EQ(page.width, 1700);
  EXPECT_EQ(page.height, 2200);
  EXPECT_EQ(sim::RenderPage(recipe).bits, page.bits);
  recipe.seed = 10;
  EXPECT_NE(sim::RenderPage(recipe).bits, page.bits);
}

TEST(PageGenerator, ContentStaysInItsAreaAndLooksItsKind) {
  constexpr std::int32_t kDpi = 200;
  const sim::PageArea area{0.5, 0.5, 2.0, 1.5};  // dots 100 to 500 across, 100 to 400 down
  const auto inside = [&](const Bounds& bounds) {
    return bounds.black > 0 && bounds.left >= 100 && bounds.right < 500 && bounds.top >= 100 &&
           bounds.bottom < 400;
  };
  const auto longest = [](const sim::BitonalPage& page, Along along) {
    std::int32_t most = 0;
    const auto lines = along == Along::Row ? page.height : page.width;
    for (std::int32_t line = 0; line < lines; ++line) {
      for (const auto& [first, end] : BlackSpans(page, along, line)) {
        most = std::max(most, end - first);
      }
    }
    return most;
  };

  auto text = SmallPage(kDpi);
  text.text = {area};
  const auto textPage = sim::RenderPage(text);
  EXPECT_TRUE(inside(BoundsOf(textPage)));
  EXPECT_LE(longest(textPage, Along::Row), 14) << "no mark wider than a letter";
  EXPECT_LE(longest(textPage, Along::Column), 22) << "no mark taller than a letter";

  auto barcode = SmallPage(kDpi);
  barcode.barcodes = {area};
  const auto barcodePage = sim::RenderPage(barcode);
  EXPECT_TRUE(inside(BoundsOf(barcodePage)));
  const auto spans = BlackSpans(barcodePage, Along::Row, 250);
  ASSERT_GT(spans.size(), 10u);
  std::int32_t module = INT32_MAX;
  for (const auto& [first, end] : spans) module = std::min(module, end - first);
  EXPECT_TRUE(module == 2 || module == 3) << "0.01 to 0.015 inch: " << module;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    EXPECT_EQ((spans[i][1] - spans[i][0]) % module, 0);
    if (i > 0) {
      EXPECT_EQ((spans[i][0] - spans[i - 1][1]) % module, 0);
    }
  }
  EXPECT_EQ(BlackSpans(barcodePage, Along::Row, 100), spans) << "bars run the area's height";
  EXPECT_EQ(BlackSpans(barcodePage, Along::Row, 399), spans);

  auto photo = SmallPage(kDpi);
  photo.photos = {area};
  const auto photoBounds = BoundsOf(sim::RenderPage(photo));
  EXPECT_TRUE(inside(photoBounds));
  const auto share = static_cast<double>(photoBounds.black) / (400 * 300);
  EXPECT_GT(share, 0.1);
  EXPECT_LT(share, 0.9);
}

TEST(PageGenerator, NoiseMarksAreSmallOrThin) {
  constexpr std::int32_t kThin = 4;  // 0.02 inch at 200 dots per inch
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    auto speck = SmallPage(200, seed);
    speck.specks = 1;
    const auto speckBounds = BoundsOf(sim::RenderPage(speck));
    EXPECT_GT(speckBounds.black, 0);
    EXPECT_LE(speckBounds.Width(), kThin);
    EXPECT_LE(speckBounds.Height(), kThin);

    auto line = SmallPage(200, seed);
    line.thinLines = 1;
    const auto lineBounds = BoundsOf(sim::RenderPage(line));
    EXPECT_GT(lineBounds.black, 0);
    EXPECT_LE(std::min(lineBounds.Width(), lineBounds.Height()), kThin);
  }
}

TEST(PageGenerator, RefusesRecipesItCannotDraw) {
  auto recipe = SmallPage(200);
  recipe.patches.push_back({.bars = "WXNW"});
  EXPECT_THROW(sim::RenderPage(recipe), std::invalid_argument);
  recipe.patches[0].bars.clear();
  EXPECT_THROW(sim::RenderPage(recipe), std::invalid_argument);
  EXPECT_THROW(sim::RenderPage(SmallPage(0)), std::invalid_argument);
  auto flat = SmallPage(200);
  flat.height = 0;
  EXPECT_THROW(sim::RenderPage(flat), std::invalid_argument);
}

TEST(PageGenerator, PbmFilesHoldTheRowsWithoutTheirPadding) {
  auto page = sim::BlankPage(10, 2, 200, 200);
  sim::FillRect(page, 0, 0, 1, 1);
  sim::FillRect(page, 9, 0, 1, 1);
  sim::FillRect(page, 1, 1, 8, 1);
  const TempFolder folder;
  ASSERT_TRUE(sim::WritePbm(page, folder / "page.pbm"));
  EXPECT_EQ(TempFolder::Read(folder / "page.pbm"), std::string("P4\n10 2\n\x80\x40\x7F\x80", 12));
  EXPECT_FALSE(sim::WritePbm(page, folder / "missing" / "page.pbm"));
}

}  // namespace
