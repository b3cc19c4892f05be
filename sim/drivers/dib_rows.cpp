#include "sim/drivers/dib_rows.h"

#include <array>
#include <cstring>

namespace sim {
namespace {

constexpr std::size_t kHeaderBytes = 40;    // BITMAPINFOHEADER
constexpr std::uint32_t kUncompressed = 0;  // BI_RGB

template <typename T>
T At(std::span<const std::uint8_t> bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// A colour-table entry's brightness (blue, green, red, reserved).
std::uint8_t Brightness(const std::uint8_t* entry) {
  return static_cast<std::uint8_t>((entry[2] * 299u + entry[1] * 587u + entry[0] * 114u) / 1000u);
}

}  // namespace

std::optional<DibPage> PageOfDib(std::span<const std::uint8_t> dib, std::string& fault) {
  if (dib.size() < kHeaderBytes || At<std::uint32_t>(dib, 0) < kHeaderBytes) {
    fault = "a bitmap without its header";
    return std::nullopt;
  }
  const std::uint32_t headerBytes = At<std::uint32_t>(dib, 0);
  const std::int32_t width = At<std::int32_t>(dib, 4);
  const std::int32_t height = At<std::int32_t>(dib, 8);
  const std::uint16_t bitCount = At<std::uint16_t>(dib, 14);
  const std::uint32_t compression = At<std::uint32_t>(dib, 16);
  const std::uint32_t coloursUsed = At<std::uint32_t>(dib, 32);
  if (compression != kUncompressed || (bitCount != 1 && bitCount != 8 && bitCount != 24)) {
    fault = "a bitmap of " + std::to_string(bitCount) + " bits a dot, compression " +
            std::to_string(compression);
    return std::nullopt;
  }
  // Bounds far beyond any page that keep every product below within 64 bits.
  const std::int64_t rowsUp = height;
  const std::uint64_t length = static_cast<std::uint64_t>(rowsUp < 0 ? -rowsUp : rowsUp);
  if (width <= 0 || width > (1 << 20) || length == 0 || length > (1u << 20)) {
    fault = "a bitmap of " + std::to_string(width) + " by " + std::to_string(height) + " dots";
    return std::nullopt;
  }
  // A table may come with any depth; only up to eight bits do its entries say what a dot is.
  const std::uint64_t colours =
      coloursUsed != 0 ? coloursUsed : (bitCount == 24 ? 0 : 1u << bitCount);
  if (colours > (bitCount == 24 ? 256u : 1u << bitCount)) {
    fault = "a bitmap with " + std::to_string(colours) + " colours";
    return std::nullopt;
  }
  const std::uint64_t stride64 = (static_cast<std::uint64_t>(width) * bitCount + 31) / 32 * 4;
  const std::uint64_t pixels64 = headerBytes + colours * 4;
  if (pixels64 + stride64 * length > dib.size()) {
    fault = "a bitmap cut short: " + std::to_string(dib.size()) + " bytes";
    return std::nullopt;
  }
  // All of it lies within the bytes given, so it counts in their size type.
  const auto stride = static_cast<std::size_t>(stride64);
  const auto pixels = static_cast<std::size_t>(pixels64);
  const auto rowCount = static_cast<std::size_t>(length);

  DibPage page;
  PageFormat& format = page.format;
  format.width = width;
  format.length = static_cast<std::int32_t>(length);
  format.bits = bitCount == 1 ? 1 : 8;
  format.samples = bitCount == 24 ? 3 : 1;
  format.photometric = bitCount == 1 ? 0 : (bitCount == 8 ? 1 : 2);
  const std::size_t rowBytes = format.RowBytes();
  page.rows.resize(rowBytes * rowCount);

  // Each colour-table index as the page's value: 1-bit black is 1, gray is its brightness.
  std::array<std::uint8_t, 256> value{};
  const std::uint8_t* table = dib.data() + headerBytes;
  if (bitCount != 24) {
    for (std::size_t i = 0; i < colours; ++i) value[i] = Brightness(table + 4 * i);
  }
  const bool invertBits = bitCount == 1 && colours == 2 && value[1] > value[0];

  for (std::size_t y = 0; y < rowCount; ++y) {
    const std::size_t source = height > 0 ? rowCount - 1 - y : y;
    const std::uint8_t* in = dib.data() + pixels + source * stride;
    std::uint8_t* out = page.rows.data() + y * rowBytes;
    if (bitCount == 1) {
      for (std::size_t i = 0; i < rowBytes; ++i)
        out[i] = invertBits ? static_cast<std::uint8_t>(~in[i]) : in[i];
    } else if (bitCount == 8) {
      for (std::size_t x = 0; x < rowBytes; ++x) out[x] = value[in[x]];
    } else {
      for (std::size_t x = 0; x < rowBytes; x += 3) {
        out[x] = in[x + 2];
        out[x + 1] = in[x + 1];
        out[x + 2] = in[x];
      }
    }
  }
  WhitenSpareBits(format, page.rows);
  return page;
}

}  // namespace sim
