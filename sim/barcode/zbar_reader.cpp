// The DLL's reader: ZBar, cross-built from Debian's source (scripts/windows-codecs). It reads
// no Aztec, DataMatrix or PDF417; the table's column for it says so, and this file's list of
// its kinds must agree with that column.
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "sim/barcode/barcode_reader.h"

// Its C interface; the C++ wrappers the header adds for C++ go unused.
#include <zbar.h>

namespace sim {
namespace {

struct Kind {
  std::string_view name;
  zbar::zbar_symbol_type_t type;
};

constexpr std::array<Kind, 12> kKinds{{
    {"Codabar", zbar::ZBAR_CODABAR},
    {"Code39", zbar::ZBAR_CODE39},
    {"Code93", zbar::ZBAR_CODE93},
    {"Code128", zbar::ZBAR_CODE128},
    {"DataBar", zbar::ZBAR_DATABAR},
    {"DataBarExpanded", zbar::ZBAR_DATABAR_EXP},
    {"EAN8", zbar::ZBAR_EAN8},
    {"EAN13", zbar::ZBAR_EAN13},
    {"ITF", zbar::ZBAR_I25},
    {"QRCode", zbar::ZBAR_QRCODE},
    {"UPCA", zbar::ZBAR_UPCA},
    {"UPCE", zbar::ZBAR_UPCE},
}};

constexpr std::uint32_t KindsListed() {
  std::uint32_t kinds = 0;
  for (const Kind& kind : kKinds) kinds |= SymbologyBit(kind.name);
  return kinds;
}
static_assert(KindsListed() == KindsReadBy(ReaderLibrary::ZBar));

// Every scan line, the most thorough; every second halves the time and still read the
// sample pages.
constexpr int kDensity = 1;
constexpr int kQuickDensity = 2;

std::optional<std::size_t> KindOf(zbar::zbar_symbol_type_t type) {
  for (const Kind& kind : kKinds) {
    if (kind.type == type) return SymbologyIndex(kind.name);
  }
  return std::nullopt;
}

DotBox BoxOf(const zbar::zbar_symbol_t* symbol) {
  const unsigned points = zbar::zbar_symbol_get_loc_size(symbol);
  DotBox box{zbar::zbar_symbol_get_loc_x(symbol, 0), zbar::zbar_symbol_get_loc_y(symbol, 0),
             zbar::zbar_symbol_get_loc_x(symbol, 0), zbar::zbar_symbol_get_loc_y(symbol, 0)};
  for (unsigned i = 1; i < points; ++i) {
    box.left = std::min(box.left, zbar::zbar_symbol_get_loc_x(symbol, i));
    box.top = std::min(box.top, zbar::zbar_symbol_get_loc_y(symbol, i));
    box.right = std::max(box.right, zbar::zbar_symbol_get_loc_x(symbol, i));
    box.bottom = std::max(box.bottom, zbar::zbar_symbol_get_loc_y(symbol, i));
  }
  return box;
}

struct ScannerDeleter {
  void operator()(zbar::zbar_image_scanner_t* scanner) const {
    zbar::zbar_image_scanner_destroy(scanner);
  }
};
struct ImageDeleter {
  void operator()(zbar::zbar_image_t* image) const { zbar::zbar_image_destroy(image); }
};

}  // namespace

std::uint32_t ReadableKinds() {
  return KindsReadBy(ReaderLibrary::ZBar);
}

std::vector<FoundBarcode> FindBarcodes(const GrayPage& page, const BarcodeSettings& settings) {
  const std::unique_ptr<zbar::zbar_image_scanner_t, ScannerDeleter> scanner(
      zbar::zbar_image_scanner_create());
  const std::unique_ptr<zbar::zbar_image_t, ImageDeleter> image(zbar::zbar_image_create());
  // ZBar takes the length as unsigned long, 32 bits on Windows even in the x64 edition.
  if (!scanner || !image || !std::in_range<unsigned long>(page.dots.size())) return {};
  zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
  for (const Kind& kind : kKinds) {
    if ((settings.symbologies & SymbologyBit(kind.name)) != 0) {
      zbar::zbar_image_scanner_set_config(scanner.get(), kind.type, zbar::ZBAR_CFG_ENABLE, 1);
    }
  }
  const int density = settings.tryHarder ? kDensity : kQuickDensity;
  zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_X_DENSITY,
                                      density);
  zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_Y_DENSITY,
                                      density);
  // Eight-bit gray ("Y800"), borrowed: ZBar neither keeps nor frees it.
  zbar::zbar_image_set_format(image.get(), zbar_fourcc('Y', '8', '0', '0'));
  zbar::zbar_image_set_size(image.get(), static_cast<unsigned>(page.width),
                            static_cast<unsigned>(page.height));
  zbar::zbar_image_set_data(image.get(), page.dots.data(),
                            static_cast<unsigned long>(page.dots.size()), nullptr);
  std::vector<FoundBarcode> found;
  if (zbar::zbar_scan_image(scanner.get(), image.get()) <= 0) return found;
  for (const zbar::zbar_symbol_t* symbol = zbar::zbar_image_first_symbol(image.get());
       symbol != nullptr; symbol = zbar::zbar_symbol_next(symbol)) {
    const auto kind = KindOf(zbar::zbar_symbol_get_type(symbol));
    if (!kind) continue;
    found.push_back(
        {std::string(zbar::zbar_symbol_get_data(symbol), zbar::zbar_symbol_get_data_length(symbol)),
         *kind, BoxOf(symbol)});
  }
  return found;
}

}  // namespace sim
