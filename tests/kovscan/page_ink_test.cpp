// Blank pages as a reader judges them: pages with a little text, light text or a signature
// are kept and read, sheets with specks or scanner noise are blank, scanned in one bit and
// in gray.
#include "tools/kovscan/page_ink.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <memory>
#include <random>
#include <vector>

#include "sim/kit/page_generator.h"
#include "sim/services/images/bitonal_page.h"
#include "tests/kovscan/program.h"
#include "tests/kovscan/scratch_folder_test.h"
#include "tools/kovscan/scan_command.h"
#include "tools/samples/text_setting.h"

namespace {

// Lower than the sample batch's 300 dpi: marks are measured in inches, and the tests run faster.
constexpr std::int32_t kDpi = 200;

const char* const kProse =
    "The committee met on the fourth of the month to review the accounts of the past year. "
    "Members agreed that the reserve should be kept at its present level and that the printing "
    "of the annual report should go to the firm that printed it last year, at the same price. "
    "The treasurer will write to every member before the next meeting with the figures. ";

sim::BitonalPage Letter() {
  return sim::BlankPage(8 * kDpi + kDpi / 2, 11 * kDpi, kDpi, kDpi);
}

// A letterhead, a date and a salutation: four lines at the top of the sheet.
sim::BitonalPage Letterhead() {
  sim::BitonalPage page = Letter();
  samples::SetText(page, {1.0, 0.6, 6.5, 1.5},
                   "Harbour Trading\n12 Quay Street\n10 December 2026\n"
                   "Dear Ms Morgan,",
                   {samples::kSerifFont, 11});
  return page;
}

sim::BitonalPage OneLine() {
  sim::BitonalPage page = Letter();
  samples::SetText(page, {1.0, 5.0, 6.5, 0.5}, "Please find the signed contract enclosed.",
                   {samples::kSerifFont, 12});
  return page;
}

sim::BitonalPage FullText() {
  sim::BitonalPage page = Letter();
  std::string text;
  for (int paragraph = 0; paragraph < 8; ++paragraph) text += std::string(kProse) + "\n\n";
  samples::SetText(page, {1.0, 1.0, 6.5, 9.0}, text, {samples::kSerifFont, 11});
  return page;
}

// A signature: one stroke, three dots thick, swinging across two inches.
sim::BitonalPage Signature() {
  sim::BitonalPage page = Letter();
  const auto strokeAt = [](int x) {
    return 7 * kDpi + static_cast<int>(40 * std::sin(x / 30.0) + 20 * std::sin(x / 11.0));
  };
  for (int x = 0; x < 2 * kDpi; ++x) {
    const int from = strokeAt(x), to = strokeAt(x + 1);
    sim::FillRect(page, 5 * kDpi + x, std::min(from, to), 3, std::abs(to - from) + 3);
  }
  return page;
}

// A clean sheet but for the specks of dust a feeder gathers.
sim::BitonalPage Specks(std::uint32_t count, std::uint32_t seed) {
  sim::PageRecipe recipe;
  recipe.xDpi = kDpi;
  recipe.yDpi = kDpi;
  recipe.seed = seed;
  recipe.specks = count;
  return sim::RenderPage(recipe);
}

struct Rendition {
  std::uint8_t ink = 0;
  std::uint8_t paper = 255;
  double noise = 0;  // the paper's standard deviation in gray levels
};
constexpr Rendition kBitonal{};
constexpr Rendition kDarkOnTinted{30, 232, 4};
constexpr Rendition kLightGray{150, 240, 3};

// Noise drawn from a table of normal deviates: a page's worth of normal draws is slow.
kovscan::GrayImage Gray(const sim::BitonalPage& page, Rendition rendition) {
  static const std::vector<double> deviates = [] {
    std::mt19937 random(7);
    std::normal_distribution<double> normal;
    std::vector<double> table(1 << 16);
    for (double& deviate : table) deviate = normal(random);
    return table;
  }();
  kovscan::GrayImage image{
      static_cast<std::uint32_t>(page.width), static_cast<std::uint32_t>(page.height), {}};
  image.dots.reserve(std::size_t{image.width} * image.height);
  std::minstd_rand pick(11);
  for (std::int32_t y = 0; y < page.height; ++y) {
    for (std::int32_t x = 0; x < page.width; ++x) {
      const double level = sim::IsBlack(page, x, y) ? rendition.ink : rendition.paper;
      const double dot = level + rendition.noise * deviates[pick() % deviates.size()];
      image.dots.push_back(static_cast<std::uint8_t>(std::clamp(std::lround(dot), 0L, 255L)));
    }
  }
  return image;
}

void WritePgm(const kovscan::GrayImage& image, const std::filesystem::path& path) {
  std::ofstream file(path, std::ios::binary);
  file << "P5\n" << image.width << ' ' << image.height << "\n255\n";
  file.write(reinterpret_cast<const char*>(image.dots.data()),
             static_cast<std::streamsize>(image.dots.size()));
}

struct Case {
  const char* name;
  sim::BitonalPage page;
  Rendition gray;
  bool blank;
};

std::vector<Case> Cases() {
  return {
      {"letterhead", Letterhead(), kDarkOnTinted, false},
      {"one line", OneLine(), kDarkOnTinted, false},
      {"light gray text", FullText(), kLightGray, false},
      {"signature", Signature(), kDarkOnTinted, false},
      {"the sample batch's blank page", Specks(12, 6), kDarkOnTinted, true},
      {"a noisy sheet with specks", Specks(80, 3), Rendition{90, 228, 5}, true},
  };
}

TEST(PageInk, TextAndSignaturesAreNeverBlankSpecksAndNoiseAre) {
  for (const Case& page : Cases()) {
    for (const Rendition rendition : {kBitonal, page.gray}) {
      SCOPED_TRACE(std::string(page.name) + " at ink " + std::to_string(rendition.ink));
      const kovscan::PageInk ink = kovscan::LookForInk(Gray(page.page, rendition), kDpi, kDpi);
      EXPECT_EQ(ink.blank, page.blank) << ink.marks << " marks, ink " << ink.coverage;
    }
  }
  // A sheet of nothing but noise, however strong, has no marks.
  const kovscan::PageInk noise =
      kovscan::LookForInk(Gray(Letter(), Rendition{0, 200, 12}), kDpi, kDpi);
  EXPECT_TRUE(noise.blank);
  EXPECT_EQ(noise.marks, 0u);
}

// Pages read back from files.
class PageInkScan : public kovscan_test::ScratchFolderTest {};

// A one-bit page read back from its file counts its black dots as it is read, and is judged
// as its gray picture is; a row's last byte holds bits that are no dots.
TEST_F(PageInkScan, AOneBitPageIsJudgedByItsCountOfBlackDotsAsByItsLevels) {
  sim::BitonalPage page = OneLine();
  page.width -= 3;  // rows end within a byte
  const std::filesystem::path file = folder / "one-bit.tif";
  {
    const std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(file.c_str(), "w"), TIFFClose);
    ASSERT_TRUE(tiff);
    TIFFSetField(tiff.get(), TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tiff.get(), TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    for (std::int32_t y = 0; y < page.height; ++y) {
      std::vector<std::uint8_t> row(page.bits.begin() + y * static_cast<std::ptrdiff_t>(page.stride),
                                    page.bits.begin() + (y + 1) * static_cast<std::ptrdiff_t>(page.stride));
      row[row.size() - 1] |= 0x07;  // ink past the row's end, as a writer may leave it
      ASSERT_EQ(TIFFWriteScanline(tiff.get(), row.data(), static_cast<std::uint32_t>(y), 0), 1);
    }
  }
  auto picture = kovscan::ReadPicture(file);
  ASSERT_TRUE(picture);
  ASSERT_TRUE(picture->blackDots);
  EXPECT_EQ(*picture->blackDots,
            static_cast<std::size_t>(std::count(picture->dots.begin(), picture->dots.end(), 0)));
  const kovscan::PageInk counted = kovscan::LookForInk(*picture, kDpi, kDpi);
  picture->blackDots.reset();
  const kovscan::PageInk tallied = kovscan::LookForInk(*picture, kDpi, kDpi);
  EXPECT_FALSE(counted.blank);
  EXPECT_EQ(counted.marks, tallied.marks);
  EXPECT_EQ(counted.coverage, tallied.coverage);
}

// Gray pages through the scanner and its JPEG: those with text go into the documents and are
// read, blank ones are dropped.
TEST_F(PageInkScan, GrayPagesWithLittleOrLightTextAreReadAndKept) {
  std::filesystem::create_directories(folder / "pages");
  const std::vector<Case> cases = Cases();
  for (std::size_t at = 0; at < cases.size(); ++at) {
    WritePgm(Gray(cases[at].page, cases[at].gray),
             folder / "pages" / ("page-" + std::to_string(at + 1) + ".pgm"));
  }
  std::ofstream(folder / "zaft.ini")
      << "[ZAFT]\nScanner=GRAYS\n[GRAYS]\nType=VirtualScanner\nImageFolder=pages\nImageDpi=200\n";
  const auto [status, output] =
      kovscan_test::RunKovscan("--profile " + (folder / "zaft.ini").string() +
                               " scan --quiet --dpi 200 --bits 8 --compression jpeg --format pdf "
                               "--drop-blank --ocr eng --out " +
                               (folder / "out").string());
  ASSERT_EQ(status, kovscan::kSuccess) << output;
  std::ifstream file(folder / "out" / "manifest.json");
  const auto manifest = nlohmann::json::parse(file);
  ASSERT_EQ(manifest["pages"].size(), cases.size());
  std::vector<int> kept;
  for (std::size_t at = 0; at < cases.size(); ++at) {
    const auto& page = manifest["pages"][at];
    EXPECT_EQ(page["blank"], cases[at].blank) << cases[at].name << ": " << page.dump();
    if (!cases[at].blank) kept.push_back(static_cast<int>(at + 1));
  }
  ASSERT_EQ(manifest["documents"].size(), 1u);
  EXPECT_EQ(manifest["documents"][0]["pages"].get<std::vector<int>>(), kept);
  EXPECT_EQ(manifest["ocr"]["pagesRead"], kept.size());
  // The one line and the light gray page can be found in the PDF.
  const std::string pdf =
      (folder / "out" / manifest["documents"][0]["pdf"].get<std::string>()).string();
  for (const auto& [place, word] : {std::pair{2, "contract"}, std::pair{3, "treasurer"}}) {
    const auto [extracted, text] =
        kovscan_test::RunProgram("pdftotext -f " + std::to_string(place) + " -l " +
                                 std::to_string(place) + " " + pdf + " -");
    EXPECT_NE(text.find(word), std::string::npos) << "page " << place << ": " << text;
  }
}

}  // namespace
