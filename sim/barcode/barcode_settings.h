// The barcode reader's settings and their text, the component's state.
//
// The text is three entries separated by ";", each key=value, every key exactly once, in any
// order, without blanks:
//   symbologies=Code39,Code128   the barcode kinds to read, names from kSymbologies, at
//                                least one, separated by ","
//   tryharder=1                  0 or 1: spend more time on hard-to-read pages
//   maxresults=5                 1 to 100: stop after that many barcodes on a page
// Text() writes the keys in that order and the symbologies in the order of kSymbologies.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// The libraries that read barcodes, one per build: zxing-cpp on Linux, ZBar in the DLL (Debian
// serves no zxing-cpp source to cross-build).
enum class ReaderLibrary { ZXing, ZBar };

// A kind of barcode the component knows, and which library reads it. The state text names
// every kind in both builds, so that a record carries over; a build refuses the kinds its
// library does not read.
struct Symbology {
  std::string_view name;
  bool readByZXing;
  bool readByZBar;
};

inline constexpr std::array<Symbology, 15> kSymbologies{{
    {"Aztec", true, false},
    {"Codabar", true, true},
    {"Code39", true, true},
    {"Code93", true, true},
    {"Code128", true, true},
    {"DataBar", true, true},
    {"DataBarExpanded", true, true},
    {"DataMatrix", true, false},
    {"EAN8", true, true},
    {"EAN13", true, true},
    {"ITF", true, true},
    {"PDF417", true, false},  // ZBar's decoder of it is unfinished and off
    {"QRCode", true, true},
    {"UPCA", true, true},
    {"UPCE", true, true},
}};

// Where the kind of that name is in kSymbologies; none for a name not there.
constexpr std::optional<std::size_t> SymbologyIndex(std::string_view name) {
  for (std::size_t i = 0; i < kSymbologies.size(); ++i) {
    if (kSymbologies[i].name == name) return i;
  }
  return std::nullopt;
}

// Its bit in a set of kinds (bit i for kSymbologies[i]); 0 for a name not there.
constexpr std::uint32_t SymbologyBit(std::string_view name) {
  const auto index = SymbologyIndex(name);
  return index ? 1u << *index : 0u;
}

// The kinds the library reads, as bits.
constexpr std::uint32_t KindsReadBy(ReaderLibrary library) {
  std::uint32_t kinds = 0;
  for (std::size_t i = 0; i < kSymbologies.size(); ++i) {
    const bool reads =
        library == ReaderLibrary::ZXing ? kSymbologies[i].readByZXing : kSymbologies[i].readByZBar;
    if (reads) kinds |= 1u << i;
  }
  return kinds;
}

// The names of the kinds, in the table's order, with the separator between them.
std::string SymbologyList(std::uint32_t kinds, std::string_view separator);

struct BarcodeSettings {
  // Bit i stands for kSymbologies[i].
  std::uint32_t symbologies = 0;
  bool tryHarder = false;
  std::uint32_t maxResults = 0;

  // A new reader's settings: kinds both libraries read.
  static BarcodeSettings Defaults();
  // None when the text is not a complete, valid state.
  static std::optional<BarcodeSettings> Parse(std::string_view text);
  std::string Text() const;
};

}  // namespace sim
