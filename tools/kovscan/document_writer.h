// Documents as the pages come: each separator sheet starts the next one, and a document is a
// multi-page TIFF written page by page and put in place, under the name it then has, when the
// next one starts or the batch ends, and/or a PDF written then on a thread of its own, with
// the text OCR reads on its pages when asked. Pages found turned are shown upright in both;
// a TIFF's pages then go in as their turns are found, at the latest when it is put in place.
// Dropped pages go in no file; their barcodes may still name the document. Separator sheets
// and blank pages are neither read nor turned.
#pragma once

#include <filesystem>
#include <optional>
#include <span>

#include "tools/kovscan/batch.h"
#include "tools/kovscan/document_names.h"
#include "tools/kovscan/ocr_pool.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/pdf_queue.h"

namespace kovscan {

class DocumentWriter {
 public:
  // Which files a document gets.
  struct Formats {
    bool tiff = true;
    bool pdf = false;
  };

  // `ocr` null: no text is read and no turn found. `written` lists the documents' files before
  // they are made.
  DocumentWriter(const std::filesystem::path& out, std::vector<Document>& documents,
                 DocumentNames names, Formats formats, OcrPool* ocr, WrittenFiles& written);

  // Puts the page (its separator and dropped marks set) into the current document or a new
  // one, and sets its document number. Throws FileError.
  void Add(BatchPage& page, std::span<const std::uint8_t> data);
  // Puts the last document in place and writes every PDF; documents left without a page are
  // forgotten. Throws FileError.
  void Finish();

 private:
  void Close();
  void AddToTiff(const KOV_PAGEHEADER& header, std::span<const std::uint8_t> data, int degrees);

  // A page waiting for its turn to be found before it goes in the TIFF.
  struct TiffPage {
    int number = 0;
    KOV_PAGEHEADER header{};
    std::filesystem::path file;  // its data as the page's file holds them
  };

  std::filesystem::path out_;
  std::vector<Document>& documents_;
  DocumentNames names_;
  Formats formats_;
  OcrPool* ocr_;
  WrittenFiles& written_;
  std::optional<TiffFile> file_;          // the current document's, from its first TIFF page
  std::vector<TiffPage> tiffWaiting_;     // the current document's
  std::vector<PdfQueue::Page> pdfPages_;  // the current document's
  std::optional<PdfQueue> pdfs_;          // when PDFs are written
};

}  // namespace kovscan
