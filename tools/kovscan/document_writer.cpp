#include "tools/kovscan/document_writer.h"

#include <cstdio>
#include <utility>

namespace kovscan {

DocumentWriter::DocumentWriter(const std::filesystem::path& out, std::vector<Document>& documents,
                               DocumentNames names, Formats formats)
    : out_(out), documents_(documents), names_(std::move(names)), formats_(formats) {}

void DocumentWriter::Add(BatchPage& page, std::span<const std::uint8_t> data) {
  if (documents_.empty() || (page.separator && !documents_.back().pages.empty())) {
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
  if (formats_.pdf) {
    if (!pdf_) pdf_.emplace();
    pdf_->Add(page.header, out_ / page.file);
  }
  if (!formats_.tiff || IsJpeg(page.header)) return;
  // Begun under a name of its own; named once all its pages are in.
  if (!file_) {
    char begun[40];
    std::snprintf(begun, sizeof begun, "documents/document-%02d.tif", document.number);
    file_.emplace(out_ / begun);
  }
  file_->Add(page.header, data);
}

void DocumentWriter::Close() {
  if (documents_.empty() || documents_.back().pages.empty()) return;
  Document& document = documents_.back();
  document.name = names_.NameFor(document.number, document.barcode);
  if (pdf_) {
    document.pdf = "documents/" + document.name + ".pdf";
    pdf_->Write(out_ / document.pdf);
    pdf_.reset();
  }
  if (!file_) return;
  document.file = "documents/" + document.name + ".tif";
  file_->CommitAs(out_ / document.file);
  file_.reset();
}

void DocumentWriter::Finish() {
  Close();
  std::erase_if(documents_, [](const Document& document) { return document.pages.empty(); });
}

}  // namespace kovscan
