// One OCR engine: the words of a page file as a text layer, a one-page PDF of invisible text
// at the page's size, to be laid over the page's image. One reader per thread; a reader may
// be made on one thread and used on another.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace kovscan {

class OcrReader {
 public:
  // Whether this build reads text at all.
  static bool Available();

  // Throws ArgumentError when the language's data are not installed.
  explicit OcrReader(const std::string& language);
  ~OcrReader();
  OcrReader(const OcrReader&) = delete;
  OcrReader& operator=(const OcrReader&) = delete;

  // The text layer of the page in `image` (a page file as delivered, read at `dpi` when it
  // states none) written to `layer`, a path ending in ".pdf"; false when the page cannot be
  // read or the layer cannot be written.
  bool Read(const std::filesystem::path& image, int dpi, const std::filesystem::path& layer);

 private:
  struct State;  // the OCR library's engine, in the build that has one
  std::unique_ptr<State> state_;
};

}  // namespace kovscan
