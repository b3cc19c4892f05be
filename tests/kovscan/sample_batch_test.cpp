// The sample batch as a reader of its scans relies on it: text set in a real font where the
// page says, known words on every text page, and batches of any length that repeat the plan
// without drawing it again.
#include "tools/samples/sample_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <stdexcept>

#include "sim/drivers/page_images.h"
#include "sim/services/images/bitonal_page.h"
#include "tests/kovscan/program.h"
#include "tests/kovscan/scratch_folder_test.h"
#include "tools/kovscan/scan_command.h"
#include "tools/samples/text_setting.h"

namespace {

constexpr std::int32_t kDpi = 300;

// The box around a page's ink, in dots, right and bottom outside; and how many dots.
struct Ink {
  std::int32_t left = INT_MAX, top = INT_MAX, right = 0, bottom = 0;
  std::size_t dots = 0;
};

Ink InkOf(std::span<const std::uint8_t> bits, std::size_t stride, std::int32_t width,
          std::int32_t height, std::int32_t fromRow = 0, std::int32_t toRow = INT_MAX) {
  Ink ink;
  for (std::int32_t y = fromRow; y < std::min(height, toRow); ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t byte =
          bits[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x / 8)];
      if ((byte >> (7 - x % 8) & 1) == 0) continue;
      ++ink.dots;
      ink.left = std::min(ink.left, x);
      ink.top = std::min(ink.top, y);
      ink.right = std::max(ink.right, x + 1);
      ink.bottom = std::max(ink.bottom, y + 1);
    }
  }
  return ink;
}

Ink InkOf(const sim::BitonalPage& page) {
  return InkOf(page.bits, page.stride, page.width, page.height);
}

sim::BitonalPage Letter() {
  return sim::BlankPage(2550, 3300, kDpi, kDpi);
}

constexpr const char* kParagraphs =
    "The delivery of 24 boxes arrived on Monday, and the driver asked for a signature at the "
    "gate. Please check the contents against the order before the end of the week.\n"
    "\n"
    "Our office is open from 8 to 17 hours. Questions about this invoice go to extension 204, "
    "and payment is due within 30 days of the date above.";

TEST(TextSetting, WordsFillTheAreaFromItsCornerAndNeverLeaveIt) {
  const sim::PageArea area{1.0, 2.0, 4.0, 5.0};
  sim::BitonalPage small = Letter();
  samples::SetText(small, area, kParagraphs, {samples::kSerifFont, 10});
  const Ink ink = InkOf(small);
  ASSERT_GT(ink.dots, 5000u);
  EXPECT_GE(ink.left, 300);
  EXPECT_LE(ink.left, 310) << "lines start at the area's left";
  EXPECT_GE(ink.top, 600);
  EXPECT_LE(ink.top, 650) << "the first line at the area's top";
  EXPECT_LE(ink.right, 1500);
  EXPECT_GE(ink.right, 1300) << "lines run as far as the words fit";
  EXPECT_LE(ink.bottom, 2100);

  // Larger type takes more lines of the same words, in the other font as well.
  for (const char* font : {samples::kSerifFont, samples::kSansFont}) {
    sim::BitonalPage large = Letter();
    samples::SetText(large, area, kParagraphs, {font, 12});
    const Ink larger = InkOf(large);
    EXPECT_GT(larger.bottom, ink.bottom + 100) << font;
    EXPECT_LE(larger.bottom, 2100) << font;
    EXPECT_LE(larger.right, 1500) << font;
  }
}

