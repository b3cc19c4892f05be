// The OCR pool and the PDF writer's queue as the scan uses them, on sample pages.
#include "tools/kovscan/ocr_pool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tests/kovscan/program.h"
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

}  // namespace

TEST(PdfQueue, AnUnreadableTextLayerCostsThePageItsTextNotItsPlace) {
  const auto folder = kovscan_test::MakeScratchFolder();
  ASSERT_FALSE(folder.empty());
  samples::WriteSampleBatch(folder / "batch");
  const auto [status, output] = kovscan_test::RunKovscan(
      "--profile " + (folder / "batch/zaft.ini").string() +
      " scan --quiet --compression g4 --pages 2 --out " + (folder / "out").string());
  ASSERT_EQ(status, 0) << output;
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
  std::filesystem::remove_all(folder);
}
