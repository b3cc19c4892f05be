// Reading the barcodes of a page image, for the barcode component.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/barcode/barcode_settings.h"
#include "sim/services/page_flow.h"

namespace sim {

// The texts of the barcodes on the page (uncompressed rows in `format`), of the kinds the
// settings ask for, at most maxResults, in reading order. None where the build reads no
// barcodes (no zxing-cpp) or the page cannot be looked at.
std::optional<std::vector<std::string>> ReadBarcodes(const PageFormat& format,
                                                     const std::vector<std::uint8_t>& rows,
                                                     const BarcodeSettings& settings);

}  // namespace sim
