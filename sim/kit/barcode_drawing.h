// Barcodes drawn on test pages and samples, by the same library that reads them.
#pragma once

#include <string>
#include <string_view>

#include "sim/kit/page_generator.h"
#include "sim/services/bitonal_page.h"

namespace sim {

// Draws a barcode of that kind (a name of kSymbologyNames) holding the text into the
// rectangle of the page. False when the build cannot draw it or the rectangle is too small
// for the code.
bool DrawBarcode(BitonalPage& page, const PageArea& area, std::string_view symbology,
                 const std::string& text);

}  // namespace sim
