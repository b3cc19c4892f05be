// The Linux build's reader: zxing-cpp, which reads every kind of the table.
#include <algorithm>
#include <string>

#include "sim/barcode/barcode_reader.h"

#define ZX_USE_UTF8 1  // texts as UTF-8 std::string
#include <ZXing/ReadBarcode.h>

namespace sim {
namespace {

ZXing::BarcodeFormats FormatsOf(std::uint32_t kinds) {
  ZXing::BarcodeFormats formats;
  for (std::size_t i = 0; i < kSymbologies.size(); ++i) {
    if ((kinds >> i & 1) != 0) {
      formats |= ZXing::BarcodeFormatFromString(std::string(kSymbologies[i].name));
    }
  }
  return formats;
}

DotBox BoxOf(const ZXing::Position& corners) {
  DotBox box{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
  for (const auto& corner : corners) {
    box.left = std::min(box.left, corner.x);
    box.top = std::min(box.top, corner.y);
    box.right = std::max(box.right, corner.x);
    box.bottom = std::max(box.bottom, corner.y);
  }
  return box;
}

}  // namespace

std::uint32_t ReadableKinds() {
  return KindsReadBy(ReaderLibrary::ZXing);
}

std::vector<FoundBarcode> FindBarcodes(const GrayPage& page, const BarcodeSettings& settings) {
  ZXing::DecodeHints hints;
  hints.setFormats(FormatsOf(settings.symbologies));
  hints.setTryHarder(settings.tryHarder);
  // A one-bit page is black and white already: no threshold to look for, which halves the
  // time. But zxing-cpp 1.4 does not turn such an image, so trying harder keeps the default
  // binarizer, which finds quarter-turned linear codes too.
  if (page.bitonal && !settings.tryHarder) hints.setBinarizer(ZXing::Binarizer::FixedThreshold);
  // Downscaling trips an assertion of the packaged library on full pages with linear codes.
  hints.setTryDownscale(false);
  const ZXing::ImageView view(page.dots.data(), page.width, page.height, ZXing::ImageFormat::Lum);
  std::vector<FoundBarcode> found;
  for (const ZXing::Result& result : ZXing::ReadBarcodes(view, hints)) {
    const auto kind = SymbologyIndex(ZXing::ToString(result.format()));
    if (result.isValid() && kind) found.push_back({result.text(), *kind, BoxOf(result.position())});
  }
  return found;
}

}  // namespace sim
