#include "sim/barcode/barcode_decoding.h"

#include <array>
#include <cstring>

#if KOV_BARCODE_READING
#define ZX_USE_UTF8 1  // texts as UTF-8 std::string
#include <ZXing/ReadBarcode.h>
#endif

namespace sim {

#if KOV_BARCODE_READING

namespace {

ZXing::BarcodeFormats FormatsOf(const BarcodeSettings& settings) {
  ZXing::BarcodeFormats formats;
  for (std::size_t i = 0; i < kSymbologyNames.size(); ++i) {
    if ((settings.symbologies >> i & 1) != 0) {
      formats |= ZXing::BarcodeFormatFromString(std::string(kSymbologyNames[i]));
    }
  }
  return formats;
}

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

// One byte a dot, 0 black to 255 white, as the reader takes gray images.
std::optional<std::vector<std::uint8_t>> Luminance(const PageFormat& format,
                                                   const std::vector<std::uint8_t>& rows) {
  const std::size_t stride = format.RowBytes();
  if (format.width <= 0 || format.length <= 0 ||
      rows.size() < stride * static_cast<std::size_t>(format.length)) {
    return std::nullopt;
  }
  const auto width = static_cast<std::size_t>(format.width);
  std::vector<std::uint8_t> gray(width * static_cast<std::size_t>(format.length) + 8);
  for (std::int32_t y = 0; y < format.length; ++y) {
    const std::uint8_t* row = rows.data() + static_cast<std::size_t>(y) * stride;
    std::uint8_t* out = gray.data() + static_cast<std::size_t>(y) * width;
    if (format.bits == 1) {
      // Whole bytes at a time; the spare bytes at the end of the buffer take the last one's tail.
      for (std::size_t i = 0; i < stride; ++i)
        std::memcpy(out + 8 * i, DotsOfByte()[row[i]].data(), 8);
      continue;
    }
    for (std::size_t x = 0; x < width; ++x) {
      if (format.samples == 3) {
        const std::uint8_t* dot = row + 3 * x;
        out[x] = ZXing::RGBToLum(dot[0], dot[1], dot[2]);
      } else {
        out[x] = format.photometric == 0 ? static_cast<std::uint8_t>(255 - row[x]) : row[x];
      }
    }
  }
  gray.resize(width * static_cast<std::size_t>(format.length));
  return gray;
}

}  // namespace

std::optional<std::vector<std::string>> ReadBarcodes(const PageFormat& format,
                                                     const std::vector<std::uint8_t>& rows,
                                                     const BarcodeSettings& settings) {
  if ((format.bits != 1 && format.bits != 8) || format.compression != 1) return std::nullopt;
  const auto gray = Luminance(format, rows);
  if (!gray) return std::nullopt;
  ZXing::DecodeHints hints;
  hints.setFormats(FormatsOf(settings));
  hints.setTryHarder(settings.tryHarder);
  // A one-bit page is black and white already: no threshold to look for.
  if (format.bits == 1) hints.setBinarizer(ZXing::Binarizer::FixedThreshold);
  // Downscaling trips an assertion of the packaged library on full pages with linear codes.
  hints.setTryDownscale(false);
  hints.setMaxNumberOfSymbols(
      static_cast<std::uint8_t>(std::min<std::uint32_t>(settings.maxResults, 255)));
  const ZXing::ImageView view(gray->data(), format.width, format.length, ZXing::ImageFormat::Lum);
  std::vector<std::string> texts;
  for (const ZXing::Result& result : ZXing::ReadBarcodes(view, hints)) {
    if (result.isValid() && texts.size() < settings.maxResults) texts.push_back(result.text());
  }
  return texts;
}

#else

std::optional<std::vector<std::string>> ReadBarcodes(const PageFormat&,
                                                     const std::vector<std::uint8_t>&,
                                                     const BarcodeSettings&) {
  return std::nullopt;
}

#endif

}  // namespace sim
