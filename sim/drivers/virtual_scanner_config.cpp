#include "sim/drivers/virtual_scanner_config.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "framework/messages.h"
#include "sim/services/driver_model/tag_table.h"
#include "sim/services/operations/profile.h"

namespace sim {
namespace {

struct KeyDefault {
  std::string_view key;
  std::string_view value;
};

// A typical duplex feeder scanner with a flatbed.
constexpr std::array<KeyDefault, 21> kDefaults{{
    {"Id", "KOV Virtual Scanner 1.0"},
    {"Resolutions", "100,150,200,240,300,400,600"},
    {"BitDepths", "1,8,24"},
    {"MaxWidthInches", "8.5"},
    {"MaxLengthInches", "14"},
    {"WidthStep", "8"},
    {"LengthStep", "1"},
    {"Pages", "Letter=8.5x11,Legal=8.5x14,A4=8.27x11.69"},
    {"ScanTypes", "2,3,4"},
    {"FeederStatus", "0x3"},
    {"ScanAhead", "1"},
    {"JobSeparators", "0,1,2"},
    {"SendParams", "0"},
    {"PageLevelTag", "0"},
    {"PageSideTag", "0"},
    {"KeyQualifier", "none"},
    {"KeyQualifierAlt", "none"},
    {"Compressions", "1"},
    {"FeederPages", "0"},
    {"ImageFolder", ""},
    {"ImageDpi", "300"},
}};

constexpr std::string_view kNone = "none";

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  while (true) {
    const auto end = text.find(separator);
    parts.push_back(TrimBlanks(text.substr(0, end)));
    if (end == std::string_view::npos) return parts;
    text.remove_prefix(end + 1);
  }
}

std::optional<std::int32_t> AtLeast(std::string_view text, std::int32_t minimum) {
  const auto number = ParseNumber(text);
  if (!number || *number < minimum) return std::nullopt;
  return number;
}

std::optional<std::vector<std::int32_t>> Numbers(std::string_view text, std::int32_t minimum) {
  std::vector<std::int32_t> numbers;
  for (const auto part : Split(text, ',')) {
    const auto number = AtLeast(part, minimum);
    if (!number) return std::nullopt;
    numbers.push_back(*number);
  }
  return numbers;
}

std::optional<std::vector<std::int32_t>> NumbersOrNone(std::string_view text) {
  if (text == kNone) return std::vector<std::int32_t>{};
  return Numbers(text, 0);
}

std::optional<std::optional<std::int32_t>> NumberOrNone(std::string_view text) {
  if (text == kNone) return std::optional<std::int32_t>{};
  if (const auto number = ParseNumber(text)) return number;
  return std::nullopt;
}

std::optional<std::int32_t> Flag(std::string_view text) {
  if (text == "0" || text == "1") return text == "1" ? 1 : 0;
  return std::nullopt;
}

// Decimal, or hexadecimal after "0x".
std::optional<std::int32_t> Bits(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint32_t bits = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), bits, base);
  if (failure != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return static_cast<std::int32_t>(bits);
}

// Up to three decimals; more than a few hundred inches is no scanner's.
std::optional<MilliInches> Inches(std::string_view text) {
  const auto point = text.find('.');
  const auto whole = text.substr(0, point);
  const auto fraction =
      point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  const auto allDigits = [](std::string_view digits) {
    return std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; });
  };
  if (whole.empty() || whole.size() > 3 || fraction.size() > 3 || !allDigits(whole) ||
      !allDigits(fraction)) {
    return std::nullopt;
  }
  MilliInches milli = 0;
  for (const char c : whole) milli = milli * 10 + (c - '0');
  MilliInches scale = 100;
  milli *= 1000;
  for (const char c : fraction) {
    milli += (c - '0') * scale;
    scale /= 10;
  }
  if (milli == 0) return std::nullopt;
  return milli;
}

