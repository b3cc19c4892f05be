// Pages found turned: shown upright in the PDF (its /Rotate, as poppler draws it) and the TIFF
// (its Orientation tag), their text laid over the words where a reader sees them; pages with
// nothing to tell by stay as scanned, and a scan without the finder's data is refused.
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <tiffio.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "sim/kit/page_generator.h"
#include "tests/kovscan/program.h"
#include "tests/kovscan/scratch_folder_test.h"
#include "tests/kovscan/text_words.h"
#include "tools/kovscan/failure.h"
#include "tools/kovscan/ocr_reader.h"
#include "tools/samples/sample_batch.h"

namespace {

namespace fs = std::filesystem;
using kovscan_test::RunKovscan;
using kovscan_test::RunProgram;
using kovscan_test::Words;

struct PixDeleter {
  void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixHandle = std::unique_ptr<Pix, PixDeleter>;

nlohmann::json Manifest(const fs::path& out) {
  std::ifstream file(out / "manifest.json");
  return nlohmann::json::parse(file);
}

// The /Rotate of each page of a PDF, as poppler reads it.
std::vector<int> PdfTurns(const fs::path& pdf) {
  const auto [status, info] = RunProgram("pdfinfo -f 1 -l 999 " + pdf.string());
  EXPECT_EQ(status, 0) << info;
  std::vector<int> turns;
  const std::regex line(R"(Page +[0-9]+ rot: +([0-9]+))");
  for (std::sregex_iterator at(info.begin(), info.end(), line), end; at != end; ++at) {
    turns.push_back(std::stoi((*at)[1]));
  }
  return turns;
}

// The Orientation tag of each page of a TIFF (1 where it has none).
std::vector<int> TiffOrientations(const fs::path& file) {
  std::vector<int> orientations;
  const std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(file.c_str(), "r"), TIFFClose);
  EXPECT_TRUE(tiff) << file;
  if (!tiff) return orientations;
  do {
    std::uint16_t orientation = 0;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
    orientations.push_back(orientation);
  } while (TIFFReadDirectory(tiff.get()) == 1);
  return orientations;
}

// The first three words of each paragraph, in order.
std::vector<std::string> ParagraphStarts(const std::string& text) {
  std::vector<std::string> starts;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t end = std::min(text.find("\n\n", from), text.size());
    const auto words = Words(text.substr(from, end - from));
    for (std::size_t at = 0; at < words.size() && at < 3; ++at) starts.push_back(words[at]);
    from = end + 2;
  }
  return starts;
}

// Whether `wanted` appear among `words` in their order.
bool InOrder(const std::vector<std::string>& wanted, const std::vector<std::string>& words) {
  auto at = words.begin();
  for (const std::string& word : wanted) {
    at = std::find(at, words.end(), word);
    if (at == words.end()) return false;
    ++at;
  }
  return true;
}

class Rotate : public kovscan_test::ScratchFolderTest {
 protected:
  // The share of ink in the box of the page's first word as pdftotext places it, on the page
  // as poppler draws it (72 dpi: a dot a point), and how far down the page the word lies.
  struct FirstWord {
    double ink = 0;
    double depth = 1;  // its top, as a share of the page's height
  };
  FirstWord FirstWordOf(const fs::path& pdf, std::size_t place, const std::string& word) {
    const std::string page = std::to_string(place);
    const fs::path boxes = folder / "boxes.html";
    const fs::path drawn = folder / "drawn";
    EXPECT_EQ(RunProgram("pdftotext -bbox -f " + page + " -l " + page + " " + pdf.string() +
                         " " + boxes.string())
                  .first,
              0);
    EXPECT_EQ(RunProgram("pdftoppm -r 72 -gray -singlefile -f " + page + " -l " + page + " " +
                         pdf.string() + " " + drawn.string())
                  .first,
              0);
    std::ifstream file(boxes);
    const std::string html((std::istreambuf_iterator<char>(file)), {});
    const std::regex box(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">)re" +
                         word + "<");
    std::smatch found;
    if (!std::regex_search(html, found, box)) {
      ADD_FAILURE() << word << " is not on page " << place << " of " << pdf;
      return {};
    }
    const PixHandle pix(pixRead((drawn.string() + ".pgm").c_str()));
    if (!pix) {
      ADD_FAILURE() << "poppler drew no page";
      return {};
    }
    const auto x0 = static_cast<l_int32>(std::stod(found[1]));
    const auto y0 = static_cast<l_int32>(std::stod(found[2]));
    const auto x1 = static_cast<l_int32>(std::stod(found[3]));
    const auto y1 = static_cast<l_int32>(std::stod(found[4]));
    std::size_t dots = 0, ink = 0;
    for (l_int32 y = y0; y <= y1 && y < pixGetHeight(pix.get()); ++y) {
      for (l_int32 x = x0; x <= x1 && x < pixGetWidth(pix.get()); ++x) {
        l_uint32 gray = 255;
        pixGetPixel(pix.get(), x, y, &gray);
        ++dots;
        if (gray < 128) ++ink;
      }
    }
    return {dots == 0 ? 0 : static_cast<double>(ink) / static_cast<double>(dots),
            static_cast<double>(y0) / pixGetHeight(pix.get())};
  }
};

