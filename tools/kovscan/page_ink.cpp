#include "tools/kovscan/page_ink.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
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

// Paper is every gray level within the contrast of the paper's own; ink is any other.
class InkLevels {
 public:
  InkLevels(int paper, int contrast)
      : darkest_(std::max(0, paper - contrast)),
        span_(static_cast<unsigned>(std::min(255, paper + contrast) - darkest_)) {}
  bool IsInk(std::uint8_t level) const { return static_cast<unsigned>(level - darkest_) > span_; }
  // Whether any of the sixteen dots is ink: a test without branches, which the compiler
  // turns into a few vector instructions, as most of a page's rows are paper.
  bool AnyInk(const std::uint8_t* dots) const {
    bool any = false;
    for (int i = 0; i < 16; ++i) any |= IsInk(dots[i]);
    return any;
  }

 private:
  int darkest_;
  unsigned span_;
};

std::array<std::size_t, 256> Histogram(const GrayImage& image) {
  std::array<std::size_t, 256> histogram{};
  if (image.blackDots) {
    histogram[0] = *image.blackDots;
    histogram[255] = image.dots.size() - *image.blackDots;
    return histogram;
  }
  const std::vector<std::uint8_t>& dots = image.dots;
  // Four tallies taken in turn: with one, each count would wait for the one before, as
  // neighbouring dots nearly always share their level.
  std::array<std::array<std::size_t, 256>, 4> tallies{};
  const std::size_t whole = dots.size() / 4 * 4;
  for (std::size_t at = 0; at < whole; at += 4) {
    ++tallies[0][dots[at]];
    ++tallies[1][dots[at + 1]];
    ++tallies[2][dots[at + 2]];
    ++tallies[3][dots[at + 3]];
  }
  for (std::size_t at = whole; at < dots.size(); ++at) ++tallies[0][dots[at]];
  for (const auto& tally : tallies) {
    for (std::size_t level = 0; level < 256; ++level) histogram[level] += tally[level];
  }
  return histogram;
}

// Ink is what lies further than the contrast from the paper, the page's middle level (most of
// any page is paper).
InkLevels InkLevelsOf(const GrayImage& image) {
  const std::array<std::size_t, 256> histogram = Histogram(image);
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
  return InkLevels(paper, std::max(kLeastContrast, kNoiseSpreads * (level(3, 4) - paper)));
}

// Groups of touching ink dots (a dot touches the eight around it), found from the runs of
// ink in each row: a run joins the group of every run it touches in the row above.
class InkGroups {
 public:
  void AddRow(const GrayImage& image, const InkLevels& levels, std::uint32_t y) {
    const std::uint8_t* const dots = image.dots.data() + std::size_t{y} * image.width;
    const std::size_t rowStart = runs_.size();
    std::size_t above = previousRow_;
    for (std::uint32_t x = 0; x < image.width;) {
      if (x + 16 <= image.width && !levels.AnyInk(dots + x)) {
        x += 16;
        continue;
      }
      if (!levels.IsInk(dots[x])) {
        ++x;
        continue;
      }
      const std::uint32_t start = x;
      while (x < image.width && levels.IsInk(dots[x])) ++x;
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
