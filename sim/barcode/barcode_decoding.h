// Reading the barcodes of a page image, for the barcode component.
#pragma once

#include <optional>
#include <vector>

#include "sim/barcode/barcode_reader.h"
#include "sim/services/driver_model/page_flow.h"

namespace sim {

// The barcodes on the page (uncompressed rows in `format`) of the kinds the settings ask for,
// at most maxResults, in reading order: top down, then left to right, so that both builds'
// libraries give one page's codes in the same order. None where the page cannot be looked at.
std::optional<std::vector<FoundBarcode>> ReadBarcodes(const PageFormat& format,
                                                      const std::vector<std::uint8_t>& rows,
                                                      const BarcodeSettings& settings);

}  // namespace sim