// "Name=WxL" in inches, separated by commas; "none" for no page list.
std::optional<std::vector<Page>> Pages(std::string_view text) {
  std::vector<Page> pages;
  if (text == kNone) return pages;
  for (const auto part : Split(text, ',')) {
    const auto equals = part.find('=');
    const auto by = part.find('x', equals);
    if (equals == 0 || equals == std::string_view::npos || by == std::string_view::npos) {
      return std::nullopt;
    }
    const auto name = TrimBlanks(part.substr(0, equals));
    const auto width = Inches(TrimBlanks(part.substr(equals + 1, by - equals - 1)));
    const auto length = Inches(TrimBlanks(part.substr(by + 1)));
    if (name.empty() || name.size() >= kStringChoiceSize || !width || !length) return std::nullopt;
    pages.push_back({std::string(name), *width, *length});
  }
  return pages;
}

// Up to 8 bits a dot is gray with one sample; above that, three samples share the bits.
std::optional<std::vector<BitDepth>> Depths(std::string_view text) {
  const auto numbers = Numbers(text, 1);
  if (!numbers) return std::nullopt;
  std::vector<BitDepth> depths;
  for (const auto bits : *numbers) {
    if (bits > 8 && (bits % 3 != 0 || bits / 3 > 16)) return std::nullopt;
    depths.push_back(bits <= 8 ? BitDepth{1, bits} : BitDepth{3, bits / 3});
  }
  return depths;
}

class Section {
 public:
  Section(const IniText* profile, std::string_view name) : profile_(profile), name_(name) {}

  // The key's value in the section, else its default.
  std::string_view operator[](std::string_view key) const {
    if (profile_ != nullptr) {
      if (const auto value = profile_->Find(name_, key)) return TrimBlanks(*value);
    }
    return std::ranges::find(kDefaults, key, &KeyDefault::key)->value;
  }

 private:
  const IniText* profile_;
  std::string_view name_;
};

std::optional<Config> ReadSection(const Section& section) {
  Config config;
  bool valid = true;
  const auto take = [&valid](const auto& parsed, auto& field) {
    if (parsed) {
      field = *parsed;
    } else {
      valid = false;
    }
  };
  config.id = section["Id"];
  take(Numbers(section["Resolutions"], 1), config.resolutions);
  take(Depths(section["BitDepths"]), config.depths);
  take(Inches(section["MaxWidthInches"]), config.maxWidth);
  take(Inches(section["MaxLengthInches"]), config.maxLength);
  take(AtLeast(section["WidthStep"], 1), config.widthStep);
  take(AtLeast(section["LengthStep"], 1), config.lengthStep);
  take(Pages(section["Pages"]), config.pages);
  take(NumbersOrNone(section["ScanTypes"]), config.scanTypes);
  take(Bits(section["FeederStatus"]), config.feederStatus);
  take(Flag(section["ScanAhead"]), config.scanAhead);
  take(Numbers(section["JobSeparators"], 0), config.jobSeparators);
  take(Flag(section["SendParams"]), config.sendParams);
  take(Flag(section["PageLevelTag"]), config.pageLevelTag);
  take(Flag(section["PageSideTag"]), config.pageSideTag);
  take(NumberOrNone(section["KeyQualifier"]), config.keyQualifier);
  take(NumberOrNone(section["KeyQualifierAlt"]), config.keyQualifierAlt);
  take(Numbers(section["Compressions"], 1), config.compressions);
  take(AtLeast(section["FeederPages"], 0), config.feederPages);
  take(AtLeast(section["ImageDpi"], 1), config.imageDpi);
  if (const auto folder = section["ImageFolder"]; !folder.empty()) {
    // A relative folder lies beside the profile.
    config.imageFolder = ProfilePath().parent_path() / std::filesystem::path(std::string(folder));
  }
  if (!valid) return std::nullopt;
  return config;
}

}  // namespace

std::optional<Config> ReadConfig(const IniText* profile, std::string_view name) {
  return ReadSection(Section(profile, name));
}

}  // namespace sim
