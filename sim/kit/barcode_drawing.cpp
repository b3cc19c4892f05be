#include "sim/kit/barcode_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <numbers>

#if KOV_BARCODE_DRAWING
#define ZX_USE_UTF8 1  // texts as UTF-8 std::string
#include <ZXing/BarcodeFormat.h>
#include <ZXing/BitMatrix.h>
#include <ZXing/CharacterSet.h>
#include <ZXing/MultiFormatWriter.h>
#endif

namespace sim {

#if KOV_BARCODE_DRAWING

namespace {

// Blackens each page dot whose centre falls on a black module of the code, turned about the
// area's centre: the page dot is turned back into the code's own grid.
void Paint(BitonalPage& page, const ZXing::BitMatrix& code, double centreX, double centreY,
           double turn) {
  const double radians = turn * std::numbers::pi / 180.0;
  const double cosine = std::cos(radians);
  const double sine = std::sin(radians);
  const double reach = std::hypot(code.width(), code.height()) / 2.0 + 1.0;
  const auto first = [](double from) { return std::max(0, static_cast<int>(std::floor(from))); };
  const int x0 = first(centreX - reach);
  const int y0 = first(centreY - reach);
  const int x1 = std::min(page.width, static_cast<int>(std::ceil(centreX + reach)));
  const int y1 = std::min(page.height, static_cast<int>(std::ceil(centreY + reach)));
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const double dx = x + 0.5 - centreX;
      const double dy = y + 0.5 - centreY;
      const auto u = static_cast<int>(std::floor(dx * cosine - dy * sine + code.width() / 2.0));
      const auto v = static_cast<int>(std::floor(dx * sine + dy * cosine + code.height() / 2.0));
      if (u >= 0 && u < code.width() && v >= 0 && v < code.height() && code.get(u, v)) {
        FillSpan(page, y, x, x + 1);
      }
    }
  }
}

}  // namespace

bool DrawBarcode(BitonalPage& page, const PageArea& area, std::string_view symbology,
                 const std::string& text, const BarcodeLook& look) {
  const auto format = ZXing::BarcodeFormatFromString(std::string(symbology));
  const auto dpi = page.xResolution.lNumerator / std::max(page.xResolution.lDenominator, 1);
  const auto left = static_cast<std::int32_t>(area.left * dpi);
  const auto top = static_cast<std::int32_t>(area.top * dpi);
  const auto width = static_cast<std::int32_t>(area.width * dpi);
  const auto height = static_cast<std::int32_t>(area.height * dpi);
  if (format == ZXing::BarcodeFormat::None || width <= 0 || height <= 0) return false;
  ZXing::MultiFormatWriter writer(format);
  writer.setMargin(0);
  if (!look.characterSet.empty()) {
    const auto characterSet = ZXing::CharacterSetFromString(look.characterSet);
    if (characterSet == ZXing::CharacterSet::Unknown) return false;
    writer.setEncoding(characterSet);
  }
  try {
    const ZXing::BitMatrix code = writer.encode(text, width, height);
    // Turned about its own centre, with its corner where the area's is: a code narrower than
    // the area keeps to the area's left.
    Paint(page, code, left + code.width() / 2.0, top + code.height() / 2.0, look.turn);
    return code.width() <= width + 1 && code.height() <= height + 1;
  } catch (const std::exception&) {
    return false;
  }
}

#else

bool DrawBarcode(BitonalPage&, const PageArea&, std::string_view, const std::string&,
                 const BarcodeLook&) {
  return false;
}

#endif

}  // namespace sim
