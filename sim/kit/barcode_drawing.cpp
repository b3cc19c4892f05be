#include "sim/kit/barcode_drawing.h"

#include <algorithm>
#include <cstdint>
#include <exception>

#if KOV_BARCODE_READING
#define ZX_USE_UTF8 1  // texts as UTF-8 std::string
#include <ZXing/BarcodeFormat.h>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#endif

namespace sim {

#if KOV_BARCODE_READING

bool DrawBarcode(BitonalPage& page, const PageArea& area, std::string_view symbology,
                 const std::string& text) {
  const auto format = ZXing::BarcodeFormatFromString(std::string(symbology));
  const auto dpi = page.xResolution.lNumerator / std::max(page.xResolution.lDenominator, 1);
  const auto left = static_cast<std::int32_t>(area.left * dpi);
  const auto top = static_cast<std::int32_t>(area.top * dpi);
  const auto width = static_cast<std::int32_t>(area.width * dpi);
  const auto height = static_cast<std::int32_t>(area.height * dpi);
  if (format == ZXing::BarcodeFormat::None || width <= 0 || height <= 0) return false;
  try {
    const ZXing::BitMatrix matrix =
        ZXing::MultiFormatWriter(format).setMargin(0).encode(text, width, height);
    for (int y = 0; y < matrix.height(); ++y) {
      for (int x = 0; x < matrix.width(); ++x) {
        if (matrix.get(x, y) && left + x < page.width && top + y < page.height) {
          FillSpan(page, top + y, left + x, left + x + 1);
        }
      }
    }
    return matrix.width() <= width + 1 && matrix.height() <= height + 1;
  } catch (const std::exception&) {
    return false;
  }
}

#else

bool DrawBarcode(BitonalPage&, const PageArea&, std::string_view, const std::string&) {
  return false;
}

#endif

}  // namespace sim
