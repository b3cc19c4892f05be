#include "tools/samples/sample_batch.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "sim/kit/barcode_drawing.h"
#include "sim/kit/page_generator.h"

namespace samples {

namespace {

constexpr std::int32_t kDpi = 300;

struct Plan {
  const char* kind;
  std::uint32_t seed;
  const char* symbology;  // for a barcode page
  const char* text;       // its barcode
  const char* scannerBarcode;
  sim::PatchTurn turn = sim::PatchTurn::Upright;
};

// Three documents: each after the first starts behind a patch sheet; one has a blank page.
constexpr Plan kPlans[] = {
    {"text", 1, nullptr, nullptr, nullptr},
    {"barcode", 2, "Code128", "INV-2026-0001", nullptr},
    {"text", 3, nullptr, nullptr, "SCANNER-0001"},
    {"patch2", 4, nullptr, nullptr, nullptr},
    {"barcode", 5, "Code39", "KOV39DEMO", nullptr},
    {"blank", 6, nullptr, nullptr, nullptr},
    {"text", 7, nullptr, nullptr, nullptr},
    {"patchT", 8, nullptr, nullptr, nullptr, sim::PatchTurn::Turned},
    {"barcode", 9, "QRCode", "DOC-3 ORDER 42", nullptr},
    {"patch3", 10, nullptr, nullptr, nullptr},
    {"text", 11, nullptr, nullptr, "SCANNER-0002"},
    {"barcode", 12, "Code128", "INV-2026-0004", nullptr},
};

std::string_view BarsOf(std::string_view kind) {
  if (kind == "patch3") return sim::kPatch3Bars;
  if (kind == "patchT") return sim::kPatchTBars;
  return sim::kPatch2Bars;
}

sim::BitonalPage Render(const Plan& plan) {
  const std::string_view kind = plan.kind;
  if (kind == "blank") {
    sim::PageRecipe recipe;
    recipe.seed = plan.seed;
    recipe.specks = 12;  // paper is never quite clean
    return sim::RenderPage(recipe);
  }
  if (kind.starts_with("patch")) {
    sim::PageRecipe recipe;
    recipe.seed = plan.seed;
    sim::PatchSymbol symbol;
    symbol.bars = std::string(BarsOf(kind));
    symbol.turn = plan.turn;
    symbol.left = 3.0;
    symbol.top = 4.0;
    recipe.patches.push_back(symbol);
    return sim::RenderPage(recipe);
  }
  sim::PageRecipe recipe = sim::TextPageRecipe(kDpi, plan.seed);
  if (plan.symbology != nullptr) recipe.text[0].height = 5.5;  // room for the code below
  sim::BitonalPage page = sim::RenderPage(recipe);
  if (plan.symbology != nullptr) {
    const bool square = std::string_view(plan.symbology) == "QRCode";
    const sim::PageArea area{1.0, 7.0, square ? 2.0 : 4.5, square ? 2.0 : 1.2};
    if (!sim::DrawBarcode(page, area, plan.symbology, plan.text)) {
      throw std::runtime_error(std::string("cannot draw a ") + plan.symbology + " barcode");
    }
  }
  return page;
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

std::vector<SamplePage> WriteSampleBatch(const std::filesystem::path& folder) {
  const std::filesystem::path pages = folder / "pages";
  std::filesystem::create_directories(pages);
  for (const auto& old : std::filesystem::directory_iterator(pages)) {
    std::filesystem::remove(old.path());
  }
  std::vector<SamplePage> written;
  int number = 0;
  for (const Plan& plan : kPlans) {
    char name[32];
    std::snprintf(name, sizeof name, "page-%02d.pbm", ++number);
    if (!sim::WritePbm(Render(plan), pages / name)) {
      throw std::runtime_error("cannot write " + (pages / name).string());
    }
    SamplePage page{name, plan.kind, {}, {}};
    if (plan.text != nullptr) page.barcodes.emplace_back(plan.text);
    if (plan.scannerBarcode != nullptr) {
      page.scannerBarcode = plan.scannerBarcode;
      WriteText(pages / (std::string(name) + ".txt"),
                std::string("barcodes=") + plan.scannerBarcode + "\n");
    }
    written.push_back(page);
  }
  WriteText(folder / "zaft.ini", std::string("[ZAFT]\nScanner=") + kScannerName + "\n[" +
                                     kScannerName +
                                     "]\nType=VirtualScanner\nId=KOV Demo Scanner\n"
                                     "ImageFolder=pages\nImageDpi=300\n");
  return written;
}

}  // namespace samples
