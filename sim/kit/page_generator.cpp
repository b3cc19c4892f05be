#include "sim/kit/page_generator.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>

namespace sim {
namespace {

// The standard fixes mt19937's sequence, unlike its distributions: pages stay the same on
// every platform.
class Random {
 public:
  explicit Random(std::uint32_t seed) : engine_(seed) {}

  // lo <= value <= hi.
  std::int32_t Between(std::int32_t lo, std::int32_t hi) {
    if (hi <= lo) return lo;
    const auto span = static_cast<std::uint64_t>(std::int64_t{hi} - lo) + 1;
    return lo + static_cast<std::int32_t>((std::uint64_t{engine_()} * span) >> 32);
  }

  // 0 <= value < 1.
  double Unit() { return static_cast<double>(engine_()) / 4294967296.0; }

 private:
  std::mt19937 engine_;
};

std::int32_t Dots(double inches, std::int32_t dpi) {
  return static_cast<std::int32_t>(std::lround(inches * dpi));
}

// An area in dots.
struct Box {
  std::int32_t x;
  std::int32_t y;
  std::int32_t width;
  std::int32_t height;
};

class Painter {
 public:
  Painter(BitonalPage& page, std::int32_t xDpi, std::int32_t yDpi, std::uint32_t seed)
      : page_(page), xDpi_(xDpi), yDpi_(yDpi), random_(seed) {}

  Box BoxOf(const PageArea& area) const {
    return {Dots(area.left, xDpi_), Dots(area.top, yDpi_), Dots(area.width, xDpi_),
            Dots(area.height, yDpi_)};
  }

  void Photo(const PageArea& area);
  void Barcode(const PageArea& area);
  void Text(const PageArea& area);
  void Patch(const PatchSymbol& symbol);
  void Specks(std::uint32_t count);
  void ThinLines(std::uint32_t count);

 private:
  struct Glyphs;
  void Glyph(const Glyphs& metrics, std::int32_t x, std::int32_t baseline, std::int32_t width);

  BitonalPage& page_;
  std::int32_t xDpi_;
  std::int32_t yDpi_;
  Random random_;
};

// Random values on a grid of cells over an area, eased between grid points: smooth shapes once
// thresholded. Rows are shaded one at a time, each dot from its row's blend of the grid.
class ValueNoise {
 public:
  ValueNoise(Random& random, const Box& box, std::int32_t cellX, std::int32_t cellY)
      : cellY_(cellY),
        columns_(box.width / cellX + 2),
        values_(static_cast<std::size_t>(columns_) *
                static_cast<std::size_t>(box.height / cellY + 2)),
        blended_(static_cast<std::size_t>(columns_)) {
    for (auto& value : values_) value = random.Unit();
    for (std::int32_t x = 0; x < box.width; ++x) {
      column_.push_back(static_cast<std::size_t>(x / cellX));
      across_.push_back(Ease(static_cast<double>(x % cellX) / cellX));
    }
  }

  // Adds weight times the shade of the area's row y to each dot's shade.
  void AddRow(std::int32_t y, double weight, std::vector<double>& shade) {
    const auto row = y / cellY_;
    const auto down = Ease(static_cast<double>(y % cellY_) / cellY_);
    for (std::int32_t column = 0; column < columns_; ++column) {
      blended_[static_cast<std::size_t>(column)] =
          Mix(Value(column, row), Value(column, row + 1), down);
    }
    // Plain pointers keep this loop quick in unoptimised builds too.
    const auto* blended = blended_.data();
    const auto* column = column_.data();
    const auto* across = across_.data();
    auto* out = shade.data();
    for (std::size_t x = 0; x < shade.size(); ++x) {
      const auto left = blended[column[x]];
      out[x] += weight * (left + (blended[column[x] + 1] - left) * across[x]);
    }
  }

 private:
  static double Ease(double f) { return f * f * (3 - 2 * f); }
  static double Mix(double a, double b, double f) { return a + (b - a) * f; }
  double Value(std::int32_t column, std::int32_t row) const {
    return values_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                   static_cast<std::size_t>(column)];
  }