TEST(TextSetting, RefusesWhatItCannotSetWhereAsked) {
  const auto set = [](const sim::PageArea& area, const char* text, const char* font) {
    sim::BitonalPage page = Letter();
    try {
      samples::SetText(page, area, text, {font, 11});
    } catch (const std::runtime_error& error) {
      return std::string(error.what());
    }
    return std::string("set");
  };
  EXPECT_NE(set({1, 1, 6.5, 0.5}, kParagraphs, samples::kSerifFont).find("does not fit"),
            std::string::npos)
      << "more lines than the area holds";
  EXPECT_NE(set({1, 1, 0.4, 9}, "Acknowledgement", samples::kSerifFont).find("does not fit"),
            std::string::npos)
      << "a word wider than the area";
  EXPECT_NE(set({1, 1, 6.5, 9}, "caf\xc3\xa9", samples::kSerifFont).find("character"),
            std::string::npos);
  EXPECT_NE(set({1, 1, 6.5, 9}, "tab\there", samples::kSerifFont).find("character"),
            std::string::npos);
  EXPECT_NE(set({1, 1, 6.5, 9}, "words", "/no/such/Font.ttf").find("/no/such/Font.ttf"),
            std::string::npos);
  EXPECT_EQ(set({1, 1, 6.5, 9}, "  \n\n  ", samples::kSerifFont), "set") << "nothing to set";
}

class SampleBatch : public kovscan_test::ScratchFolderTest {};

TEST_F(SampleBatch, TextPagesCarryTheirOwnWordsInsideTheMargins) {
  const auto pages = samples::WriteSampleBatch(folder);
  ASSERT_EQ(pages.size(), samples::kPlannedPages);
  std::set<std::string> texts;
  for (const samples::SamplePage& page : pages) {
    SCOPED_TRACE(page.file);
    const bool text = page.kind == "text" || page.kind == "barcode";
    EXPECT_EQ(page.text.empty(), !text);
    if (!text) continue;
    texts.insert(page.text);
    const auto image = sim::ReadPageImage(folder / "pages" / page.file, kDpi);
    ASSERT_TRUE(image.has_value());
    const auto ink = [&image](std::int32_t fromRow, std::int32_t toRow) {
      return InkOf(image->rows, image->format.RowBytes(), image->format.width, image->format.length,
                   fromRow, toRow);
    };
    const Ink all = ink(0, INT_MAX);
    EXPECT_GE(all.left, kDpi);
    EXPECT_GE(all.top, kDpi);
    EXPECT_LE(all.right, image->format.width - kDpi);
    EXPECT_LE(all.bottom, image->format.length - kDpi);
    EXPECT_GT(ink(kDpi, 2 * kDpi).dots, 2'000u) << "text from the top margin down";
    if (page.kind == "barcode") {
      // The text keeps to its part, the code below it to its own.
      EXPECT_EQ(ink(kDpi * 13 / 2, 7 * kDpi).dots, 0u);
      EXPECT_GT(ink(7 * kDpi, 8 * kDpi).dots, 0u);
    }
  }
  EXPECT_EQ(texts.size(), 8u) << "each page says something else";
}

TEST_F(SampleBatch, ALongBatchRepeatsThePlanInFeederOrderOnTheSameFiles) {
  const auto [status, output] =
      kovscan_test::RunKovscan("samples " + (folder / "long").string() + " --pages 30");
  ASSERT_EQ(status, kovscan::kSuccess) << output;
  EXPECT_NE(output.find("30 sample pages"), std::string::npos) << output;

  const auto pages = samples::WriteSampleBatch(folder / "again", 30);
  ASSERT_EQ(pages.size(), 30u);
  std::vector<std::string> expected;
  for (std::size_t at = 0; at < pages.size(); ++at) {
    const samples::SamplePage& page = pages[at];
    const samples::SamplePage& planned = pages[at % samples::kPlannedPages];
    SCOPED_TRACE(page.file);
    EXPECT_EQ(page.kind, planned.kind);
    EXPECT_EQ(page.text, planned.text);
    EXPECT_EQ(page.scannerBarcode, planned.scannerBarcode);
    expected.push_back(page.file);
    if (!page.scannerBarcode.empty()) expected.push_back(page.file + ".txt");
  }
  EXPECT_EQ(pages[0].file, "page-00001.pbm");
  EXPECT_EQ(pages[29].file, "page-00030.pbm");

  // Both batches hold the same names, which sort in feeder order, each sharing the planned
  // page's file (or a copy where links are refused).
  const auto sameFile = [](const std::filesystem::path& a, const std::filesystem::path& b) {
    if (std::filesystem::equivalent(a, b)) return true;
    std::ifstream one(a, std::ios::binary), other(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(one), {},
                      std::istreambuf_iterator<char>(other), {});
  };
  for (const char* batch : {"long", "again"}) {
    const std::filesystem::path at = folder / batch / "pages";
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(at)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected) << batch;
    for (std::size_t page = samples::kPlannedPages; page < pages.size(); ++page) {
      const std::string& file = pages[page].file;
      const std::string& planned = pages[page % samples::kPlannedPages].file;
      EXPECT_TRUE(sameFile(at / file, at / planned)) << batch << " " << file;
      if (!pages[page].scannerBarcode.empty()) {
        EXPECT_TRUE(sameFile(at / (file + ".txt"), at / (planned + ".txt"))) << batch << file;
      }
    }
  }

  EXPECT_EQ(kovscan_test::RunKovscan("samples " + (folder / "none").string() + " --pages 0").first,
            kovscan::kBadArguments);
  EXPECT_THROW(samples::WriteSampleBatch(folder / "huge", samples::kMostPages + 1),
               std::invalid_argument);
}

