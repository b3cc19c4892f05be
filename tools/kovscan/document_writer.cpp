#include "tools/kovscan/document_writer.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>

#include "tools/kovscan/compressions.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

// The page as its PDF shows it, its data read from the page file that holds them as delivered.
PdfImage PdfImageOf(const KOV_PAGEHEADER& header, const std::filesystem::path& file) {
  const PageLayout layout = LayoutOf(header);
  PdfImage image;
  const Compression* compression = CompressionOfCode(header.usCompression);
  image.encoding = compression != nullptr ? compression->pdfEncoding : PdfImage::Encoding::Rows;
  image.width = layout.width;
  image.length = layout.length;
  image.bitsPerSample = layout.bitsPerSample;
  image.samplesPerPixel = layout.samplesPerPixel;
  image.xDpi = layout.xDpi;
  image.yDpi = layout.yDpi;
  image.file = file;
  return image;
}

}  // namespace

DocumentWriter::DocumentWriter(const std::filesystem::path& out, std::vector<Document>& documents,
                               DocumentNames names, Formats formats, OcrPool* ocr,
                               WrittenFiles& written)
    : out_(out),
      documents_(documents),
      names_(std::move(names)),
      formats_(formats),
      ocr_(ocr),
      written_(written) {
  if (formats_.pdf) pdfs_.emplace(ocr_, &written_);
}

void DocumentWriter::Add(BatchPage& page, std::span<const std::uint8_t> data) {
  const bool startsDocument = page.separator && !page.separatorBack;
  if (documents_.empty() || (startsDocument && !documents_.back().pages.empty())) {
    Close();
    Document next;
    next.number = static_cast<int>(documents_.size()) + 1;
    documents_.push_back(std::move(next));
  }
  Document& document = documents_.back();
  if (!document.barcode) document.barcode = names_.Matching(BarcodesOf(page.header));
  if (page.dropped) return;
  page.document = document.number;
  document.pages.push_back(page.number);
  const std::filesystem::path file = out_ / page.file;
  if (ocr_ != nullptr && !page.separator && !page.blank) {
    ocr_->Submit(page.number, file, static_cast<int>(std::lround(LayoutOf(page.header).yDpi)));
  }
  if (formats_.pdf) pdfPages_.push_back({page.number, PdfImageOf(page.header, file)});
  if (!formats_.tiff) return;
  // A page to be shown upright goes in once its turn is found, its data read back then.
  if (ocr_ != nullptr && ocr_->Orients()) {
    tiffWaiting_.push_back({page.number, page.header, file});
    return;
  }
  AddToTiff(page.header, data, 0);
}

void DocumentWriter::AddToTiff(const KOV_PAGEHEADER& header, std::span<const std::uint8_t> data,
                               int degrees) {
  // Begun under a name of its own; named once all its pages are in.
  if (!file_) {
    char begun[40];
    std::snprintf(begun, sizeof begun, "documents/document-%02d.tif", documents_.back().number);
    file_.emplace(out_ / begun, &written_);
  }
  try {
    file_->Add(header, data, degrees);
  } catch (...) {
    // A TIFF a page could not be added to is never put in place.
    file_.reset();
    throw;
  }
}

void DocumentWriter::Close() {
  if (documents_.empty() || documents_.back().pages.empty()) return;
  // A page that cannot go in costs the document its TIFF, not its PDF: told once that is queued.
  std::exception_ptr tiffFailure;
  try {
    for (const TiffPage& page : std::exchange(tiffWaiting_, {})) {
      AddToTiff(page.header, ReadDeliveredData(page.file), UprightTurn(ocr_->TurnOf(page.number)));
    }
  } catch (...) {
    // Nor is a TIFF short of a page ever put in place.
    file_.reset();
    tiffFailure = std::current_exception();
  }
  Document& document = documents_.back();
  document.name = names_.NameFor(document.number, document.barcode);
  if (!pdfPages_.empty()) {
    document.pdf = "documents/" + document.name + ".pdf";
    pdfs_->Add(out_ / document.pdf, std::exchange(pdfPages_, {}));
  }
  if (tiffFailure) std::rethrow_exception(tiffFailure);
  if (!file_) return;
  document.file = "documents/" + document.name + ".tif";
  file_->CommitAs(out_ / document.file);
  file_.reset();
}

void DocumentWriter::Finish() {
  // The PDFs queued are written whatever befalls the last TIFF; the first failure is told.
  std::exception_ptr failure;
  try {
    Close();
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    if (pdfs_) pdfs_->Finish();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  std::erase_if(documents_, [](const Document& document) { return document.pages.empty(); });
  if (failure) std::rethrow_exception(failure);
}

}  // namespace kovscan