  std::int32_t cellY_;
  std::int32_t columns_;
  std::vector<double> values_;
  std::vector<double> blended_;      // the grid blended down to the current row
  std::vector<std::size_t> column_;  // per dot of a row: its grid column
  std::vector<double> across_;       // and its eased place within the cell
};

void Painter::Photo(const PageArea& area) {
  const auto box = BoxOf(area);
  if (box.width <= 0 || box.height <= 0) return;
  // Blobs about a quarter inch across, with finer detail at half that size.
  const auto cellX = std::max(1, Dots(0.25, xDpi_));
  const auto cellY = std::max(1, Dots(0.25, yDpi_));
  ValueNoise coarse(random_, box, cellX, cellY);
  ValueNoise fine(random_, box, std::max(1, cellX / 2), std::max(1, cellY / 2));
  std::vector<double> shade(static_cast<std::size_t>(box.width));
  for (std::int32_t y = 0; y < box.height; ++y) {
    std::ranges::fill(shade, 0.0);
    coarse.AddRow(y, 1.0, shade);
    fine.AddRow(y, 0.5, shade);
    const auto* dots = shade.data();
    for (std::int32_t x = 0; x < box.width;) {
      if (dots[x] <= 0.75) {
        ++x;
        continue;
      }
      const auto runStart = x;
      while (x < box.width && dots[x] > 0.75) ++x;
      FillRect(page_, box.x + runStart, box.y + y, x - runStart, 1);
    }
  }
}

void Painter::Barcode(const PageArea& area) {
  const auto box = BoxOf(area);
  const auto module = std::max(1, random_.Between(Dots(0.01, xDpi_), Dots(0.015, xDpi_)));
  const auto quiet = 10 * module;
  const auto end = box.x + box.width - quiet;
  bool bar = true;
  for (auto x = box.x + quiet;;) {
    const auto width = module * random_.Between(1, 4);
    if (x + width > end) break;
    if (bar) FillRect(page_, x, box.y, width, box.height);
    x += width;
    bar = !bar;
  }
}

// Sizes of body text at about ten points, in dots.
struct Painter::Glyphs {
  std::int32_t xHeight;
  std::int32_t ascender;
  std::int32_t descender;
  std::int32_t stem;    // vertical strokes
  std::int32_t stroke;  // horizontal strokes
};

void Painter::Glyph(const Glyphs& metrics, std::int32_t x, std::int32_t baseline,
                    std::int32_t width) {
  const auto top = baseline - metrics.xHeight;
  const auto stem = [&](std::int32_t at, std::int32_t from, std::int32_t to) {
    FillRect(page_, at, from, metrics.stem, to - from);
  };
  const auto bar = [&](std::int32_t at) { FillRect(page_, x, at, width, metrics.stroke); };
  const auto right = x + width - metrics.stem;
  // A few letter shapes drawn as strokes: enough to give rows and columns the short runs of
  // print.
  switch (random_.Between(0, 7)) {
    case 0:  // o
      stem(x, top, baseline);
      stem(right, top, baseline);
      bar(top);
      bar(baseline - metrics.stroke);
      break;
    case 1:  // n
      stem(x, top, baseline);
      stem(right, top, baseline);
      bar(top);
      break;
    case 2:  // d
      stem(x, top, baseline);
      stem(right, top - metrics.ascender, baseline);
      bar(top);
      bar(baseline - metrics.stroke);
      break;
    case 3:  // p
      stem(x, top, baseline + metrics.descender);
      stem(right, top, baseline);
      bar(top);
      bar(baseline - metrics.stroke);
      break;
    case 4:  // e
      stem(x, top, baseline);
      stem(right, top, top + metrics.xHeight / 2);
      bar(top);
      bar(top + metrics.xHeight / 2);
      bar(baseline - metrics.stroke);
      break;
    case 5:  // i
      stem(x, top, baseline);
      stem(x, top - metrics.ascender, top - metrics.ascender + metrics.stroke);
      break;
    case 6:  // t
      stem(x + width / 2, top - metrics.ascender, baseline);
      bar(top);
      break;
    default:  // c
      stem(x, top, baseline);
      bar(top);
      bar(baseline - metrics.stroke);
      break;
  }
}

void Painter::Text(const PageArea& area) {
  const auto box = BoxOf(area);
  const Glyphs g{Dots(0.075, yDpi_), Dots(0.035, yDpi_), Dots(0.03, yDpi_),
                 std::max(1, Dots(0.012, xDpi_)), std::max(1, Dots(0.012, yDpi_))};
  const auto pitch = std::max(1, Dots(1.0 / 6, yDpi_));
  const auto spacing = std::max(1, Dots(0.015, xDpi_));
  std::int32_t linesLeft = random_.Between(3, 8);
  bool firstLine = true;
  for (auto baseline = box.y + g.ascender + g.xHeight; baseline + g.descender <= box.y + box.height;
       baseline += pitch) {
    if (linesLeft-- == 0) {  // a blank line between paragraphs
      linesLeft = random_.Between(3, 8);
      firstLine = true;
      continue;
    }
    const auto lineEnd =
        box.x + (linesLeft == 0 ? box.width * random_.Between(3, 8) / 10
                                : box.width - random_.Between(0, Dots(0.3, xDpi_)));
    auto x = box.x + (firstLine ? Dots(0.3, xDpi_) : 0);
    firstLine = false;
    for (;;) {
      std::vector<std::int32_t> widths(static_cast<std::size_t>(random_.Between(1, 9)));
      std::int32_t wordWidth = 0;
      for (auto& width : widths) {
        width = random_.Between(Dots(0.04, xDpi_), Dots(0.07, xDpi_));
        wordWidth += width + spacing;
      }
      if (x + wordWidth > lineEnd) break;
      for (const auto width : widths) {
        Glyph(g, x, baseline, width);
        x += width + spacing;
      }
      x += random_.Between(Dots(0.05, xDpi_), Dots(0.08, xDpi_));
    }
  }
}

void Painter::Patch(const PatchSymbol& symbol) {
  if (symbol.bars.empty() || symbol.bars.find_first_not_of("WN") != std::string::npos) {
    throw std::invalid_argument("patch bars must be 'W' and 'N'");
  }
  const bool upright = symbol.turn == PatchTurn::Upright;
  const auto dots = DotsOf(symbol, upright ? xDpi_ : yDpi_);
  const auto length = Dots(symbol.length, upright ? yDpi_ : xDpi_);
  const auto widthOf = [&](char bar) { return bar == 'W' ? dots.wide : dots.narrow; };
  std::int32_t extent = -dots.gap;
  for (const char bar : symbol.bars) extent += widthOf(bar) + dots.gap;
  const auto left = Dots(symbol.left, xDpi_);
  const auto top = Dots(symbol.top, yDpi_);
  std::int32_t along = 0;  // from the first bar's leading edge in reading order
  for (const char bar : symbol.bars) {
    const auto width = widthOf(bar);
    if (upright) {
      FillRect(page_, left + along, top, width, length);
    } else {
      FillRect(page_, left, top + extent - along - width, length, width);
    }
    along += width + dots.gap;
  }
}

void Painter::Specks(std::uint32_t count) {
  const auto sizeX = std::max(1, Dots(0.02, xDpi_));
  const auto sizeY = std::max(1, Dots(0.02, yDpi_));
  for (std::uint32_t i = 0; i < count; ++i) {
    FillRect(page_, random_.Between(0, page_.width - 1), random_.Between(0, page_.height - 1),
             random_.Between(1, sizeX), random_.Between(1, sizeY));
  }
}

void Painter::ThinLines(std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto x = random_.Between(0, page_.width - 1);
    const auto y = random_.Between(0, page_.height - 1);
    if (random_.Between(0, 1) == 0) {
      FillRect(page_, x, y, random_.Between(Dots(0.2, xDpi_), Dots(3, xDpi_)),
               random_.Between(1, std::max(1, Dots(0.02, yDpi_))));
    } else {
      FillRect(page_, x, y, random_.Between(1, std::max(1, Dots(0.02, xDpi_))),
               random_.Between(Dots(0.2, yDpi_), Dots(3, yDpi_)));
    }
  }
}

}  // namespace

