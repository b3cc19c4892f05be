// A document as a PDF: every page's data as delivered in an image of its own encoding (Group 3
// and 4 as CCITT fax, JPEG as DCT, uncompressed rows Flate-compressed by the writer), on a page
// of the image's size at its resolution. No page is decoded and encoded again. The pages' data
// are read back from their files while the PDF is written, so no document is held in memory.
#pragma once

#include <filesystem>
#include <memory>

#include "tools/kovscan/scan_session.h"

namespace kovscan {

class PdfDocument {
 public:
  // Whether this build writes PDF documents at all.
  static bool Available();

  PdfDocument();
  ~PdfDocument();
  PdfDocument(const PdfDocument&) = delete;
  PdfDocument& operator=(const PdfDocument&) = delete;

  // The page whose delivered data lie in its page file (a TIFF strip or a JPEG file).
  void Add(const KOV_PAGEHEADER& header, const std::filesystem::path& pageFile);
  // Written whole at the path, or not at all. Throws FileError.
  void Write(const std::filesystem::path& path);

 private:
  struct State;  // the PDF library's document, in the build that has one
  std::unique_ptr<State> state_;
};

}  // namespace kovscan
