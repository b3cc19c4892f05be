// A page as both barcode readers take it: one byte a dot.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/services/driver_model/page_flow.h"

namespace sim {

struct GrayPage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool bitonal = false;            // from a one-bit page: nothing but 0 and 255
  std::int32_t dpi = 0;            // across the page; 0 when not known
  std::vector<std::uint8_t> dots;  // rows top down, 0 black to 255 white
};

// The page of uncompressed rows in `format` (one bit, 8-bit gray or RGB); none for another
// layout or rows that do not fill the page.
std::optional<GrayPage> GrayPageOf(const PageFormat& format, const std::vector<std::uint8_t>& rows);

}  // namespace sim
