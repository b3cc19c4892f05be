// The library that reads the component's barcodes, one per build behind this interface:
// zxing_reader.cpp (zxing-cpp) on Linux, zbar_reader.cpp (ZBar) in the DLL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/barcode/barcode_settings.h"
#include "sim/barcode/gray_page.h"

namespace sim {

// The smallest upright rectangle around a barcode's corners or the points it was read at,
// in dots of the page, edges included.
struct DotBox {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

struct FoundBarcode {
  std::string text;  // UTF-8
  std::size_t kind;  // in kSymbologies
  DotBox box;
};

// The kinds this build's library reads: the others are refused when asked for.
std::uint32_t ReadableKinds();

// Every barcode of the settings' kinds on the page, in the library's own order; maxResults is
// left to the caller, which puts them in reading order first.
std::vector<FoundBarcode> FindBarcodes(const GrayPage& page, const BarcodeSettings& settings);

}  // namespace sim
