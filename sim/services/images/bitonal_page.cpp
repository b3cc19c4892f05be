#include "sim/services/images/bitonal_page.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace sim {

BitonalPage BlankPage(std::int32_t width, std::int32_t height, std::int32_t xDpi,
                      std::int32_t yDpi) {
  BitonalPage page;
  page.width = std::max(width, 0);
  page.height = std::max(height, 0);
  page.xResolution = {xDpi, 1};
  page.yResolution = {yDpi, 1};
  page.stride = (static_cast<std::size_t>(page.width) + 63) / 64 * 8;
  page.bits.assign(page.stride * static_cast<std::size_t>(page.height), 0);
  return page;
}

bool IsWellFormed(const BitonalPage& page) {
  if (page.width < 0 || page.height < 0) return false;
  if (page.stride < (static_cast<std::size_t>(page.width) + 7) / 8) return false;
  const auto rows = static_cast<std::size_t>(page.height);
  if (rows != 0 && page.stride > std::numeric_limits<std::size_t>::max() / rows) return false;
  return page.bits.size() >= page.stride * rows;
}

void FillSpan(BitonalPage& page, std::int32_t y, std::int32_t x0, std::int32_t x1) {
  auto* row = page.bits.data() + static_cast<std::size_t>(y) * page.stride;
  // Partial bytes at either end, whole bytes between.
  while (x0 < x1 && x0 % 8 != 0) {
    row[x0 / 8] |= static_cast<std::uint8_t>(0x80u >> (x0 % 8));
    ++x0;
  }
  while (x0 < x1 && x1 % 8 != 0) {
    --x1;
    row[x1 / 8] |= static_cast<std::uint8_t>(0x80u >> (x1 % 8));
  }
  if (x0 < x1) std::fill(row + x0 / 8, row + x1 / 8, std::uint8_t{0xFF});
}

void FillRect(BitonalPage& page, std::int32_t x, std::int32_t y, std::int32_t width,
              std::int32_t height) {
  // Wide enough that far corners do not overflow.
  const auto clip = [](std::int32_t from, std::int32_t size, std::int32_t limit) {
    const auto low = std::clamp<std::int64_t>(from, 0, limit);
    const auto high = std::clamp<std::int64_t>(std::int64_t{from} + size, low, limit);
    return std::pair{static_cast<std::int32_t>(low), static_cast<std::int32_t>(high)};
  };
  const auto [x0, x1] = clip(x, width, page.width);
  const auto [y0, y1] = clip(y, height, page.height);
  for (auto row = y0; row < y1; ++row) FillSpan(page, row, x0, x1);
}

}  // namespace sim
