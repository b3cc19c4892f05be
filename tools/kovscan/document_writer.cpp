#include "tools/kovscan/document_writer.h"

#include <cstdio>
#include <utility>

namespace kovscan {

DocumentWriter::DocumentWriter(const std::filesystem::path& out, std::vector<Document>& documents,
                               DocumentNames names)
    : out_(out), documents_(documents), names_(std::move(names)) {}

void DocumentWriter::Add(BatchPage& page, std::span<const std::uint8_t> data) {
  if (documents_.empty() || (page.separator && !documents_.back().pages.empty())) {
    Close();
    documents_.push_back({static_cast<int>(documents_.size()) + 1, {}, {}, {}, {}});
  }
  Document& document = documents_.back();
  if (!document.barcode) document.barcode = names_.Matching(BarcodesOf(page.header));
  if (page.dropped) return;
  page.document = document.number;
  document.pages.push_back(page.number);
  if (IsJpeg(page.header)) return;
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
