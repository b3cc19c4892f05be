#include "sim/barcode/barcode_settings.h"

#include <charconv>

namespace sim {
namespace {

constexpr std::string_view kDefaultState =
    "symbologies=Code39,Code128,EAN13,ITF,QRCode;tryharder=1;maxresults=5";

enum Key : std::size_t { kSymbologies, kTryHarder, kMaxResults, kKeyCount };
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
    for (std::size_t i = 0; i < kSymbologyNames.size(); ++i) {
      if (kSymbologyNames[i] == name) {
        bits |= 1u << i;
        return true;
      }
    }
    return false;
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

BarcodeSettings BarcodeSettings::Defaults() {
  return *Parse(kDefaultState);
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
      case kSymbologies: {
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
  std::string text(kKeys[kSymbologies]);
  text += '=';
  std::string_view separator;
  for (std::size_t i = 0; i < kSymbologyNames.size(); ++i) {
    if ((symbologies & (1u << i)) == 0) continue;
    text += separator;
    text += kSymbologyNames[i];
    separator = ",";
  }
  text += ';';
  text += kKeys[kTryHarder];
  text += tryHarder ? "=1;" : "=0;";
  text += kKeys[kMaxResults];
  text += '=';
  text += std::to_string(maxResults);
  return text;
}

}  // namespace sim
