// Pages a TWAIN source hands over whole (native transfer): a device-independent bitmap in
// memory, as the page protocol's rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/services/driver_model/page_flow.h"

namespace sim {

struct DibPage {
  PageFormat format;  // size and layout; the resolution is left to the caller
  std::vector<std::uint8_t> rows;
};

// The bitmap (a BITMAPINFOHEADER, its colour table, rows padded to four bytes, bottom-up unless
// its height is negative) top-down in whole-byte rows: one bit a dot with 1 black, 8-bit gray
// with 0 black, 24-bit in red-green-blue order. None, with `fault` saying why, for a bitmap that
// is cut short, compressed or of another depth.
std::optional<DibPage> PageOfDib(std::span<const std::uint8_t> dib, std::string& fault);

}  // namespace sim
