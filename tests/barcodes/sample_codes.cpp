#include "tests/barcodes/sample_codes.h"

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/kit/barcode_drawing.h"
#include "sim/kit/page_generator.h"

namespace barcodes {
namespace {

struct Code {
  const char* symbology;
  const char* text;
  sim::PageArea area;  // inches
  sim::BarcodeLook look;
};

struct SamplePage {
  const char* file;
  std::vector<Code> codes;
};

// In name order, as a folder's pages are read. Codes in the margins or below a short block of
// text, none over it. On a page with several, each starts clearly lower than the one before,
// so that both readers give them in the same order.
const std::vector<SamplePage>& SamplePages() {
  static const std::vector<SamplePage> pages{
      {"code128.pbm", {{"Code128", "INV-2026-0001", {1.0, 7.0, 4.5, 1.2}, {}}}},
      {"code39.pbm", {{"Code39", "KOV39DEMO", {1.0, 7.0, 4.5, 1.2}, {}}}},
      {"none.pbm", {}},
      {"qr-latin1.pbm", {{"QRCode", "Grüße aus Köln", {1.0, 7.0, 2.0, 2.0}, {0, "ISO-8859-1"}}}},
      {"qr-shiftjis.pbm", {{"QRCode", "日本語", {1.0, 7.0, 2.0, 2.0}, {0, "Shift_JIS"}}}},
      {"qr-utf8.pbm", {{"QRCode", "Preis: 12 €", {1.0, 7.0, 2.0, 2.0}, {0, "UTF-8"}}}},
      {"qr.pbm", {{"QRCode", "DOC-3 ORDER 42", {1.0, 7.0, 2.0, 2.0}, {}}}},
      {"several.pbm",
       {{"QRCode", "QR-TWO", {6.8, 0.1, 0.8, 0.8}, {}},
        {"Code128", "CODE-ONE", {0.5, 0.3, 3.0, 0.6}, {}},
        {"Code39", "THREE", {1.0, 10.1, 3.5, 0.6}, {}}}},
      {"turned.pbm",
       {{"Code128", "TURNED-90", {1.0, 8.5, 3.0, 0.6}, {90, ""}},
        {"QRCode", "QR-AT-30", {5.5, 8.3, 1.2, 1.2}, {30, ""}}}},
  };
  return pages;
}

}  // namespace

void WriteSampleCodes(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  std::ofstream drawn(folder / "drawn.txt", std::ios::binary);
  for (const SamplePage& sample : SamplePages()) {
    if (sample.codes.empty()) drawn << sample.file << "\tnone\n";
    for (const Code& code : sample.codes)
      drawn << sample.file << '\t' << code.symbology << '\t' << code.text << '\n';
    sim::PageRecipe recipe = sim::TextPageRecipe(300, 40);
    recipe.text[0].height = 5.5;  // room for the codes below
    sim::BitonalPage page = sim::RenderPage(recipe);
    for (const Code& code : sample.codes) {
      if (!sim::DrawBarcode(page, code.area, code.symbology, code.text, code.look)) {
        throw std::runtime_error(std::string("cannot draw ") + code.symbology + " " + code.text);
      }
    }
    if (!sim::WritePbm(page, folder / sample.file)) {
      throw std::runtime_error("cannot write " + (folder / sample.file).string());
    }
  }
  drawn.close();
  if (!drawn) throw std::runtime_error("cannot write " + (folder / "drawn.txt").string());
}

}  // namespace barcodes
