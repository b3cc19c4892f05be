// Skewed pages come out straight, coded again in the compression they came in; pages that are
// not skewed come out as delivered.
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <numbers>
#include <string>

#include "tests/kovscan/program.h"
#include "tests/kovscan/scratch_folder_test.h"
#include "tools/kovscan/failure.h"
#include "tools/kovscan/page_files.h"
#include "tools/samples/sample_batch.h"

namespace {

namespace fs = std::filesystem;
using kovscan_test::RunKovscan;
using kovscan_test::RunProgram;

struct PixDeleter {
  void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixHandle = std::unique_ptr<Pix, PixDeleter>;

// The skew Leptonica's own finder sees on a page file.
double SkewOf(const fs::path& file) {
  const PixHandle pix(pixRead(file.c_str()));
  if (!pix) return NAN;
  l_float32 degrees = 0, confidence = 0;
  if (pixFindSkew(pix.get(), &degrees, &confidence) != 0) return NAN;
  return degrees;
}

class Deskew : public kovscan_test::ScratchFolderTest {
 protected:
  // A feeder of a text page turned by each of the angles (0: as drawn).
  fs::path Feeder(const std::vector<double>& degrees) {
    const auto pages = samples::WriteSampleBatch(folder / "samples");
    fs::path text;
    for (const auto& page : pages) {
      if (page.kind == "text") text = folder / "samples" / "pages" / page.file;
    }
    const PixHandle drawn(pixRead(text.c_str()));
    EXPECT_TRUE(drawn);
    fs::create_directories(folder / "feeder");
    for (std::size_t at = 0; at < degrees.size(); ++at) {
      const auto radians = static_cast<l_float32>(degrees[at] * std::numbers::pi / 180.0);
      const PixHandle turned(
          pixRotate(drawn.get(), radians, L_ROTATE_SAMPLING, L_BRING_IN_WHITE, 0, 0));
      const fs::path file = folder / "feeder" / ("page-" + std::to_string(at + 1) + ".pbm");
      EXPECT_EQ(pixWrite(file.c_str(), turned.get(), IFF_PNM), 0);
    }
    std::ofstream(folder / "zaft.ini") << "[ZAFT]\nScanner=SKEW\n[SKEW]\nType=VirtualScanner\n"
                                       << "ImageFolder=feeder\n";
    return folder / "zaft.ini";
  }

  nlohmann::json Scan(const fs::path& profile, const std::string& out, const std::string& extra) {
    const auto [status, output] =
        RunKovscan("scan --profile " + profile.string() + " --out " + (folder / out).string() +
                   " --compression g4 --format both --quiet " + extra);
    EXPECT_EQ(status, kovscan::kSuccess) << output;
    std::ifstream manifest(folder / out / "manifest.json");
    return nlohmann::json::parse(manifest);
  }
};

TEST_F(Deskew, SkewedPagesComeOutStraightInGroupFourAndOthersAsDelivered) {
  const fs::path profile = Feeder({3.0, -1.5, 0.0});
  const nlohmann::json manifest = Scan(profile, "straight", "--deskew");
  const nlohmann::json& pages = manifest["pages"];
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_NEAR(std::fabs(pages[0]["skew"]["degrees"].get<double>()), 3.0, 0.3);
  EXPECT_NEAR(std::fabs(pages[1]["skew"]["degrees"].get<double>()), 1.5, 0.3);
  EXPECT_EQ(pages[0]["skew"]["straightened"], true);
  EXPECT_EQ(pages[1]["skew"]["straightened"], true);
  EXPECT_EQ(pages[2]["skew"]["straightened"], false);
  for (const auto& page : pages) {
    const fs::path file = folder / "straight" / page["file"].get<std::string>();
    EXPECT_LT(std::fabs(SkewOf(file)), 0.3) << file;
  }
  // Still Group 4, in the PDF as in the page files.
  const auto [status, images] = RunProgram(
      "pdfimages -list " + (folder / "straight" / "documents" / "document-01.pdf").string());
  ASSERT_EQ(status, 0) << images;
  std::size_t ccitt = 0;
  for (std::size_t at = images.find("ccitt"); at != std::string::npos;
       at = images.find("ccitt", at + 1)) {
    ++ccitt;
  }
  EXPECT_EQ(ccitt, 3u) << images;

  // The page that was not skewed is the page as delivered, not coded again.
  const nlohmann::json asDelivered = Scan(profile, "delivered", "");
  EXPECT_FALSE(asDelivered["pages"][2].contains("skew"));
  EXPECT_EQ(kovscan::ReadDeliveredData(folder / "straight" / "pages" / "page-0003.tif"),
            kovscan::ReadDeliveredData(folder / "delivered" / "pages" / "page-0003.tif"));
  EXPECT_NE(kovscan::ReadDeliveredData(folder / "straight" / "pages" / "page-0001.tif"),
            kovscan::ReadDeliveredData(folder / "delivered" / "pages" / "page-0001.tif"));
}

}  // namespace
