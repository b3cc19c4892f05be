// A document as a PDF: every page's data as delivered in an image of its own encoding (Group 3
// and 4 as CCITT fax, JPEG as DCT, uncompressed rows Flate-compressed by the writer), on a page
// of the image's size at its resolution, with the page's text layer, when it has one, laid
// over it. A page found turned is shown upright by the page's /Rotate, never by coding its
// image again. No page is decoded and encoded again. The pages' data
// are read back from their files while the PDF is written, so no document is held in memory.
//
// Plain C++17 here and in the file that writes the PDF: qpdf 11's headers do not compile as
// C++20 with clang, so that one file is built as C++17.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace kovscan {

struct PdfImage {
  enum class Encoding { Rows, Group3, Group3TwoD, Group4, Jpeg };
  Encoding encoding = Encoding::Rows;
  std::uint32_t width = 0;
  std::uint32_t length = 0;
  std::uint16_t bitsPerSample = 1;  // one-bit rows are 1 for black, as the library delivers them
  std::uint16_t samplesPerPixel = 1;
  double xDpi = 0;  // 0: unknown, taken as 72
  double yDpi = 0;
  std::filesystem::path file;  // where its data lie as delivered
  // The clockwise turn the page is shown with (its /Rotate): 0, 90, 180 or 270.
  int degrees = 0;
  // A one-page PDF of invisible text to lay over the image (what OCR read on it, the page
  // turned as shown); empty: none.
  std::filesystem::path textLayer;
};

// A page file's delivered data; throws when they cannot be read.
using DeliveredDataReader = std::function<std::vector<std::uint8_t>(const std::filesystem::path&)>;

class PdfDocument {
 public:
  // Whether this build writes PDF documents at all.
  static bool Available();

  explicit PdfDocument(DeliveredDataReader read);
  ~PdfDocument();
  PdfDocument(const PdfDocument&) = delete;
  PdfDocument& operator=(const PdfDocument&) = delete;

  // Throws std::runtime_error when the text layer cannot be read.
  void Add(const PdfImage& image);
  // Writes the PDF at the path; throws std::runtime_error (the system's reason, or the
  // reader's error) when it cannot be written whole.
  void Write(const std::filesystem::path& path);

 private:
  struct State;  // the PDF library's document, in the build that has one
  std::unique_ptr<State> state_;
};

}  // namespace kovscan
