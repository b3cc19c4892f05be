// The OCR pool, the PDF writer's queue and the documents' writer as the scan uses them, on
// sample pages.
#include "tools/kovscan/ocr_pool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tests/kovscan/program.h"
#include "tools/kovscan/document_writer.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/pdf_queue.h"
#include "tools/samples/sample_batch.h"

namespace {

TEST(OcrPool, EveryPageHandedOverIsReadOnceAndAStopLeavesTheQueueUnread) {
  const auto folder = kovscan_test::MakeScratchFolder();
  ASSERT_FALSE(folder.empty());
  const auto pages = samples::WriteSampleBatch(folder);
  const auto page = [&](std::size_t i) { return folder / "pages" / pages.at(i).file; };
  {
    kovscan::OcrPool pool({{"eng"}, 1, 1, folder / "layers"});
    pool.Submit(1, page(0), 300);
    pool.Submit(2, folder / "no such page.pbm", 300);
    pool.Submit(3, page(2), 300);  // waits for a slot: the queue holds one
    pool.Submit(4, page(6), 300);
    pool.Abandon();
    EXPECT_EQ(pool.Pending(), 1u) << "the page being read is finished";
    const auto layer = pool.TakeLayer(1);
    ASSERT_FALSE(layer.empty());
    EXPECT_TRUE(std::filesystem::exists(layer));
    EXPECT_TRUE(pool.TakeLayer(1).empty()) << "handed out once";
    EXPECT_TRUE(pool.TakeLayer(2).empty()) << "not a page";
    EXPECT_TRUE(pool.TakeLayer(4).empty()) << "abandoned";
    EXPECT_TRUE(pool.TakeLayer(9).empty()) << "never submitted";
    pool.TakeLayer(3);
    const kovscan::OcrCounts counts = pool.Totals();
    EXPECT_EQ(counts.read + counts.failed + counts.abandoned, 4u);
    EXPECT_EQ(counts.failed, 1u);
    EXPECT_GE(counts.abandoned, 1u);
    EXPECT_GT(counts.longestWait, 0.0);
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "layers")) << "layers not taken are removed";
  EXPECT_THROW(kovscan::OcrPool({{"xx"}, 1, 1, folder / "layers"}), kovscan::ArgumentError);
  std::filesystem::remove_all(folder);
}

TEST(OcrPool, TurnsAreFoundBeforeAnyPageIsReadAndEveryTurnAskedForIsSettled) {
  const auto folder = kovscan_test::MakeScratchFolder();
  ASSERT_FALSE(folder.empty());
  const auto pages = samples::WriteSampleBatch(folder, samples::kDuplexPlannedPages, {},
                                               samples::SampleSet::Duplex);
  const auto page = [&](std::size_t i) { return folder / "pages" / pages.at(i).file; };
  ASSERT_EQ(pages.at(6).turned, 90);
  {
    // One engine, both tasks: the turns of pages queued behind a page being read come first.
    kovscan::OcrPool pool({{"eng", true}, 1, 8, folder / "layers"});
    pool.Submit(1, page(0), 300);
    pool.Submit(7, page(6), 300);
    pool.Submit(9, folder / "no such page.pbm", 300);
    const auto turn = pool.TurnOf(7);
    ASSERT_TRUE(turn);
    EXPECT_EQ(turn->degrees, 90);
    EXPECT_TRUE(turn->Turned());
    EXPECT_GE(pool.Pending(), 1u) << "found while the first page waits to be read";
    EXPECT_FALSE(pool.TurnOf(9)) << "not a page";
    EXPECT_FALSE(pool.TurnOf(2)) << "never submitted";
    EXPECT_FALSE(pool.TakeLayer(7).empty()) << "read upright";
  }
  {
    // Finding turns alone: no layers; a stop settles every turn still queued.
    kovscan::OcrPool pool({{std::nullopt, true}, 1, 8, folder / "layers"});
    for (int number = 1; number <= 6; ++number) pool.Submit(number, page(6), 300);
    pool.Abandon();
    for (int number = 1; number <= 6; ++number) pool.TurnOf(number);
    EXPECT_EQ(pool.Pending(), 0u);
    EXPECT_TRUE(pool.TakeLayer(1).empty());
  }
  std::filesystem::remove_all(folder);
}

}  // namespace

