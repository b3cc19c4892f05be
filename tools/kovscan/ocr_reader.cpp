#include "tools/kovscan/ocr_reader.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/renderer.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tools/kovscan/failure.h"

namespace kovscan {

namespace {

struct PixDeleter {
  void operator()(Pix* pix) const { pixDestroy(&pix); }
};

}  // namespace

struct OcrReader::State {
  tesseract::TessBaseAPI api;
};

bool OcrReader::Available() {
  return true;
}

OcrReader::OcrReader(const std::string& language) : state_(std::make_unique<State>()) {
  // The engine's and the image library's messages would run into the progress line.
  setMsgSeverity(L_SEVERITY_NONE);
  const std::vector<std::string> names = {"debug_file"};
  const std::vector<std::string> values = {"/dev/null"};
  const bool started = state_->api.Init(nullptr, language.c_str(), tesseract::OEM_LSTM_ONLY,
                                        nullptr, 0, &names, &values, false) == 0;
  // The engine starts when its first language loads and leaves out any other ("deu" of
  // "eng+deu") that has no data: each is looked for among those loaded.
  std::vector<std::string> loaded;
  if (started) state_->api.GetLoadedLanguagesAsVector(&loaded);
  std::istringstream asked(language);
  for (std::string one; std::getline(asked, one, '+');) {
    if (std::find(loaded.begin(), loaded.end(), one) == loaded.end()) {
      throw ArgumentError("no OCR data for the language \"" + one + "\" (install tesseract-ocr-" +
                          one + ")");
    }
  }
  // A page is a page, not one block of text; Sauvola's local threshold keeps dim or noisy
  // gray pages readable, where the global one loses every word.
  state_->api.SetPageSegMode(tesseract::PSM_AUTO);
  state_->api.SetVariable("thresholding_method", "2");
}

OcrReader::~OcrReader() = default;

bool OcrReader::Read(const std::filesystem::path& image, int dpi,
                     const std::filesystem::path& layer) {
  const std::unique_ptr<Pix, PixDeleter> pix(pixRead(image.string().c_str()));
  if (!pix) return false;
  // Without it the layer's page would be sized at the engine's guess.
  if (pixGetXRes(pix.get()) <= 0) pixSetResolution(pix.get(), dpi, dpi);
  // Text only: the page's own image stays as delivered beneath it.
  std::string base = layer.string();
  base.resize(base.size() - layer.extension().string().size());
  tesseract::TessPDFRenderer renderer(base.c_str(), state_->api.GetDatapath(), true);
  const bool read =
      renderer.BeginDocument("") &&
      state_->api.ProcessPage(pix.get(), 0, image.string().c_str(), nullptr, 0, &renderer) &&
      renderer.EndDocument();
  state_->api.Clear();
  return read && renderer.happy();
}

}  // namespace kovscan
