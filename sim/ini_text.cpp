#include "sim/ini_text.h"

#include <algorithm>
#include <cctype>

namespace sim {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(
      a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

std::optional<std::string_view> IniText::Find(std::string_view section,
                                              std::string_view key) const {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  const std::string_view text = text_;
  bool inSection = false;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);

    const auto trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') continue;
    if (trimmed.front() == '[') {
      const auto close = trimmed.find(']');
      inSection = close != std::string_view::npos &&
                  SameName(TrimBlanks(trimmed.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (SameName(TrimBlanks(line.substr(0, equals)), key)) return line.substr(equals + 1);
  }
  return std::nullopt;
}

}  // namespace sim
