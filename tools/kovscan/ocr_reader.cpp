#include "tools/kovscan/ocr_reader.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/renderer.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/kovscan/failure.h"

namespace kovscan {

namespace {

struct PixDeleter {
  void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixHandle = std::unique_ptr<Pix, PixDeleter>;

// Starts the engine on the languages named; the first of them without data, or none. The
// engine starts when its first language loads and leaves out any other ("deu" of "eng+deu")
// that has none, so each is looked for among those loaded.
std::optional<std::string> Start(tesseract::TessBaseAPI& api, const std::string& languages,
                                 tesseract::OcrEngineMode mode) {
  const std::vector<std::string> names = {"debug_file"};
  const std::vector<std::string> values = {"/dev/null"};
  const bool started =
      api.Init(nullptr, languages.c_str(), mode, nullptr, 0, &names, &values, false) == 0;
  std::vector<std::string> loaded;
  if (started) api.GetLoadedLanguagesAsVector(&loaded);
  std::istringstream asked(languages);
  for (std::string one; std::getline(asked, one, '+');) {
    if (std::find(loaded.begin(), loaded.end(), one) == loaded.end()) return one;
  }
  return std::nullopt;
}

// Pages scanned at twice this or more are looked at halved by the orientation finders.
constexpr l_int32 kLeastTurnDpi = 120;

// Leptonica's ascender finder is made for 1-bit pages of 150 to 300 dots an inch.
constexpr l_int32 kLeastAscenderDpi = 150;
constexpr l_int32 kMostAscenderDpi = 300;

// Leptonica's confidence that the page stands upright, where it is sure by its own thresholds;
// none where it is not, or finds the page turned. It looks at strokes only, no letter
// classified, so it takes a tenth of Tesseract's time, and misjudged it would only leave a
// page as scanned, as an unsure finder does.
std::optional<double> UprightByAscenders(Pix* pix) {
  for (const l_int32 dpi : {pixGetXRes(pix), pixGetYRes(pix)}) {
    if (dpi < kLeastAscenderDpi || dpi > kMostAscenderDpi) return std::nullopt;
  }
  const PixHandle binary(pixGetDepth(pix) == 1 ? pixClone(pix) : pixConvertTo1(pix, 128));
  l_float32 up = 0;
  l_float32 left = 0;
  l_int32 orientation = L_TEXT_ORIENT_UNKNOWN;
  if (!binary || pixOrientDetect(binary.get(), &up, &left, 0, 0) != 0 ||
      makeOrientDecision(up, left, 0, 0, &orientation, 0) != 0 || orientation != L_TEXT_ORIENT_UP) {
    return std::nullopt;
  }
  return up;
}

// The page file as an image the engines take, its resolution set when the file states none.
PixHandle ReadPage(const std::filesystem::path& image, int dpi) {
  PixHandle pix(pixRead(image.string().c_str()));
  if (pix && pixGetXRes(pix.get()) <= 0) pixSetResolution(pix.get(), dpi, dpi);
  return pix;
}

}  // namespace

struct OcrReader::State {
  std::optional<tesseract::TessBaseAPI> reader;
  std::optional<tesseract::TessBaseAPI> orienter;
};

bool OcrReader::Available() {
  return true;
}

OcrReader::OcrReader(const Tasks& tasks) : state_(std::make_unique<State>()) {
  // The engine's and the image library's messages would run into the progress line.
  setMsgSeverity(L_SEVERITY_NONE);
  // The orientation finder's engine is its own: its classifier is not the reader's.
  if (tasks.orient && Start(state_->orienter.emplace(), "osd", tesseract::OEM_TESSERACT_ONLY)) {
    throw ArgumentError("no data for finding how pages are turned (install tesseract-ocr-osd)");
  }
  // Judging each letter four ways up is most of the finder's work, and it judges five times
  // this many whenever the page has them: a hundred letters tell a printed page's way up as
  // surely as the 250 it takes by default.
  if (tasks.orient) state_->orienter->SetVariable("min_characters_to_try", "20");
  if (!tasks.language) return;
  tesseract::TessBaseAPI& api = state_->reader.emplace();
  if (const auto missing = Start(api, *tasks.language, tesseract::OEM_LSTM_ONLY)) {
    throw ArgumentError("no OCR data for the language \"" + *missing +
                        "\" (install tesseract-ocr-" + *missing + ")");
  }
  // A page is a page, not one block of text; Sauvola's local threshold keeps dim or noisy
  // gray pages readable, where the global one loses every word.
  api.SetPageSegMode(tesseract::PSM_AUTO);
  api.SetVariable("thresholding_method", "2");
}

OcrReader::~OcrReader() = default;

std::optional<PageTurn> OcrReader::FindTurn(const std::filesystem::path& image, int dpi) {
  tesseract::TessBaseAPI& api = *state_->orienter;
  PixHandle pix = ReadPage(image, dpi);
  if (!pix) return std::nullopt;
  // Letters at half a scanner's resolution are still plain to both finders, and finding them
  // (the page's rules and pictures taken out first) costs a quarter.
  if (pixGetXRes(pix.get()) >= 2 * kLeastTurnDpi && pixGetYRes(pix.get()) >= 2 * kLeastTurnDpi) {
    const l_int32 xDpi = pixGetXRes(pix.get());
    const l_int32 yDpi = pixGetYRes(pix.get());
    pix.reset(pixGetDepth(pix.get()) == 1 ? pixReduceRankBinary2(pix.get(), 1, nullptr)
                                          : pixScaleAreaMap2(pix.get()));
    if (!pix) return std::nullopt;
    // The finders size what they take for letters by the resolution.
    pixSetResolution(pix.get(), xDpi / 2, yDpi / 2);
  }
  // Most pages come upright: the quick finder spares them the thorough one.
  if (const auto upright = UprightByAscenders(pix.get())) {
    return PageTurn{0, *upright, kAscenderFinder};
  }
  api.SetImage(pix.get());
  int rotated = 0;
  float confidence = 0;
  const char* script = nullptr;
  float scriptConfidence = 0;
  const bool found = api.DetectOrientationScript(&rotated, &confidence, &script, &scriptConfidence);
  api.Clear();
  if (!found) return std::nullopt;
  // The finder tells how far the page was turned clockwise; turning it back is the rest of
  // the circle.
  return PageTurn{(360 - rotated) % 360, confidence, kLetterFinder};
}

bool OcrReader::Read(const std::filesystem::path& image, int dpi, int degrees,
                     const std::filesystem::path& layer) {
  tesseract::TessBaseAPI& api = *state_->reader;
  PixHandle pix = ReadPage(image, dpi);
  if (!pix) return false;
  if (degrees % 360 != 0) {
    const l_int32 xDpi = pixGetXRes(pix.get());
    const l_int32 yDpi = pixGetYRes(pix.get());
    pix.reset(pixRotateOrth(pix.get(), degrees / 90));
    if (!pix) return false;
    if (degrees % 180 != 0) pixSetResolution(pix.get(), yDpi, xDpi);
  }
  // Text only: the page's own image stays as delivered beneath it.
  std::string base = layer.string();
  base.resize(base.size() - layer.extension().string().size());
  tesseract::TessPDFRenderer renderer(base.c_str(), api.GetDatapath(), true);
  const bool read = renderer.BeginDocument("") &&
                    api.ProcessPage(pix.get(), 0, image.string().c_str(), nullptr, 0, &renderer) &&
                    renderer.EndDocument();
  api.Clear();
  return read && renderer.happy();
}

}  // namespace kovscan
