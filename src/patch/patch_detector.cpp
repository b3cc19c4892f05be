#include "patch/patch_detector.h"

#include "framework/errors.h"
#include "framework/tags.h"
#include "patch/line_scan.h"

using patch::EdgeJudge;
using patch::LineLimits;

std::int32_t ClassifyPatchRow(const std::uint16_t* runs, std::int32_t r, std::int32_t& hints) {
  const LineLimits limits(r);
  EdgeJudge judge(limits, +1, &hints);
  return patch::ScanForward(runs, limits,
                            [&](std::int32_t position, bool) { return judge.Record(position); });
}

std::int32_t ClassifyPatchColumn(const std::uint16_t* runs, std::int32_t r) {
  const LineLimits limits(r);
  EdgeJudge judge(limits, -1, nullptr);
  const std::int32_t code = patch::ScanBackward(
      runs, limits, [&](std::int32_t position, bool) { return judge.Record(position); });
  if (code != 0) return code;
  // Bar 4 may reach the line's first boundary, with no gap before it to end it.
  return judge.CloseLastBar(runs[1]);
}

bool HasWideBar(const std::uint16_t* runs, std::int32_t r) {
  const LineLimits limits(r);
  std::int32_t barStart = 0;
  const std::int32_t found =
      patch::ScanForward(runs, limits, [&](std::int32_t position, bool isBar) {
        if (isBar) {
          barStart = position;
          return 0;
        }
        return position - barStart > limits.wide ? 1 : 0;
      });
  return found != 0;
}

namespace {

constexpr std::uint32_t kLineTableFlags = 1;
// Below this resolution the steps between probed lines are 0: no pattern can be followed.
constexpr std::int32_t kLowestResolution = 50;

// The integer dots per inch of a resolution packed as numerator (low) and denominator (high).
std::int32_t DotsPerInch(QelMemImage image, std::uint32_t tag) {
  std::int32_t packed = 0;
  if (QelMemGetTag(image, tag, &packed) < 0) return 0;
  const auto numerator = static_cast<std::int32_t>(static_cast<std::uint32_t>(packed) & 0xFFFFu);
  const auto denominator = static_cast<std::int32_t>(static_cast<std::uint32_t>(packed) >> 16);
  return denominator != 0 ? numerator / denominator : 0;
}

// The run lists of every row or every column, in a table from the framework's allocator.
class LineTable {
 public:
  explicit LineTable(QelMemImage image) : image_(image) {}
  ~LineTable() { Release(); }
  LineTable(const LineTable&) = delete;
  LineTable& operator=(const LineTable&) = delete;

  // False when the table cannot be had for `count` lines.
  bool Allocate(std::int32_t count) {
    Release();
    lines_ = static_cast<const std::uint16_t**>(
        QelAlloc(static_cast<std::uint32_t>(count) * sizeof(*lines_), kLineTableFlags));
    capacity_ = lines_ != nullptr ? count : 0;
    return lines_ != nullptr;
  }
  std::int32_t Capacity() const { return capacity_; }
  bool Fill(std::uint32_t request, std::int32_t count) {
    return QelMemGetTagArray(image_, request, lines_, count) >= 0;
  }
  const std::uint16_t* Line(std::int32_t index) const { return lines_[index]; }

 private:
  void Release() {
    if (lines_ != nullptr) QelFree(static_cast<void*>(lines_));
    lines_ = nullptr;
    capacity_ = 0;
  }

