#include "sim/barcode/barcode_settings.h"

#include <charconv>

namespace sim {
namespace {

constexpr std::uint32_t kDefaultKinds = SymbologyBit("Code39") | SymbologyBit("Code128") |
                                        SymbologyBit("EAN13") | SymbologyBit("ITF") |
                                        SymbologyBit("QRCode");
// A kind a build does not read would be accepted by default and never found.
static_assert((kDefaultKinds & ~KindsReadBy(ReaderLibrary::ZXing)) == 0 &&
              (kDefaultKinds & ~KindsReadBy(ReaderLibrary::ZBar)) == 0);

enum Key : std::size_t { kSymbologyKey, kTryHarder, kMaxResults, kKeyCount };
constexpr std::array<std::string_view, kKeyCount> kKeys{"symbologies", "tryharder", "maxresults"};
constexpr std::uint32_t kMaxResultsLimit = 100;

// Hands each piece between separators to take, empty ones included; false as soon as take
// refuses one.
template <class Take>
bool ForEachPiece(std::string_view text, char separator, Take&& take) {
  for (;;) {
    const auto end = text.find(separator);
    if (!take(text.substr(0, end))) return false;
    if (end == std::string_view::npos) return true;
    text.remove_prefix(end + 1);
  }
}

std::optional<std::uint32_t> ParseSymbologies(std::string_view list) {
  std::uint32_t bits = 0;
  const bool known = ForEachPiece(list, ',', [&](std::string_view name) {
    const std::uint32_t bit = SymbologyBit(name);
    bits |= bit;
    return bit != 0;
  });
  if (!known || bits == 0) return std::nullopt;
  return bits;
}

std::optional<bool> ParseFlag(std::string_view value) {
  if (value == "0") return false;
  if (value == "1") return true;
  return std::nullopt;
}

std::optional<std::uint32_t> ParseMaxResults(std::string_view value) {
  std::uint32_t number = 0;
  const auto* end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, number);
  if (error != std::errc{} || stop != end || number < 1 || number > kMaxResultsLimit) {
    return std::nullopt;
  }
  return number;
}

}  // namespace

std::string SymbologyList(std::uint32_t kinds, std::string_view separator) {
  std::string list;
  for (std::size_t i = 0; i < kSymbologies.size(); ++i) {
    if ((kinds & (1u << i)) == 0) continue;
    if (!list.empty()) list += separator;
    list += kSymbologies[i].name;
  }
  return list;
}

BarcodeSettings BarcodeSettings::Defaults() {
  return {kDefaultKinds, true, 5};
}

std::optional<BarcodeSettings> BarcodeSettings::Parse(std::string_view text) {
  BarcodeSettings settings;
  std::uint32_t seen = 0;
  const bool valid = ForEachPiece(text, ';', [&](std::string_view entry) {
    const auto equals = entry.find('=');
    if (equals == std::string_view::npos) return false;
    const auto key = entry.substr(0, equals);
    const auto value = entry.substr(equals + 1);
    std::size_t k = 0;
    while (k < kKeyCount && kKeys[k] != key) ++k;
    if (k == kKeyCount || (seen & (1u << k)) != 0) return false;
    seen |= 1u << k;
    switch (k) {
      case kSymbologyKey: {
        const auto bits = ParseSymbologies(value);
        settings.symbologies = bits.value_or(0);
        return bits.has_value();
      }
      case kTryHarder: {
        const auto flag = ParseFlag(value);
        settings.tryHarder = flag.value_or(false);
        return flag.has_value();
      }
      default: {
        const auto count = ParseMaxResults(value);
        settings.maxResults = count.value_or(0);
        return count.has_value();
      }
    }
  });
  if (!valid || seen != (1u << kKeyCount) - 1) return std::nullopt;
  return settings;
}

std::string BarcodeSettings::Text() const {
  std::string text(kKeys[kSymbologyKey]);
  text += '=';
  text += SymbologyList(symbologies, ",");
  text += ';';
  text += kKeys[kTryHarder];
  text += tryHarder ? "=1;" : "=0;";
  text += kKeys[kMaxResults];
  text += '=';
  text += std::to_string(maxResults);
  return text;
}

}  // namespace sim
