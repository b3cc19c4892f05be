#include "sim/barcode/barcode_decoding.h"

#include <algorithm>

#include "sim/barcode/gray_page.h"

namespace sim {

std::optional<std::vector<FoundBarcode>> ReadBarcodes(const PageFormat& format,
                                                      const std::vector<std::uint8_t>& rows,
                                                      const BarcodeSettings& settings) {
  const auto page = GrayPageOf(format, rows);
  if (!page) return std::nullopt;
  std::vector<FoundBarcode> found = FindBarcodes(*page, settings);
  std::ranges::stable_sort(found, [](const FoundBarcode& a, const FoundBarcode& b) {
    return a.box.top != b.box.top ? a.box.top < b.box.top : a.box.left < b.box.left;
  });
  if (found.size() > settings.maxResults) found.resize(settings.maxResults);
  return found;
}

}  // namespace sim
