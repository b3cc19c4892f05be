// Documents' file names: a document takes the first barcode text on its pages (separator sheet
// first, then its pages in order) that the user's expression finds, made safe as a file name;
// the others keep their number. A name used already gets "-2", "-3", ...
#pragma once

#include <optional>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kovscan {

// The text as a file name on any system: letters, digits, "-", "_" and "." kept, every other
// character (and each byte of one beyond ASCII) "_", no dot at either end, at most 100
// characters, and not a name Windows keeps for a device. Empty when nothing is left.
std::string SafeFileName(std::string_view text);

class DocumentNames {
 public:
  // Without an expression every document keeps its number.
  explicit DocumentNames(std::optional<std::regex> expression);

  // The first of the texts the expression finds a match in.
  std::optional<std::string> Matching(const std::vector<std::string>& texts) const;
  // The document's name, without its extension: from the barcode text, else its number; unique
  // among the names this object gave.
  std::string NameFor(int number, const std::optional<std::string>& barcode);

 private:
  std::optional<std::regex> expression_;
  std::set<std::string> given_;  // compared without case: Windows' names are
};

}  // namespace kovscan