TEST_F(Rotate, TurnedPagesAreShownUprightWithTheirTextOnTheirWordsAndSkewedOnesStraight) {
  const auto planned = samples::WriteSampleBatch(folder / "samples", samples::kDuplexPlannedPages,
                                                 {}, samples::SampleSet::Duplex);
  const fs::path out = folder / "out";
  const auto [status, output] = RunProgram(
      "env -u OMP_THREAD_LIMIT " + std::string(KOVSCAN_PROGRAM) + " scan --profile " +
      (folder / "samples" / "zaft.ini").string() + " --out " + out.string() +
      " --duplex --rotate auto --deskew --ocr eng --format both --compression g4 --patches "
      "--drop-blank --quiet");
  ASSERT_EQ(status, kovscan::kSuccess) << output;
  const nlohmann::json manifest = Manifest(out);
  const nlohmann::json& pages = manifest["pages"];
  ASSERT_EQ(pages.size(), planned.size());
  std::size_t turned = 0, straightened = 0, uprightByAscenders = 0;
  for (std::size_t at = 0; at < planned.size(); ++at) {
    const nlohmann::json& page = pages[at];
    EXPECT_EQ(page["header"]["side"], at % 2 == 0 ? "front" : "back") << at;
    if (planned[at].text.empty()) {
      EXPECT_FALSE(page.contains("turn")) << "only pages read are turned: " << at;
      continue;
    }
    ASSERT_TRUE(page.contains("turn")) << at;
    EXPECT_EQ(page["turn"]["degrees"], planned[at].turned) << at;
    EXPECT_EQ(page["turn"]["turned"], planned[at].turned != 0) << at;
    if (planned[at].turned == 0) {
      if (page["turn"]["finder"] == kovscan::kAscenderFinder) ++uprightByAscenders;
      continue;
    }
    // Only Tesseract's finder turns a page; the quick one only vouches for upright pages.
    EXPECT_EQ(page["turn"]["finder"], kovscan::kLetterFinder) << at;
    ++turned;
    // Shown upright in both documents, where the page is in them.
    const nlohmann::json& document =
        manifest["documents"][page["document"].get<std::size_t>() - 1];
    std::size_t place = 1;
    while (document["pages"][place - 1] != page["page"]) ++place;
    const fs::path pdf = out / document["pdf"].get<std::string>();
    EXPECT_EQ(PdfTurns(pdf).at(place - 1), planned[at].turned) << at;
    const int tiffCode = planned[at].turned == 90 ? 6 : planned[at].turned == 180 ? 3 : 8;
    EXPECT_EQ(TiffOrientations(out / document["file"].get<std::string>()).at(place - 1),
              tiffCode)
        << at;
    // Read in order, its first word lying on ink at the top of the page as a reader sees it.
    const auto [extracted, text] = RunProgram("pdftotext -f " + std::to_string(place) + " -l " +
                                              std::to_string(place) + " " + pdf.string() + " -");
    EXPECT_TRUE(InOrder(ParagraphStarts(planned[at].text), Words(text))) << at << "\n" << text;
    const std::string first = planned[at].text.substr(0, planned[at].text.find_first_of(" \n"));
    const FirstWord word = FirstWordOf(pdf, place, first);
    EXPECT_GT(word.ink, 0.1) << at << ": the text layer is not over the word " << first;
    EXPECT_LT(word.depth, 0.25) << at;
  }
  EXPECT_EQ(turned, 3u);
  EXPECT_GT(uprightByAscenders, 0u) << "every upright page went to Tesseract's finder";
  for (std::size_t at = 0; at < planned.size(); ++at) {
    if (planned[at].skew == 0) continue;
    ++straightened;
    EXPECT_EQ(pages[at]["skew"]["straightened"], true) << at;
    EXPECT_NEAR(pages[at]["skew"]["degrees"].get<double>(), planned[at].skew, 0.3) << at;
    // Straight as Leptonica's own finder sees the page written.
    const PixHandle written(pixRead((out / pages[at]["file"].get<std::string>()).c_str()));
    ASSERT_TRUE(written);
    l_float32 degrees = 0, confidence = 0;
    ASSERT_EQ(pixFindSkew(written.get(), &degrees, &confidence), 0);
    EXPECT_LT(std::fabs(degrees), 0.3) << at;
  }
  EXPECT_EQ(straightened, 3u);
  for (const nlohmann::json& document : manifest["documents"]) {
    const auto [listing, images] =
        RunProgram("pdfimages -list " + (out / document["pdf"].get<std::string>()).string());
    ASSERT_EQ(listing, 0) << images;
    // Every page image's encoding: still Group 4.
    const std::regex encoding(R"(\n +[0-9]+ +[0-9]+ image .* (ccitt|jpeg|image|jbig2|jpx) )");
    std::size_t listed = 0;
    for (std::sregex_iterator at(images.begin(), images.end(), encoding), end; at != end; ++at) {
      EXPECT_EQ((*at)[1], "ccitt") << images;
      ++listed;
    }
    EXPECT_EQ(listed, document["pages"].size()) << images;
  }
}