  QelMemImage image_;
  const std::uint16_t** lines_ = nullptr;
  std::int32_t capacity_ = 0;
};

// Probing one direction of the page: how far apart to probe and where.
struct Pass {
  std::int32_t across;  // resolution across the lines: steps between probes follow it
  std::int32_t start;
  std::int32_t end;
};

struct Confirmation {
  bool confirmed;
  std::int32_t resumeAt;
};

// Follows a candidate found on line e over neighbouring lines until it has run one inch.
template <typename Classify, typename OnBackwardProbe>
Confirmation Confirm(const Pass& pass, std::int32_t e, std::int32_t t, Classify&& classify,
                     OnBackwardProbe&& onBackwardProbe) {
  const std::int32_t step = pass.across / 50;
  const std::int32_t budget = pass.across / 10;
  const std::int32_t length = pass.across;
  std::int32_t mismatches = 0;
  std::int32_t lastMismatch = -1;
  std::int32_t target = 0;
  std::int32_t p = e - step;
  bool firstLineFound = false;
  while (p > pass.start && mismatches < budget) {
    const std::int32_t result = classify(p);
    if (result != t && p + step == lastMismatch) {
      // Two neighbouring probes failed: the pattern begins just after them.
      target = p + 2 * step + length;
      --mismatches;
      firstLineFound = true;
      break;
    }
    if (result != t) {
      ++mismatches;
      lastMismatch = p;
    }
    onBackwardProbe();
    p -= step;
  }
  if (!firstLineFound) target = p + step + length;

  std::int32_t run = 0;
  std::int32_t q = e + step;
  while (q < pass.end && mismatches < budget) {
    const std::int32_t result = classify(q);
    if (result == t && q >= target) return {true, q};
    if (result != t) {
      ++mismatches;
      run = q - step == lastMismatch ? run + 1 : 0;
      lastMismatch = q;
    }
    q += step;
    if (run >= 4) break;
  }
  return {false, q};
}

// A row without a pattern but with hints may cross a patch turned by 90 degrees.
bool LooksTurned(const LineTable& rows, std::int32_t height, std::int32_t e, std::int32_t x) {
  const auto k = static_cast<std::int32_t>(x * 0.015);
  auto wideBarAt = [&](std::int32_t row) {
    return row >= 0 && row < height && HasWideBar(rows.Line(row), x);
  };
  if (wideBarAt(e - k)) return wideBarAt(e + k) || wideBarAt(e - 2 * k);
  return wideBarAt(e + k) && wideBarAt(e + 2 * k);
}

}  // namespace

std::int32_t DetectPatchCode(QelMemImage image) {
  std::int32_t width = 0;
  std::int32_t height = 0;
  QelMemGetTag(image, kTagImageWidth, &width);
  QelMemGetTag(image, kTagImageLength, &height);
  const std::int32_t x = DotsPerInch(image, kTagXResolution);
  const std::int32_t y = DotsPerInch(image, kTagYResolution);
  if (x < kLowestResolution || y < kLowestResolution || width <= 0 || height <= 0) return 0;

  LineTable table(image);
  if (!table.Allocate(height)) return kErrNoMemory;
  if (!table.Fill(kQelMemRowRuns, height)) return 0;

  // Row pass: rows classified along X, probed every quarter inch of Y.
  const Pass rows{y, (y / 5) >> 2, height - y / 5};
  if (rows.start >= rows.end) return 0;
  std::int32_t hints = 0;
  bool turned = false;
  for (std::int32_t e = rows.start; e < rows.end; e += y / 4) {
    const std::int32_t t = ClassifyPatchRow(table.Line(e), x, hints);
    if (t > 0) {
      const Confirmation found = Confirm(
          rows, e, t, [&](std::int32_t row) { return ClassifyPatchRow(table.Line(row), x, hints); },
          [&] { hints = 0; });
      if (found.confirmed) return t;
      e = found.resumeAt;
    } else if (hints != 0 && !turned) {
      turned = LooksTurned(table, height, e, x);
    }
  }
  if (!turned) return 0;

  // Column pass: columns read from their end along Y, probed every quarter inch of X.
  if (table.Capacity() < width && !table.Allocate(width)) return kErrNoMemory;
  if (!table.Fill(kQelMemColumnRuns, width)) return 0;
  const Pass columns{x, (x / 5) >> 2, width - x / 5};
  for (std::int32_t e = columns.start; e < columns.end; e += x / 4) {
    const std::int32_t t = ClassifyPatchColumn(table.Line(e), y);
    if (t <= 0) continue;
    const Confirmation found = Confirm(
        columns, e, t,
        [&](std::int32_t column) { return ClassifyPatchColumn(table.Line(column), y); }, [] {});
    if (found.confirmed) return t;
    e = found.resumeAt;
  }
  return 0;
}
