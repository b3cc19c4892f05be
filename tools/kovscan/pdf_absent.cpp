// The Windows build: no PDF library is cross-built for it, so it writes no PDF documents and
// the scan refuses --format pdf before it starts.
#include <stdexcept>

#include "tools/kovscan/pdf_document.h"

namespace kovscan {

struct PdfDocument::State {};

bool PdfDocument::Available() {
  return false;
}

PdfDocument::PdfDocument(DeliveredDataReader) {
  // The scan asks Available first, so none is ever made.
  throw std::logic_error("no PDF library in this build");
}

PdfDocument::~PdfDocument() = default;

void PdfDocument::Add(const PdfImage&) {}

void PdfDocument::Write(const std::filesystem::path&) {}

}  // namespace kovscan