PatchDots DotsOf(const PatchSymbol& symbol, std::int32_t dpi) {
  return {Dots(symbol.narrow, dpi), Dots(symbol.narrow * symbol.ratio, dpi), Dots(symbol.gap, dpi)};
}

BitonalPage RenderPage(const PageRecipe& recipe) {
  if (recipe.xDpi <= 0 || recipe.yDpi <= 0 || !(recipe.width > 0) || !(recipe.height > 0)) {
    throw std::invalid_argument("page size and resolution must be positive");
  }
  auto page = BlankPage(Dots(recipe.width, recipe.xDpi), Dots(recipe.height, recipe.yDpi),
                        recipe.xDpi, recipe.yDpi);
  Painter painter(page, recipe.xDpi, recipe.yDpi, recipe.seed);
  for (const auto& area : recipe.photos) painter.Photo(area);
  for (const auto& area : recipe.barcodes) painter.Barcode(area);
  for (const auto& area : recipe.text) painter.Text(area);
  for (const auto& symbol : recipe.patches) painter.Patch(symbol);
  painter.Specks(recipe.specks);
  painter.ThinLines(recipe.thinLines);
  return page;
}

PageRecipe TextPageRecipe(std::int32_t dpi, std::uint32_t seed) {
  PageRecipe recipe;
  recipe.xDpi = dpi;
  recipe.yDpi = dpi;
  recipe.seed = seed;
  recipe.text = {{1.0, 1.0, 6.5, 9.0}};
  return recipe;
}

bool WritePbm(const BitonalPage& page, const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P4\n" << page.width << ' ' << page.height << '\n';
  const auto rowBytes = static_cast<std::streamsize>((page.width + 7) / 8);
  for (std::int32_t y = 0; y < page.height && out; ++y) {
    out.write(
        reinterpret_cast<const char*>(page.bits.data() + static_cast<std::size_t>(y) * page.stride),
        rowBytes);
  }
  out.close();
  return !out.fail();
}

bool WriteTintedPnm(const BitonalPage& page, const std::filesystem::path& path, bool colour) {
  std::ofstream out(path, std::ios::binary);
  out << (colour ? "P6\n" : "P5\n") << page.width << ' ' << page.height << "\n255\n";
  for (std::int32_t y = 0; y < page.height; ++y) {
    for (std::int32_t x = 0; x < page.width; ++x) {
      const auto level = static_cast<char>(IsBlack(page, x, y) ? 20 : 235 - x % 16);
      out.put(level);
      if (colour) {
        out.put(static_cast<char>(level - y % 8));
        out.put(level);
      }
    }
  }
  out.close();
  return !out.fail();
}

}  // namespace sim
