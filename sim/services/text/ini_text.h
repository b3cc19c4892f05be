// Looks up values in the text of an ini file.
//
// Section and key names are trimmed and compared without regard to case. A value is
// everything after the first '=' up to the line ending, blanks included, because the library
// tells " 1" from "1". Lines starting with ';' or '#' are comments. The first match wins.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sim {

// The text without blanks, tabs and carriage returns at either end.
std::string_view TrimBlanks(std::string_view text);
// Whether two names are the same without regard to case, as sections and keys are compared.
bool SameName(std::string_view a, std::string_view b);

class IniText {
 public:
  explicit IniText(std::string text) : text_(std::move(text)) {}

  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
  // Every key of the section (trimmed) with its value, in the order of the text.
  std::vector<std::pair<std::string_view, std::string_view>> Entries(
      std::string_view section) const;

 private:
  // Calls visit(key, value) for each entry of the section until it answers true.
  template <typename Visit>
  void VisitSection(std::string_view section, Visit&& visit) const;

  std::string text_;
};

}  // namespace sim
