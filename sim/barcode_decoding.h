// Reading the barcodes of a page image, for the barcode component.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/barcode_settings.h"
#include "sim/bitonal_page.h"
#include "sim/page_flow.h"
#include "sim/page_generator.h"

namespace sim {

// The texts of the barcodes on the page (uncompressed rows in `format`), of the kinds the
// settings ask for, at most maxResults, in reading order. None where the build reads no
// barcodes (no zxing-cpp) or the page cannot be looked at.
std::optional<std::vector<std::string>> ReadBarcodes(const PageFormat& format,
                                                     const std::vector<std::uint8_t>& rows,
                                                     const BarcodeSettings& settings);

// Draws a barcode of that kind (a name of kSymbologyNames) holding the text into the
// rectangle of the page, for test pages and samples. False when the build cannot draw it
// or the rectangle is too small for the code.
bool DrawBarcode(BitonalPage& page, const PageArea& area, std::string_view symbology,
                 const std::string& text);

}  // namespace sim
