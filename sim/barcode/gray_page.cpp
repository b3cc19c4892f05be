#include "sim/barcode/gray_page.h"

#include <array>
#include <cstring>

namespace sim {
namespace {

// The eight gray dots of each one-bit byte, most significant bit first.
const std::array<std::array<std::uint8_t, 8>, 256>& DotsOfByte() {
  static const auto table = [] {
    std::array<std::array<std::uint8_t, 8>, 256> dots{};
    for (std::size_t byte = 0; byte < 256; ++byte) {
      for (std::size_t bit = 0; bit < 8; ++bit)
        dots[byte][bit] = (byte >> (7 - bit) & 1) != 0 ? 0 : 255;
    }
    return dots;
  }();
  return table;
}

// Rec. 601 weights in 1024ths, rounded.
std::uint8_t Luma(const std::uint8_t* rgb) {
  return static_cast<std::uint8_t>((306u * rgb[0] + 601u * rgb[1] + 117u * rgb[2] + 512u) >> 10);
}

}  // namespace

std::optional<GrayPage> GrayPageOf(const PageFormat& format,
                                   const std::vector<std::uint8_t>& rows) {
  const bool known = format.compression == 1 &&
                     ((format.bits == 1 && format.samples == 1) ||
                      (format.bits == 8 && (format.samples == 1 || format.samples == 3)));
  const std::size_t stride = format.RowBytes();
  if (!known || format.width <= 0 || format.length <= 0 ||
      rows.size() < stride * static_cast<std::size_t>(format.length)) {
    return std::nullopt;
  }
  const auto width = static_cast<std::size_t>(format.width);
  const QelRational& resolution = format.xResolution;
  const std::int32_t dpi =
      resolution.lDenominator > 0 ? resolution.lNumerator / resolution.lDenominator : 0;
  GrayPage page{format.width, format.length, format.bits == 1, dpi, {}};
  // Room for a whole last byte of one-bit dots; cut back below.
  page.dots.resize(width * static_cast<std::size_t>(format.length) + 8);
  for (std::int32_t y = 0; y < format.length; ++y) {
    const std::uint8_t* row = rows.data() + static_cast<std::size_t>(y) * stride;
    std::uint8_t* out = page.dots.data() + static_cast<std::size_t>(y) * width;
    if (format.bits == 1) {
      // Whole bytes at a time; the next row overwrites the last byte's spare dots.
      for (std::size_t i = 0; i < stride; ++i)
        std::memcpy(out + 8 * i, DotsOfByte()[row[i]].data(), 8);
    } else if (format.samples == 3) {
      for (std::size_t x = 0; x < width; ++x) out[x] = Luma(row + 3 * x);
    } else {
      for (std::size_t x = 0; x < width; ++x)
        out[x] = format.photometric == 0 ? static_cast<std::uint8_t>(255 - row[x]) : row[x];
    }
  }
  page.dots.resize(width * static_cast<std::size_t>(format.length));
  return page;
}

}  // namespace sim
