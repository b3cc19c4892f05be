#include "sim/services/text/ini_text.h"

#include <algorithm>
#include <cctype>

namespace sim {

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(
      a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

template <typename Visit>
void IniText::VisitSection(std::string_view section, Visit&& visit) const {
  section = TrimBlanks(section);
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
    if (visit(TrimBlanks(line.substr(0, equals)), line.substr(equals + 1))) return;
  }
}

std::optional<std::string_view> IniText::Find(std::string_view section,
                                              std::string_view key) const {
  key = TrimBlanks(key);
  std::optional<std::string_view> found;
  VisitSection(section, [&](std::string_view name, std::string_view value) {
    if (SameName(name, key)) found = value;
    return found.has_value();
  });
  return found;
}

std::vector<std::pair<std::string_view, std::string_view>> IniText::Entries(
    std::string_view section) const {
  std::vector<std::pair<std::string_view, std::string_view>> entries;
  VisitSection(section, [&](std::string_view name, std::string_view value) {
    entries.emplace_back(name, value);
    return false;
  });
  return entries;
}

}  // namespace sim
