#include "tools/kovscan/page_ink.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace kovscan {

namespace {

// Ink stands out from the paper by at least this many gray levels: gray 150 text on paper
// of 235 does by 85; a scanner's noise on a sheet strays a few levels.
constexpr int kLeastContrast = 40;
// Noisier paper needs more: the lighter quarter of the page's dots, all paper, spreads about
// two thirds of the noise's standard deviation past the middle level, so this many spreads
// are six deviations.
constexpr int kNoiseSpreads = 9;
// A length in inches as a fraction, so that whether a group reaches it is decided in whole
// numbers, alike on every processor (the 32-bit x87 rounds a quotient otherwise).
struct Inches {
  std::uint64_t numerator;
  std::uint64_t denominator;
};
// A mark reaches this far: a letter does (a small letter is 0.05 inch high at 9 points), a
// speck of dust or scanner noise does not.
constexpr Inches kLeastMark{1, 25};
// A page with fewer marks is blank, unless one of them is a stroke this long, as a signature
// or a drawn line is.
constexpr std::size_t kLeastMarks = 3;
constexpr Inches kLongStroke{3, 10};
constexpr long kUnknownDpi = 72;
// A page with more runs of ink than this is full of them, never blank: its runs are no longer
// kept, which bounds the memory a page of halftone or noise takes (24 bytes a run).
constexpr std::size_t kMostRuns = 1'000'000;

// Which gray levels are ink: those further than the contrast from the paper, the page's
// middle level (most of any page is paper). A table, as every dot of the page is looked up.
using InkLevels = std::array<bool, 256>;

InkLevels InkLevelsOf(const GrayImage& image) {
  std::array<std::size_t, 256> histogram{};
  std::size_t* counts = histogram.data();
  const std::uint8_t* const end = image.dots.data() + image.dots.size();
  for (const std::uint8_t* dot = image.dots.data(); dot != end; ++dot) ++counts[*dot];
  const std::size_t total = image.dots.size();
  // The first level at or below which the share of dots lies.
  const auto level = [&](std::size_t parts, std::size_t of) {
    std::size_t below = 0;
    for (int at = 0; at < 256; ++at) {
      below += histogram[static_cast<std::size_t>(at)];
      if (below * of >= total * parts) return at;
    }
    return 255;
  };
  const int paper = level(1, 2);
  const int contrast = std::max(kLeastContrast, kNoiseSpreads * (level(3, 4) - paper));
  InkLevels ink{};
  for (int at = 0; at < 256; ++at)
    ink[static_cast<std::size_t>(at)] = std::abs(at - paper) > contrast;
  return ink;
}

// Groups of touching ink dots (a dot touches the eight around it), found from the runs of
// ink in each row: a run joins the group of every run it touches in the row above.
class InkGroups {
 public:
  void AddRow(const GrayImage& image, const InkLevels& levels, std::uint32_t y) {
    const std::uint8_t* const dots = image.dots.data() + std::size_t{y} * image.width;
    const bool* const ink = levels.data();
    const std::size_t rowStart = runs_.size();
    std::size_t above = previousRow_;
    for (std::uint32_t x = 0; x < image.width;) {
      if (!ink[dots[x]]) {
        ++x;
        continue;
      }
      const std::uint32_t start = x;
      while (x < image.width && ink[dots[x]]) ++x;
      inkDots_ += x - start;
      if (Crowded()) continue;
      const std::size_t run = runs_.size();
      runs_.push_back({run, start, x - 1, y, y});
      // Runs above that end before this one's left neighbour touch neither it nor the next.
      while (above < rowStart && runs_[above].right + 1 < start) ++above;
      for (std::size_t touching = above; touching < rowStart && runs_[touching].left <= x;
           ++touching) {
        Join(run, touching);
      }
    }
    previousRow_ = rowStart;
  }

  std::size_t InkDots() const { return inkDots_; }
  bool Crowded() const { return runs_.size() >= kMostRuns; }

  // Each group's extent in dots across and down.
  template <typename Visit>
  void ForEachGroup(Visit visit) const {
    for (std::size_t run = 0; run < runs_.size(); ++run) {
      const Run& group = runs_[run];
      if (group.parent == run) visit(group.right - group.left + 1, group.bottom - group.top + 1);
    }
  }

 private:
  // A run, and while it is a group's root its group's bounds.
  struct Run {
    std::size_t parent;
    std::uint32_t left, right, top, bottom;
  };

  std::size_t Root(std::size_t run) {
    while (runs_[run].parent != run) {
      runs_[run].parent = runs_[runs_[run].parent].parent;
      run = runs_[run].parent;
    }
    return run;
  }

  void Join(std::size_t a, std::size_t b) {
    a = Root(a);
    b = Root(b);
    if (a == b) return;
    if (b < a) std::swap(a, b);
    Run& kept = runs_[a];
    const Run& joined = runs_[b];
    kept.left = std::min(kept.left, joined.left);
    kept.right = std::max(kept.right, joined.right);
    kept.top = std::min(kept.top, joined.top);
    kept.bottom = std::max(kept.bottom, joined.bottom);
    runs_[b].parent = a;
  }

  std::vector<Run> runs_;
  std::size_t previousRow_ = 0;
  std::size_t inkDots_ = 0;
};

}  // namespace

PageInk LookForInk(const GrayImage& image, double xDpi, double yDpi) {
  PageInk ink;
  if (image.dots.empty()) return ink;
  const InkLevels levels = InkLevelsOf(image);
  InkGroups groups;
  for (std::uint32_t y = 0; y < image.height; ++y) groups.AddRow(image, levels, y);
  ink.coverage = static_cast<double>(groups.InkDots()) / static_cast<double>(image.dots.size());
  const auto dotsPerInch = [](double dpi) {
    return static_cast<std::uint64_t>(dpi >= 1 ? std::lround(dpi) : kUnknownDpi);
  };
  const std::uint64_t across = dotsPerInch(xDpi);
  const std::uint64_t down = dotsPerInch(yDpi);
  bool longStroke = false;
  groups.ForEachGroup([&](std::uint32_t width, std::uint32_t height) {
    const auto reaches = [&](Inches length) {
      return width * length.denominator >= length.numerator * across ||
             height * length.denominator >= length.numerator * down;
    };
    if (reaches(kLeastMark)) ++ink.marks;
    if (reaches(kLongStroke)) longStroke = true;
  });
  ink.blank = ink.marks < kLeastMarks && !longStroke && !groups.Crowded();
  return ink;
}

}  // namespace kovscan
