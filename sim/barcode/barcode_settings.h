// The barcode reader's settings and their text, the component's state.
//
// The text is three entries separated by ";", each key=value, every key exactly once, in any
// order, without blanks:
//   symbologies=Code39,Code128   the barcode kinds to read, names from kSymbologyNames,
//                                at least one, separated by ","
//   tryharder=1                  0 or 1: spend more time on hard-to-read pages
//   maxresults=5                 1 to 100: stop after that many barcodes on a page
// Text() writes the keys in that order and the symbologies in the order of kSymbologyNames.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

inline constexpr std::array<std::string_view, 15> kSymbologyNames{
    "Aztec",   "Codabar",         "Code39",     "Code93", "Code128",
    "DataBar", "DataBarExpanded", "DataMatrix", "EAN8",   "EAN13",
    "ITF",     "PDF417",          "QRCode",     "UPCA",   "UPCE"};

struct BarcodeSettings {
  // Bit i stands for kSymbologyNames[i].
  std::uint32_t symbologies = 0;
  bool tryHarder = false;
  std::uint32_t maxResults = 0;

  // A new reader's settings.
  static BarcodeSettings Defaults();
  // None when the text is not a complete, valid state.
  static std::optional<BarcodeSettings> Parse(std::string_view text);
  std::string Text() const;
};

}  // namespace sim
