// Both sides of each sheet: kovscan asks for the scanner's duplex scan type, keeps fronts and
// backs in feeder order, drops blank backs on request and gives a separator sheet its back.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tests/kovscan/program.h"
#include "tests/kovscan/scratch_folder_test.h"
#include "tools/kovscan/failure.h"
#include "tools/samples/sample_batch.h"

namespace {

namespace fs = std::filesystem;
using kovscan_test::RunKovscan;

class Duplex : public kovscan_test::ScratchFolderTest {
 protected:
  // A feeder of sheets, each a front and a back from the sample batch's kinds, on a virtual
  // scanner with these scan types.
  fs::path Feeder(const std::vector<std::pair<std::string, std::string>>& sheets,
                  const std::string& scanTypes) {
    const auto samplePages = samples::WriteSampleBatch(folder / "samples");
    const auto pageOf = [&](const std::string& kind) {
      for (const auto& page : samplePages) {
        if (page.kind == kind) return folder / "samples" / "pages" / page.file;
      }
      ADD_FAILURE() << "no sample page of kind " << kind;
      return fs::path();
    };
    fs::create_directories(folder / "feeder");
    int side = 0;
    for (const auto& [front, back] : sheets) {
      for (const std::string& kind : {front, back}) {
        const fs::path from = pageOf(kind);
        char name[32];
        std::snprintf(name, sizeof name, "side-%02d%s", ++side, from.extension().c_str());
        fs::copy_file(from, folder / "feeder" / name);
      }
    }
    std::ofstream(folder / "zaft.ini") << "[ZAFT]\nScanner=DUPLEX\n[DUPLEX]\nType=VirtualScanner\n"
                                       << "ImageFolder=feeder\nScanTypes=" << scanTypes << "\n";
    return folder / "zaft.ini";
  }
};

std::vector<int> Numbers(const nlohmann::json& list) {
  return list.get<std::vector<int>>();
}

TEST_F(Duplex, FrontsAndBacksKeepFeederOrderBlankBacksDropAndSeparatorsKeepTheirBacks) {
  const fs::path profile = Feeder({{"text", "blank"},
                                   {"barcode", "text"},
                                   {"patch2", "blank"},
                                   {"text", "blank"},
                                   {"patchT", "text"},
                                   {"text", "blank"}},
                                  "2,3,4");
  const auto [status, output] =
      RunKovscan("scan --profile " + profile.string() + " --out " + (folder / "out").string() +
                 " --duplex --patches --drop-blank --quiet");
  ASSERT_EQ(status, kovscan::kSuccess) << output;
  std::ifstream file(folder / "out" / "manifest.json");
  const nlohmann::json manifest = nlohmann::json::parse(file);
  const nlohmann::json& pages = manifest["pages"];
  ASSERT_EQ(pages.size(), 12u) << "every side is in the manifest";
  std::vector<int> dropped;
  for (std::size_t at = 0; at < pages.size(); ++at) {
    EXPECT_EQ(pages[at]["header"]["side"], at % 2 == 0 ? "front" : "back") << at;
    if (pages[at]["dropped"] == true) dropped.push_back(pages[at]["page"]);
  }
  EXPECT_EQ(dropped, (std::vector<int>{2, 8, 12})) << "the blank backs, not the separator's";
  EXPECT_EQ(pages[5]["separator"], true) << "a separator sheet's blank back is the separator's";
  EXPECT_EQ(pages[9]["separator"], true) << "and so is a back with text";
  const nlohmann::json& documents = manifest["documents"];
  ASSERT_EQ(documents.size(), 3u);
  EXPECT_EQ(Numbers(documents[0]["pages"]), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(Numbers(documents[1]["pages"]), (std::vector<int>{5, 6, 7}));
  EXPECT_EQ(Numbers(documents[2]["pages"]), (std::vector<int>{9, 10, 11}));
}

TEST_F(Duplex, AScannerWithoutDuplexIsRefusedBeforeTheScanNamingWhatItOffers) {
  const fs::path profile = Feeder({{"text", "blank"}}, "2,3");
  const auto [status, output] = RunKovscan("scan --profile " + profile.string() + " --out " +
                                           (folder / "out").string() + " --duplex --quiet");
  EXPECT_EQ(status, kovscan::kBadArguments) << output;
  EXPECT_NE(output.find("the scanner offers no duplex scan (--duplex); it offers flatbed, feeder, one side"),
            std::string::npos)
      << output;
  EXPECT_FALSE(fs::exists(folder / "out")) << "refused before the folder is made";
  const auto [both, refused] = RunKovscan("scan --profile " + profile.string() + " --out " +
                                          (folder / "out").string() + " --duplex --flatbed");
  EXPECT_EQ(both, kovscan::kBadArguments) << refused;
}

}  // namespace