// Two pages of a scan of the sample batch, for the PDF queue and the documents' writer alone.
class ScannedPages : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = kovscan_test::MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    samples::WriteSampleBatch(folder / "batch");
    const auto [status, output] = kovscan_test::RunKovscan(
        "--profile " + (folder / "batch/zaft.ini").string() +
        " scan --quiet --compression g4 --pages 2 --out " + (folder / "out").string());
    ASSERT_EQ(status, 0) << output;
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  // The scan's page, starting a document or not.
  kovscan::BatchPage Page(int number, bool startsDocument) const {
    kovscan::BatchPage page;
    page.number = number;
    page.file = "out/pages/page-000" + std::to_string(number) + ".tif";
    page.header.usBpp = 1;
    page.header.usBytesPerLine = 318;
    page.header.usLines = 3300;
    page.header.usCompression = SCAN_COMP_G4;
    page.header.ulXResNum = page.header.ulYResNum = 300;
    page.header.ulXResDenom = page.header.ulYResDenom = 1;
    page.separator = startsDocument;
    return page;
  }

  std::filesystem::path folder;
};

using PdfQueue = ScannedPages;
using DocumentWriter = ScannedPages;

TEST_F(PdfQueue, AnUnreadableTextLayerCostsThePageItsTextNotItsPlace) {
  std::ofstream(folder / "broken-layer.pdf") << "not a PDF";
  std::vector<kovscan::PdfQueue::Page> pages;
  for (int number : {1, 2}) {
    kovscan::PdfImage image;
    image.encoding = kovscan::PdfImage::Encoding::Group4;
    image.width = 2544;
    image.length = 3300;
    image.xDpi = image.yDpi = 300;
    image.file = folder / "out/pages" / ("page-000" + std::to_string(number) + ".tif");
    if (number == 2) image.textLayer = folder / "broken-layer.pdf";
    pages.push_back({number, image});
  }
  kovscan::PdfQueue queue(nullptr);
  queue.Add(folder / "document.pdf", pages);
  EXPECT_NO_THROW(queue.Finish());
  const auto [checked, problems] = kovscan_test::RunProgram(
      "qpdf --check " + (folder / "document.pdf").string() + " && pdfimages -list " +
      (folder / "document.pdf").string() + " | tail -n +3 | wc -l");
  EXPECT_EQ(checked, 0) << problems;
  EXPECT_NE(problems.find("\n2\n"), std::string::npos) << problems;
}

TEST_F(DocumentWriter, ATiffThatCannotBePutInPlaceLosesNoPdf) {
  // The second document's TIFF cannot take its name: a folder holds it.
  std::filesystem::create_directories(folder / "documents" / "document-02.tif");
  kovscan::WrittenFiles written(folder);
  std::vector<kovscan::Document> documents;
  {
    kovscan::DocumentWriter writer(folder, documents, kovscan::DocumentNames(std::nullopt),
                                   {true, true}, nullptr, written);
    for (int number : {1, 2}) {
      kovscan::BatchPage page = Page(number, number == 2);
      writer.Add(page, kovscan::ReadDeliveredData(folder / page.file));
    }
    EXPECT_THROW(writer.Finish(), kovscan::FileError);
  }
  EXPECT_TRUE(std::filesystem::exists(folder / "documents" / "document-01.tif"));
  EXPECT_TRUE(std::filesystem::exists(folder / "documents" / "document-01.pdf"));
  EXPECT_TRUE(std::filesystem::exists(folder / "documents" / "document-02.pdf"))
      << "the last document's PDF is written though its TIFF failed";
}

TEST_F(DocumentWriter, ATiffWaitingForItsPagesTurnsIsNeverPutInPlaceShortOfAPage) {
  std::filesystem::create_directories(folder / "documents");
  kovscan::WrittenFiles written(folder);
  std::vector<kovscan::Document> documents;
  kovscan::OcrPool turns({{std::nullopt, true}, 1, 8, folder / "layers"});
  {
    kovscan::DocumentWriter writer(folder, documents, kovscan::DocumentNames(std::nullopt),
                                   {true, false}, &turns, written);
    for (int number : {1, 2}) {
      kovscan::BatchPage page = Page(number, false);
      writer.Add(page, kovscan::ReadDeliveredData(folder / page.file));
    }
    // The second page gone before its document closes, as the next one starts, when its pages
    // are read back: the first is in the TIFF by then.
    std::filesystem::remove(folder / "out/pages/page-0002.tif");
    kovscan::BatchPage next = Page(1, true);
    next.number = 3;
    EXPECT_THROW(writer.Add(next, kovscan::ReadDeliveredData(folder / next.file)),
                 kovscan::FileError);
    // The batch ends there, as a failed one does.
    writer.Finish();
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder / "documents"));
}
