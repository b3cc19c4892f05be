// The Windows build: no OCR library is cross-built for it, so the scan refuses --ocr and
// --rotate auto before it starts (as it refuses PDF documents, which the text would be laid
// over).
#include <stdexcept>

#include "tools/kovscan/ocr_reader.h"

namespace kovscan {

struct OcrReader::State {};

bool OcrReader::Available() {
  return false;
}

OcrReader::OcrReader(const Tasks&) {
  // The scan asks Available first, so none is ever made.
  throw std::logic_error("no OCR library in this build");
}

OcrReader::~OcrReader() = default;

std::optional<PageTurn> OcrReader::FindTurn(const std::filesystem::path&, int) {
  return std::nullopt;
}

bool OcrReader::Read(const std::filesystem::path&, int, int, const std::filesystem::path&) {
  return false;
}

}  // namespace kovscan
