#include "tools/kovscan/document_writer.h"

#include <cstdio>

namespace kovscan {

DocumentWriter::DocumentWriter(const std::filesystem::path& out, std::vector<Document>& documents)
    : out_(out), documents_(documents) {}

void DocumentWriter::Add(BatchPage& page, std::span<const std::uint8_t> data) {
  if (documents_.empty() || (page.separator && !documents_.back().pages.empty())) {
    Close();
    documents_.push_back({static_cast<int>(documents_.size()) + 1, {}, {}});
  }
  if (page.dropped) return;
  Document& document = documents_.back();
  page.document = document.number;
  document.pages.push_back(page.number);
  if (IsJpeg(page.header)) return;
  if (!file_) {
    char name[40];
    std::snprintf(name, sizeof name, "documents/document-%02d.tif", document.number);
    document.file = name;
    file_.emplace(out_ / name);
  }
  file_->Add(page.header, data);
}

void DocumentWriter::Close() {
  if (!file_) return;
  file_->Commit();
  file_.reset();
}

void DocumentWriter::Finish() {
  Close();
  std::erase_if(documents_, [](const Document& document) { return document.pages.empty(); });
}

}  // namespace kovscan
