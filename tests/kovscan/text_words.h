// Words as a search finds them, for comparing what OCR read with the text a page was drawn with.
#pragma once

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

namespace kovscan_test {

// Lower case, without the punctuation around them.
inline std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream stream(text);
  for (std::string word; stream >> word;) {
    std::string plain;
    for (const char c : word) {
      if (std::isalnum(static_cast<unsigned char>(c))) {
        plain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
    }
    if (!plain.empty()) words.push_back(plain);
  }
  return words;
}

}  // namespace kovscan_test