TEST_F(Rotate, APageWithNothingToTellByStaysAsScanned) {
  // Pictures and rules, no text: nothing the finder can read a way up from.
  sim::PageRecipe recipe = sim::TextPageRecipe(300, 5);
  recipe.text.clear();
  recipe.photos = {{1.0, 1.0, 3.0, 2.0}, {4.5, 6.0, 3.0, 3.0}};
  recipe.thinLines = 6;
  fs::create_directories(folder / "feeder");
  ASSERT_TRUE(sim::WritePbm(sim::RenderPage(recipe), folder / "feeder" / "page-1.pbm"));
  std::ofstream(folder / "zaft.ini") << "[ZAFT]\nScanner=PICTURES\n[PICTURES]\n"
                                     << "Type=VirtualScanner\nImageFolder=feeder\n";
  const fs::path out = folder / "out";
  const auto [status, output] =
      RunKovscan("scan --profile " + (folder / "zaft.ini").string() + " --out " + out.string() +
                 " --rotate auto --format both --compression g4 --quiet");
  ASSERT_EQ(status, kovscan::kSuccess) << output;
  const nlohmann::json page = Manifest(out)["pages"][0];
  EXPECT_FALSE(page.contains("turn") && page["turn"]["turned"] == true) << page.dump();
  EXPECT_EQ(PdfTurns(out / "documents" / "document-01.pdf"), std::vector<int>{0});
  EXPECT_EQ(TiffOrientations(out / "documents" / "document-01.tif"), std::vector<int>{1});
}

TEST_F(Rotate, WithoutTheFindersDataTheScanIsRefusedNamingItsPackage) {
  samples::WriteSampleBatch(folder / "samples");
  // The engine's data folder with the English reader's data and not the finder's.
  const char* installed = "/usr/share/tesseract-ocr/5/tessdata";
  fs::create_directories(folder / "tessdata");
  fs::create_symlink(fs::path(installed) / "eng.traineddata", folder / "tessdata" / "eng.traineddata");
  const auto [status, output] = RunProgram(
      "TESSDATA_PREFIX=" + (folder / "tessdata").string() + " " + KOVSCAN_PROGRAM +
      " scan --profile " + (folder / "samples" / "zaft.ini").string() + " --out " +
      (folder / "out").string() + " --rotate auto --ocr eng --format pdf");
  EXPECT_EQ(status, kovscan::kBadArguments) << output;
  EXPECT_NE(output.find("install tesseract-ocr-osd"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(folder / "out")) << "refused before the scan";
}

}  // namespace
