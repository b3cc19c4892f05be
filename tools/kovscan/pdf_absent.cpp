// The Windows build: no PDF library is cross-built for it, so it writes no PDF documents and
// refuses --format pdf before scanning.
#include <stdexcept>

#include "tools/kovscan/pdf_document.h"

namespace kovscan {

bool PdfDocument::Available() {
  return false;
}

struct PdfDocument::State {};

PdfDocument::PdfDocument() {
  // The scan refuses --format pdf before it starts (Available), so none is ever made.
  throw std::logic_error("no PDF library in this build");
}

PdfDocument::~PdfDocument() = default;

void PdfDocument::Add(const KOV_PAGEHEADER&, const std::filesystem::path&) {}

void PdfDocument::Write(const std::filesystem::path&) {}

}  // namespace kovscan
