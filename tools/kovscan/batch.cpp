#include "tools/kovscan/batch.h"

#include <cstring>

namespace kovscan {

std::string FieldText(const char* field, std::size_t size) {
  const void* end = std::memchr(field, '\0', size);
  return std::string(field, end != nullptr
                                ? static_cast<std::size_t>(static_cast<const char*>(end) - field)
                                : size);
}

const char* StateName(BatchEnd::State state) {
  switch (state) {
    case BatchEnd::State::Complete:
      return "complete";
    case BatchEnd::State::Stopped:
      return "stopped";
    case BatchEnd::State::Failed:
      return "failed";
  }
  return "failed";
}

std::vector<std::string> BarcodesOf(const KOV_PAGEHEADER& header) {
  std::vector<std::string> texts;
  for (const KOV_BARCODE& barcode : header.aBarcodes) {
    const std::string text = FieldText(barcode.szText, sizeof barcode.szText);
    if (barcode.usNumber != 0 && !text.empty()) texts.push_back(text);
  }
  return texts;
}

}  // namespace kovscan
