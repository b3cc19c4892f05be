// Barcodes drawn on test pages and samples, by zxing-cpp's writer (Linux; elsewhere nothing is
// drawn).
#pragma once

#include <string>
#include <string_view>

#include "sim/kit/page_generator.h"
#include "sim/services/images/bitonal_page.h"

namespace sim {

// How a barcode is drawn besides its kind and text.
struct BarcodeLook {
  double turn = 0;  // degrees, counter-clockwise about the area's centre
  // The character set its bytes hold the text in, by zxing-cpp's name ("ISO-8859-1",
  // "UTF-8", "Shift_JIS"); empty for the writer's own choice.
  std::string characterSet;
};

// Draws a barcode of that kind (a name of kSymbologies) holding the text into the rectangle
// of the page, turned as the look says. False when the build cannot draw it or the rectangle
// is too small for the code.
bool DrawBarcode(BitonalPage& page, const PageArea& area, std::string_view symbology,
                 const std::string& text, const BarcodeLook& look = {});

}  // namespace sim
