// Finding patch codes on whole pages: generated sheets, ordinary pages, failures.
#include "patch/patch_detector.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/kit/kit.h"
#include "sim/kit/page_generator.h"
#include "sim/services/faults/switches.h"
#include "sim/services/images/mem_image.h"
#include "sim/services/operations/memory.h"

namespace {

using sim::PageRecipe;
using sim::PatchSymbol;
using sim::PatchTurn;

// Detects on the page in a fresh memory image, and checks nothing is left held.
std::int32_t Detect(const sim::BitonalPage& page) {
  QelMemImage image = nullptr;
  EXPECT_EQ(QelMemImageOpen(&image), 0);
  EXPECT_EQ(sim::FillMemImage(image, page), 0);
  const std::size_t blocks = sim::LiveBlockCount();
  const std::int32_t code = DetectPatchCode(image);
  EXPECT_EQ(sim::LiveBlockCount(), blocks) << "the line table is given back";
  QelMemImageClose(image);
  return code;
}

PageRecipe SheetWith(std::string bars, std::int32_t dpi, PatchTurn turn) {
  PageRecipe recipe;
  recipe.xDpi = recipe.yDpi = dpi;
  PatchSymbol symbol;
  symbol.bars = std::move(bars);
  symbol.turn = turn;
  symbol.left = 3.0;
  symbol.top = 2.0;
  recipe.patches.push_back(symbol);
  return recipe;
}

class PatchPages : public ::testing::Test {
 protected:
  void SetUp() override { sim::ResetSwitches(); }
  void TearDown() override { sim::ResetSwitches(); }
};

TEST_F(PatchPages, EveryPatchAtEveryResolutionUprightAndTurned) {
  for (std::int32_t dpi : {200, 300, 400}) {
    for (const auto& [bars, code] :
         {std::pair{"WNNW", kPatchII}, std::pair{"WNWN", kPatchIII}, std::pair{"NWNW", kPatchT}}) {
      for (PatchTurn turn : {PatchTurn::Upright, PatchTurn::Turned}) {
        SCOPED_TRACE(std::string(bars) + " at " + std::to_string(dpi) +
                     (turn == PatchTurn::Turned ? " turned" : " upright"));
        EXPECT_EQ(Detect(sim::RenderPage(SheetWith(bars, dpi, turn))), code);
      }
    }
  }
}

TEST_F(PatchPages, ATurnedPatchNeedsTheColumnPass) {
  QelMemImage image = nullptr;
  ASSERT_EQ(QelMemImageOpen(&image), 0);
  ASSERT_EQ(sim::FillMemImage(image, sim::RenderPage(SheetWith("WNWN", 200, PatchTurn::Turned))),
            0);
  const std::uint32_t before = sim::CallCount(sim::Op::MemGetTagArray);
  EXPECT_EQ(DetectPatchCode(image), kPatchIII);
  EXPECT_EQ(sim::CallCount(sim::Op::MemGetTagArray), before + 2) << "rows, then columns";
  QelMemImageClose(image);

  ASSERT_EQ(QelMemImageOpen(&image), 0);
  ASSERT_EQ(sim::FillMemImage(image, sim::RenderPage(SheetWith("WNWN", 200, PatchTurn::Upright))),
            0);
  const std::uint32_t upright = sim::CallCount(sim::Op::MemGetTagArray);
  EXPECT_EQ(DetectPatchCode(image), kPatchIII);
  EXPECT_EQ(sim::CallCount(sim::Op::MemGetTagArray), upright + 1) << "rows only";
  QelMemImageClose(image);
}

TEST_F(PatchPages, APatchShorterThanAnInchIsNotConfirmedAndProbingGoesOn) {
  PageRecipe recipe = SheetWith("WNNW", 200, PatchTurn::Upright);
  recipe.patches[0].length = 0.8;
  EXPECT_EQ(Detect(sim::RenderPage(recipe)), 0);
  PatchSymbol below = recipe.patches[0];
  below.bars = "NWNW";
  below.length = 2.0;
  below.top = 5.0;
  recipe.patches.push_back(below);
  EXPECT_EQ(Detect(sim::RenderPage(recipe)), kPatchT);
}

TEST_F(PatchPages, BlankAndTinyPagesGiveNothingWithoutAColumnPass) {
  PageRecipe blank;
  blank.xDpi = blank.yDpi = 200;
  const std::uint32_t before = sim::CallCount(sim::Op::MemGetTagArray);
  EXPECT_EQ(Detect(sim::RenderPage(blank)), 0);
  EXPECT_EQ(sim::CallCount(sim::Op::MemGetTagArray), before + 1);

  blank.height = 0.25;  // at most a quarter inch: no search area
  EXPECT_EQ(Detect(sim::RenderPage(blank)), 0);
}

TEST_F(PatchPages, NoiseMarksBesideThePatchDoNotHideIt) {
  PageRecipe recipe = SheetWith("WNNW", 300, PatchTurn::Upright);
  recipe.specks = 400;
  recipe.thinLines = 20;
  recipe.text.push_back({5.0, 1.0, 3.0, 8.0});
  EXPECT_EQ(Detect(sim::RenderPage(recipe)), kPatchII);
}

// Ordinary pages of one kind at 200 and 300 dots per inch, 35 of each: none may give a code
// the page pipeline acts on. Three kinds make 210 pages.
void ExpectNoPatchOnPagesLike(PageRecipe (*kind)(PageRecipe)) {
  for (std::int32_t dpi : {200, 300}) {
    for (std::uint32_t seed = 1; seed <= 35; ++seed) {
      const std::int32_t code = Detect(sim::RenderPage(kind(sim::TextPageRecipe(dpi, seed))));
      EXPECT_TRUE(code != kPatchII && code != kPatchIII && code != kPatchT)
          << "seed " << seed << " at " << dpi << " gave " << code;
    }
  }
}

PageRecipe Text(PageRecipe recipe) {
  return recipe;
}

PageRecipe Barcodes(PageRecipe recipe) {
  recipe.text.clear();
  // Linear barcodes stand less than an inch tall; patch bars run two inches, and the
  // one-inch confirmation is what tells the two apart.
  recipe.barcodes = {{1.0, 1.0, 4.0, 0.9}, {2.0, 5.0, 5.0, 0.5}, {1.0, 8.0, 3.0, 0.7}};
  return recipe;
}

PageRecipe Photo(PageRecipe recipe) {
  recipe.text.clear();
  recipe.photos = {{0.5, 0.5, 7.5, 10.0}};
  return recipe;
}

TEST_F(PatchPages, TextPagesNeverGiveAPatch) {
  ExpectNoPatchOnPagesLike(&Text);
}
TEST_F(PatchPages, BarcodePagesNeverGiveAPatch) {
  ExpectNoPatchOnPagesLike(&Barcodes);
}
TEST_F(PatchPages, PhotoPagesNeverGiveAPatch) {
  ExpectNoPatchOnPagesLike(&Photo);
}

TEST_F(PatchPages, NoLineTableMeansNoMemoryAndNothingHeld) {
  const sim::BitonalPage page = sim::RenderPage(SheetWith("WNNW", 200, PatchTurn::Turned));
  sim::FailNext(sim::Op::Alloc);
  EXPECT_EQ(Detect(page), -4500);
  // The column table is larger than the row table on a landscape page.
  PageRecipe landscape = SheetWith("WNNW", 200, PatchTurn::Turned);
  landscape.width = 11.0;
  landscape.height = 8.5;
  sim::FailNext(sim::Op::Alloc, 2);
  EXPECT_EQ(Detect(sim::RenderPage(landscape)), -4500);
}

TEST_F(PatchPages, ResolutionsTooLowForTheStepsGiveNothing) {
  PageRecipe recipe = SheetWith("WNNW", 40, PatchTurn::Upright);
  EXPECT_EQ(Detect(sim::RenderPage(recipe)), 0);
}

}  // namespace
