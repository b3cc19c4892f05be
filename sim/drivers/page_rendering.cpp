#include "sim/drivers/page_rendering.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

// Gray below this is ink on a one-bit page.
constexpr std::uint8_t kInkBelow = 128;

// The dot as gray 0 (black) to 255 (white) and as colour.
struct Dot {
  std::uint8_t gray;
  std::uint8_t rgb[3];
};

Dot DotAt(const PageImage& image, std::int64_t x, std::int64_t y) {
  const PageFormat& format = image.format;
  if (x < 0 || y < 0 || x >= format.width || y >= format.length) return {255, {255, 255, 255}};
  const std::uint8_t* row = image.rows.data() + static_cast<std::size_t>(y) * format.RowBytes();
  if (format.bits == 1) {
    const bool black = (row[x / 8] >> (7 - x % 8) & 1) != 0;
    const std::uint8_t level = black ? 0 : 255;
    return {level, {level, level, level}};
  }
  if (format.samples == 3) {
    const std::uint8_t* dot = row + 3 * x;
    const auto gray =
        static_cast<std::uint8_t>((dot[0] * 299 + dot[1] * 587 + dot[2] * 114) / 1000);
    return {gray, {dot[0], dot[1], dot[2]}};
  }
  return {row[x], {row[x], row[x], row[x]}};
}

// The image dot under target dot `at` along one axis.
std::int64_t SourceDot(std::int64_t at, std::int32_t offset, const QelRational& target,
                       std::int32_t sourceDpi) {
  if (target.lNumerator <= 0 || target.lDenominator <= 0) return -1;
  return (at + offset) * sourceDpi * target.lDenominator / target.lNumerator;
}

}  // namespace

void RenderPageImage(const PageImage& image, const PageFormat& target,
                     std::vector<std::uint8_t>& rows) {
  const std::size_t rowBytes = target.RowBytes();
  rows.assign(rowBytes * static_cast<std::size_t>(std::max(target.length, 0)), 0);
  const PageFormat& source = image.format;
  const std::int32_t sourceDpi = source.xResolution.lNumerator;
  const bool sameLayout = source.bits == target.bits && source.samples == target.samples &&
                          source.photometric == target.photometric;
  const bool sameGrid =
      target.xResolution.lNumerator == sourceDpi * target.xResolution.lDenominator &&
      target.yResolution.lNumerator == sourceDpi * target.yResolution.lDenominator &&
      target.xPosition == 0 && target.yPosition == 0;
  for (std::int32_t y = 0; y < target.length; ++y) {
    std::uint8_t* row = rows.data() + static_cast<std::size_t>(y) * rowBytes;
    const std::int64_t sy = SourceDot(y, target.yPosition, target.yResolution, sourceDpi);
    if (sameLayout && sameGrid && sy < source.length) {
      // Already what the scanner delivers: the image's own row, cut or padded with white.
      const std::size_t count = std::min(rowBytes, source.RowBytes());
      std::memcpy(row, image.rows.data() + static_cast<std::size_t>(sy) * source.RowBytes(), count);
      if (target.width < source.width && target.bits == 1 && target.width % 8 != 0) {
        row[rowBytes - 1] &= static_cast<std::uint8_t>(0xFF << (8 - target.width % 8));
      }
      if (target.bits != 1 && count < rowBytes) std::memset(row + count, 255, rowBytes - count);
      continue;
    }
    for (std::int32_t x = 0; x < target.width; ++x) {
      const Dot dot =
          DotAt(image, SourceDot(x, target.xPosition, target.xResolution, sourceDpi), sy);
      if (target.bits == 1) {
        if (dot.gray < kInkBelow) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      } else if (target.samples == 3) {
        std::memcpy(row + 3 * static_cast<std::size_t>(x), dot.rgb, 3);
      } else {
        row[x] = dot.gray;
      }
    }
  }
}

std::vector<std::uint8_t> RenderPageImage(const PageImage& image, const PageFormat& target) {
  std::vector<std::uint8_t> rows;
  RenderPageImage(image, target, rows);
  return rows;
}

}  // namespace sim
