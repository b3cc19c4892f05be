// The report of a day's batch as a browser opens it: headless Chromium, the oracle.
#include "tools/kovscan/report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/kovscan/program.h"
#include "tools/kovscan/page_picture.h"
#include "tools/kovscan/whole_file.h"

namespace {

TEST(Report, ADaysBatchIsASmallFileThatABrowserOpensWithEveryPage) {
  const auto folder = kovscan_test::MakeScratchFolder();
  ASSERT_FALSE(folder.empty());
  std::filesystem::create_directories(folder / "thumbnails");
  kovscan::GrayImage gray{320, 414, std::vector<std::uint8_t>(320 * 414, 200)};
  const auto thumbnail = kovscan::ThumbnailJpeg(gray, 160);
  constexpr int kPages = 2000;
  kovscan::Batch batch;
  for (int number = 1; number <= kPages; ++number) {
    kovscan::BatchPage page;
    page.number = number;
    page.separator = number % 4 == 1;
    page.document = (number + 3) / 4;
    page.file = "pages/page-" + std::to_string(number) + ".tif";
    page.thumbnail = "thumbnails/page-" + std::to_string(number) + ".jpg";
    kovscan::WriteWholeBytes(folder / page.thumbnail, thumbnail);
    if (page.separator) {
      kovscan::Document document;
      document.number = page.document;
      document.name = "document-" + std::to_string(page.document);
      document.pdf = "documents/" + document.name + ".pdf";
      batch.documents.push_back(document);
    }
    batch.documents.back().pages.push_back(number);
    batch.pages.push_back(page);
  }
  kovscan::WriteReport(batch, folder / "report.html");
  EXPECT_LT(std::filesystem::file_size(folder / "report.html"), 1'500'000u) << "no picture inline";
  const auto [status, dom] = kovscan_test::RunProgram(
      "timeout 120 chromium --headless --no-sandbox --disable-gpu --dump-dom file://" +
      (folder / "report.html").string() + " 2>/dev/null");
  ASSERT_EQ(status, 0) << dom.substr(0, 2000);
  std::size_t figures = 0;
  for (auto at = dom.find("<figure"); at != std::string::npos; at = dom.find("<figure", at + 1)) {
    ++figures;
  }
  EXPECT_EQ(figures, static_cast<std::size_t>(kPages));
  EXPECT_NE(dom.find("documents/document-500.pdf"), std::string::npos);
  std::filesystem::remove_all(folder);
}

}  // namespace