TEST_F(SampleBatch, KovscanReplacesOnlyItsOwnSampleBatchAndFailsToWriteWithExitFive) {
  using kovscan_test::RunKovscan;
  const auto pictures = [this] {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "batch" / "pages")) {
      count += entry.path().extension() == ".pbm";
    }
    return count;
  };
  const std::string batch = (folder / "batch").string();
  ASSERT_EQ(RunKovscan("samples " + batch + " --pages 14").first, kovscan::kSuccess);
  auto [status, text] = RunKovscan("samples " + batch);
  EXPECT_EQ(status, kovscan::kBadArguments);
  EXPECT_NE(text.find("holds an earlier batch"), std::string::npos) << text;
  EXPECT_EQ(pictures(), 14u);
  std::tie(status, text) = RunKovscan("samples --overwrite " + batch);
  ASSERT_EQ(status, kovscan::kSuccess) << text;
  EXPECT_EQ(pictures(), samples::kPlannedPages) << "none left of the longer batch";

  // A file of the user's beside the pages, a folder among them, a profile of the user's.
  std::ofstream(folder / "batch" / "pages" / "notes.txt") << "mine";
  std::filesystem::create_directories(folder / "batch" / "pages" / "scans");
  for (const char* overwrite : {"", "--overwrite "}) {
    std::tie(status, text) = RunKovscan("samples " + std::string(overwrite) + batch);
    EXPECT_EQ(status, kovscan::kBadArguments) << text;
    EXPECT_NE(text.find("did not write there: pages/notes.txt, pages/scans/;"), std::string::npos)
        << text;
    EXPECT_TRUE(std::filesystem::exists(folder / "batch" / "pages" / "notes.txt"));
    EXPECT_EQ(pictures(), samples::kPlannedPages);
  }
  std::filesystem::create_directories(folder / "own");
  std::ofstream(folder / "own" / "zaft.ini") << "[ZAFT]\nScanner=MINE\n";
  std::tie(status, text) = RunKovscan("samples --overwrite " + (folder / "own").string());
  EXPECT_EQ(status, kovscan::kBadArguments);
  EXPECT_NE(text.find("did not write there: zaft.ini;"), std::string::npos) << text;

  // A full disk: the first page does not fit.
  std::tie(status, text) = RunKovscan("samples " + (folder / "full").string(), 100'000);
  EXPECT_EQ(status, kovscan::kFileFailure) << text;
  EXPECT_NE(text.find("cannot write"), std::string::npos) << text;
  EXPECT_NE(text.find("page-00001.pbm"), std::string::npos) << text;
}

}  // namespace
