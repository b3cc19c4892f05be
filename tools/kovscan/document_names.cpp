#include "tools/kovscan/document_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace kovscan {

namespace {

constexpr std::size_t kLongestName = 100;

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Windows opens a device for these names, whatever the extension.
bool DeviceName(const std::string& name) {
  static const std::array<std::string_view, 4> kPlain = {"con", "prn", "aux", "nul"};
  const std::string stem = Lowered(name.substr(0, name.find('.')));
  if (std::find(kPlain.begin(), kPlain.end(), stem) != kPlain.end()) return true;
  return stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) &&
         stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string SafeFileName(std::string_view text) {
  std::string name;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    name += byte < 0x80 && (std::isalnum(byte) != 0 || c == '-' || c == '_' || c == '.') ? c : '_';
  }
  if (name.size() > kLongestName) name.resize(kLongestName);
  const auto kept = [](char c) { return c != '.'; };
  name.erase(name.begin(), std::find_if(name.begin(), name.end(), kept));
  name.erase(std::find_if(name.rbegin(), name.rend(), kept).base(), name.end());
  return DeviceName(name) ? "_" + name : name;
}

DocumentNames::DocumentNames(std::optional<std::regex> expression)
    : expression_(std::move(expression)) {}

std::optional<std::string> DocumentNames::Matching(const std::vector<std::string>& texts) const {
  if (!expression_) return std::nullopt;
  for (const std::string& text : texts) {
    if (std::regex_search(text, *expression_)) return text;
  }
  return std::nullopt;
}

std::string DocumentNames::NameFor(int number, const std::optional<std::string>& barcode) {
  std::string base = barcode ? SafeFileName(*barcode) : std::string();
  if (base.empty()) {
    char numbered[32];
    std::snprintf(numbered, sizeof numbered, "document-%02d", number);
    base = numbered;
  }
  std::string name = base;
  for (int copy = 2; !given_.insert(Lowered(name)).second; ++copy) {
    name = base + "-" + std::to_string(copy);
  }
  return name;
}

}  // namespace kovscan
