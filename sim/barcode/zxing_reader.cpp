// The Linux build's reader: zxing-cpp, which reads every kind of the table.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "sim/barcode/barcode_reader.h"

#define ZX_USE_UTF8 1  // texts as UTF-8 std::string
#include <ZXing/ReadBarcode.h>

namespace sim {
namespace {

// A turned page keeps every eighth column: the bars of a turned linear code run along the
// rows, so the columns left out only shorten them (a bar a quarter of an inch long keeps
// nine turned rows at 300 dpi).
constexpr std::size_t kTurnedColumnStep = 8;

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

// A box of the turned page (see TurnedDots) on the page itself.
DotBox UnturnedBox(const DotBox& turned) {
  constexpr auto kStep = static_cast<std::int32_t>(kTurnedColumnStep);
  return {turned.top * kStep, turned.left, turned.bottom * kStep, turned.right};
}

DotBox ScaledBox(const DotBox& box, std::int32_t scale) {
  return {box.left * scale, box.top * scale, box.right * scale, box.bottom * scale};
}

// The page turned a quarter, every kTurnedColumnStep-th column of it a row: row k holds
// column k * kTurnedColumnStep from top to bottom. Built in bands of rows so that the rows
// read stay in the cache while each turned row is written in one run.
std::vector<std::uint8_t> TurnedDots(const GrayPage& page) {
  constexpr std::size_t kBand = 64;
  const auto width = static_cast<std::size_t>(page.width);
  const auto height = static_cast<std::size_t>(page.height);
  const std::size_t turnedRows = (width + kTurnedColumnStep - 1) / kTurnedColumnStep;
  std::vector<std::uint8_t> turned(turnedRows * height);
  const std::uint8_t* dots = page.dots.data();
  for (std::size_t top = 0; top < height; top += kBand) {
    const std::size_t bottom = std::min(height, top + kBand);
    for (std::size_t k = 0; k < turnedRows; ++k) {
      const std::uint8_t* column = dots + k * kTurnedColumnStep;
      std::uint8_t* out = turned.data() + k * height;
      for (std::size_t y = top; y < bottom; ++y) out[y] = column[y * width];
    }
  }
  return turned;
}

// How a view's boxes map onto the page.
enum class Lie { Page, Halved, Turned };

void Collect(const ZXing::ImageView& view, const ZXing::DecodeHints& hints, Lie lie,
             std::vector<FoundBarcode>& found) {
  for (const ZXing::Result& result : ZXing::ReadBarcodes(view, hints)) {
    const auto kind = SymbologyIndex(ZXing::ToString(result.format()));
    if (!result.isValid() || !kind) continue;
    FoundBarcode code{result.text(), *kind, BoxOf(result.position())};
    if (lie == Lie::Halved) code.box = ScaledBox(code.box, 2);
    if (lie == Lie::Turned) code.box = UnturnedBox(code.box);
    found.push_back(std::move(code));
  }
}

ZXing::DecodeHints HintsFor(ZXing::BarcodeFormats formats, bool tryHarder) {
  ZXing::DecodeHints hints;
  hints.setFormats(formats);
  hints.setTryHarder(tryHarder);
  // Downscaling trips an assertion of the packaged library on full pages with linear codes.
  hints.setTryDownscale(false);
  return hints;
}

// A one-bit page is black and white already: each dot is taken as it is, with no threshold
// to look for, which is most of the time a gray page takes. Matrix codes are found however
// they lie; on a page of 300 dpi or more they are looked for at half the resolution, a
// quarter of the dots, which still reads modules of four dots (a third of a millimetre).
// zxing-cpp 1.4 turns no image it does not threshold itself, so linear codes are looked for
// on the page and once more on the page turned a quarter.
std::vector<FoundBarcode> FindOnBitonalPage(const GrayPage& page, ZXing::BarcodeFormats formats,
                                            bool tryHarder) {
  constexpr std::int32_t kHalvedFromDpi = 300;
  ZXing::DecodeHints hints = HintsFor(formats, tryHarder);
  hints.setBinarizer(ZXing::Binarizer::BoolCast);
  hints.setTryRotate(false);
  const ZXing::ImageView view(page.dots.data(), page.width, page.height, ZXing::ImageFormat::Lum);
  std::vector<FoundBarcode> found;

  if (const auto matrix = formats & ZXing::BarcodeFormat::MatrixCodes; !matrix.empty()) {
    hints.setFormats(matrix);
    const bool halved = page.dpi >= kHalvedFromDpi;
    Collect(halved ? view.subsampled(2) : view, hints, halved ? Lie::Halved : Lie::Page, found);
  }
  const auto linear = formats & ZXing::BarcodeFormat::LinearCodes;
  if (linear.empty()) return found;
  hints.setFormats(linear);
  Collect(view, hints, Lie::Page, found);
  const std::vector<std::uint8_t> turned = TurnedDots(page);
  const auto turnedRows = static_cast<int>(turned.size() / static_cast<std::size_t>(page.height));
  Collect(ZXing::ImageView(turned.data(), page.height, turnedRows, ZXing::ImageFormat::Lum), hints,
          Lie::Turned, found);
  return found;
}

}  // namespace

std::uint32_t ReadableKinds() {
  return KindsReadBy(ReaderLibrary::ZXing);
}

std::vector<FoundBarcode> FindBarcodes(const GrayPage& page, const BarcodeSettings& settings) {
  const ZXing::BarcodeFormats formats = FormatsOf(settings.symbologies);
  if (page.bitonal) return FindOnBitonalPage(page, formats, settings.tryHarder);
  // Gray and colour pages: the library's own threshold, codes turned a quarter looked for too.
  const ZXing::ImageView view(page.dots.data(), page.width, page.height, ZXing::ImageFormat::Lum);
  std::vector<FoundBarcode> found;
  Collect(view, HintsFor(formats, settings.tryHarder), Lie::Page, found);
  return found;
}

}  // namespace sim
