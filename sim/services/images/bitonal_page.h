// A one-bit page image as scanners deliver it: rows top to bottom, each row's dots packed
// most significant bit first, 1 = black.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/tags.h"

namespace sim {

struct BitonalPage {
  std::int32_t width = 0;   // dots per row
  std::int32_t height = 0;  // rows
  QelRational xResolution{0, 1};
  QelRational yResolution{0, 1};
  std::size_t stride = 0;  // bytes from one row to the next, at least (width + 7) / 8
  std::vector<std::uint8_t> bits;
};

// A white page with rows padded to whole 64-bit words, so that whole words can be read.
BitonalPage BlankPage(std::int32_t width, std::int32_t height, std::int32_t xDpi,
                      std::int32_t yDpi);

// The page's geometry holds together: sizes not negative, rows fit the stride, bits hold
// every row.
bool IsWellFormed(const BitonalPage& page);

inline bool IsBlack(const BitonalPage& page, std::int32_t x, std::int32_t y) {
  const auto byte =
      page.bits[static_cast<std::size_t>(y) * page.stride + static_cast<std::size_t>(x) / 8];
  return (byte >> (7 - x % 8) & 1) != 0;
}

// Blackens the rectangle's dots that lie on the page.
void FillRect(BitonalPage& page, std::int32_t x, std::int32_t y, std::int32_t width,
              std::int32_t height);

// Blackens dots x0 <= x < x1 of one row; the caller keeps them on the page.
void FillSpan(BitonalPage& page, std::int32_t y, std::int32_t x0, std::int32_t x1);

}  // namespace sim
