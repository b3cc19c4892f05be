// Pages for tests and sample folders: patch sheets and ordinary page content, drawn as a
// bitonal scanner delivers them. The same recipe gives the same page.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "sim/services/images/bitonal_page.h"

namespace sim {

// Bar sequences of the patch codes, in reading order.
inline constexpr std::string_view kPatch2Bars = "WNNW";
inline constexpr std::string_view kPatch3Bars = "WNWN";
inline constexpr std::string_view kPatchTBars = "NWNW";

enum class PatchTurn {
  Upright,  // bars run top to bottom; read left to right along a row
  Turned,   // the upright symbol turned a quarter to the left: bars run across the page and
            // are read from the bottom up, as a column from its end
};

// Measures in inches.
struct PatchSymbol {
  std::string bars{kPatch2Bars};  // 'W' wide, 'N' narrow, in reading order
  double narrow = 0.08;
  double ratio = 2.5;  // wide : narrow
  double gap = 0.08;
  double length = 2.0;  // of each bar
  double left = 1.0;    // the symbol's top left corner on the page
  double top = 1.0;
  PatchTurn turn = PatchTurn::Upright;
};

// A part of the page, in inches.
struct PageArea {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
};

struct PageRecipe {
  double width = 8.5;  // inches; letter by default
  double height = 11.0;
  std::int32_t xDpi = 300;
  std::int32_t yDpi = 300;
  std::uint32_t seed = 1;
  std::vector<PageArea> photos;    // thresholded smooth blobs
  std::vector<PageArea> barcodes;  // one 1-D barcode across each area
  std::vector<PageArea> text;      // lines of word-sized clusters of glyph-like marks
  std::vector<PatchSymbol> patches;
  std::uint32_t specks = 0;     // small dots anywhere on the page
  std::uint32_t thinLines = 0;  // straight lines at most 0.02 inch thick, anywhere
};

// Draws in the order of the recipe's fields. Throws std::invalid_argument for a resolution
// or size that is not positive and for bars other than a non-empty string of 'W' and 'N'.
BitonalPage RenderPage(const PageRecipe& recipe);

// Sizes of a symbol's parts in dots along the reading direction at that resolution.
struct PatchDots {
  std::int32_t narrow;
  std::int32_t wide;
  std::int32_t gap;
};
PatchDots DotsOf(const PatchSymbol& symbol, std::int32_t dpi);

// A letter page of body text within one-inch margins.
PageRecipe TextPageRecipe(std::int32_t dpi, std::uint32_t seed = 1);

// Binary PBM (P4), for looking at a page. False when the file cannot be written.
bool WritePbm(const BitonalPage& page, const std::filesystem::path& path);

// The page as 8-bit gray (PGM) or RGB (PPM): ink dark, paper light with a tint that changes
// across the sheet, as a scanner's gray or colour capture of it. False when the file cannot
// be written.
bool WriteTintedPnm(const BitonalPage& page, const std::filesystem::path& path, bool colour);

}  // namespace sim
