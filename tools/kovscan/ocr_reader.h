// One OCR engine: how far a page file is turned, and its words as a text layer, a one-page PDF
// of invisible text at the upright page's size, to be laid over the page's image. One reader
// per thread; a reader may be made on one thread and used on another.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace kovscan {

// Tesseract's orientation finder's margin between the likeliest way up and the next, summed
// over the hundred letters it judges: printed text pages score 5 to 10, turned or not (half as
// many letters give half the margin); a page with too few letters is not judged at all.
inline constexpr double kSureTurn = 5.0;

// The finders that tell how a page is turned: Leptonica's count of letters' ascenders against
// their descenders, quick and trusted only to say a page stands upright, and Tesseract's
// orientation finder, which judges everything else.
inline constexpr const char* kAscenderFinder = "leptonica";
inline constexpr const char* kLetterFinder = "tesseract";

// How far a page must turn, clockwise, to stand upright, as a finder sees it.
struct PageTurn {
  int degrees = 0;  // 0, 90, 180 or 270
  // On the finder's own scale; Tesseract's is acted on at kSureTurn and more.
  double confidence = 0;
  const char* finder = kLetterFinder;
  // Acted on: sure, and turned at all.
  bool Turned() const { return degrees != 0 && confidence >= kSureTurn; }
};

// The clockwise turn a page is shown with: the turn found when it is acted on, else none.
inline int UprightTurn(const std::optional<PageTurn>& turn) {
  return turn && turn->Turned() ? turn->degrees : 0;
}

class OcrReader {
 public:
  // What a reader does with a page.
  struct Tasks {
    std::optional<std::string> language;  // read the page's text in this language ("eng+deu")
    bool orient = false;                  // find how far the page is turned
  };

  // Whether this build reads text and finds turns at all.
  static bool Available();

  // Throws ArgumentError when the data a task needs are not installed: the language's, or
  // the orientation finder's.
  explicit OcrReader(const Tasks& tasks);
  ~OcrReader();
  OcrReader(const OcrReader&) = delete;
  OcrReader& operator=(const OcrReader&) = delete;

  // The turn of the page in `image` (a page file, read at `dpi` when it states none); none
  // when the page cannot be read or holds too little to tell. Only for a reader that orients.
  std::optional<PageTurn> FindTurn(const std::filesystem::path& image, int dpi);
  // The text layer of the page in `image` (a page file as delivered, read at `dpi` when it
  // states none), turned `degrees` clockwise first, written to `layer`, a path ending in
  // ".pdf"; false when the page cannot be read or the layer cannot be written. Only for a
  // reader with a language.
  bool Read(const std::filesystem::path& image, int dpi, int degrees,
            const std::filesystem::path& layer);

 private:
  struct State;  // the OCR library's engines, in the build that has them
  std::unique_ptr<State> state_;
};

}  // namespace kovscan
