// What `kovscan scan` leaves in its output folder, run as a user runs it: pages on disk as
// they come, whole files or none, a folder that holds one batch only, and the exit code and
// message of each failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/kovscan/program.h"
#include "tests/kovscan/scratch_folder_test.h"
#include "tools/kovscan/scan_command.h"
#include "tools/samples/sample_batch.h"

namespace {

using kovscan_test::RunKovscan;
using kovscan_test::RunProgram;

class ScanOutput : public kovscan_test::ScratchFolderTest {
 protected:
  // The sample batch (twelve 300 dpi letter pages, three documents); its profile's option.
  std::string Samples() {
    samples::WriteSampleBatch(folder / "samples");
    return "--profile " + (folder / "samples" / "zaft.ini").string();
  }
  std::string Profile(const std::string& name, const std::string& text) {
    std::ofstream(folder / name) << text;
    return "--profile " + (folder / name).string();
  }
  std::string Out(const std::string& name) const { return "--out " + (folder / name).string(); }
  nlohmann::json Manifest(const std::string& out) const {
    std::ifstream file(folder / out / "manifest.json");
    return nlohmann::json::parse(file);
  }
  // The files under the folder, relative to it, in name order.
  std::vector<std::string> Files(const std::string& out) const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / out)) {
      if (entry.is_regular_file())
        files.push_back(std::filesystem::relative(entry.path(), folder / out).string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }
};

std::string Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos ? "" : "\"" + part + "\" not in: " + text;
}

TEST_F(ScanOutput, ResidentMemoryStaysFlatAsPagesGoToDisk) {
  // Gray pages of 3.7 MB each: a batch held in memory grows by 150 MB over 40 more of them,
  // in its TIFF documents or its PDFs.
  const auto peak = [this](int pages) {
    const std::string profile =
        Profile("gray" + std::to_string(pages) + ".ini",
                "[ZAFT]\nScanner=GRAY\n[GRAY]\nType=VirtualScanner\nBitDepths=8\nFeederPages=" +
                    std::to_string(pages) + "\n");
    // The sanitizer's quarantine would hold on to freed pages; off, resident memory is kovscan's.
    return kovscan_test::PeakKilobytes("ASAN_OPTIONS=quarantine_size_mb=0 " +
                                       std::string(KOVSCAN_PROGRAM) +
                                       " scan --quiet --format both --dpi 200 " + profile + " " +
                                       Out("gray" + std::to_string(pages)));
  };
  const long few = peak(8);
  const long many = peak(48);
  EXPECT_LT(many - few, 30'000) << few << " KB over 8 pages, " << many << " KB over 48";
  const nlohmann::json manifest = Manifest("gray48");
  EXPECT_EQ(manifest["pages"].size(), 48u);
  EXPECT_EQ(manifest["pages"][47]["bytes"], 1700u * 2200u);
  ASSERT_EQ(manifest["documents"].size(), 1u);
  EXPECT_EQ(manifest["documents"][0]["pages"].size(), 48u);
  EXPECT_EQ(std::filesystem::file_size(folder / "gray48" / "documents/document-01.tif"),
            std::filesystem::file_size(folder / "gray48" / "pages/page-0001.tif") * 48 - 47 * 8)
      << "each page's data and directory, under one 8-byte TIFF header";
  EXPECT_TRUE(std::filesystem::exists(folder / "gray48" / "documents/document-01.pdf"));
}

TEST_F(ScanOutput, TheFlatbedScansOnePageAndTheFeederStopsAtTheCap) {
  const std::string samples = Samples();
  auto [status, text] = RunKovscan("scan --quiet --flatbed " + samples + " " + Out("flatbed"));
  ASSERT_EQ(status, kovscan::kSuccess) << text;
  EXPECT_EQ(Manifest("flatbed")["pages"].size(), 1u) << "one sheet lies on the flatbed";
  std::tie(status, text) =
      RunKovscan("scan --quiet --flatbed --pages 3 " + samples + " " + Out("three"));
  ASSERT_EQ(status, kovscan::kSuccess) << text;
  EXPECT_EQ(Manifest("three")["pages"].size(), 3u);
  std::tie(status, text) = RunKovscan("scan --quiet --pages 5 " + samples + " " + Out("capped"));
  ASSERT_EQ(status, kovscan::kSuccess) << text;
  EXPECT_EQ(Manifest("capped")["pages"].size(), 5u) << "the feeder holds twelve";
  EXPECT_EQ(RunKovscan("scan --pages 0 " + samples + " " + Out("none")).first,
            kovscan::kBadArguments);

  // SANE's test flatbed gives a page for every request, without end.
  const std::string sane = Profile("sane.ini",
                                   "[ZAFT]\nScanner=SANE\n[SANE]\nType=SaneScanner\n"
                                   "Device=test:0\n");
  std::tie(status, text) =
      RunProgram(std::string("SANE_CONFIG_DIR=") + KOV_SANE_CONFIG + " timeout 60 " +
                 KOVSCAN_PROGRAM + " scan --quiet --flatbed --dpi 75 " + sane + " " + Out("sane"));
  ASSERT_EQ(status, kovscan::kSuccess) << text;
  EXPECT_EQ(Manifest("sane")["pages"].size(), 1u);
}

TEST_F(ScanOutput, AFolderHoldsOneBatchAndOverwriteRemovesOnlyWhatKovscanWrote) {
  const std::string samples = Samples();
  ASSERT_EQ(RunKovscan("scan --quiet " + samples + " " + Out("batch")).first, kovscan::kSuccess);
  const std::vector<std::string> first = Files("batch");
  EXPECT_EQ(first.front(), "documents/document-01.tif");
  EXPECT_NE(std::find(first.begin(), first.end(), "kovscan-files.txt"), first.end());

  auto [status, text] = RunKovscan("scan --quiet --pages 2 " + samples + " " + Out("batch"));
  EXPECT_EQ(status, kovscan::kBadArguments);
  EXPECT_EQ(Contains(text, "holds an earlier batch (27 files kovscan wrote)"), "");
  EXPECT_EQ(Contains(text, "--overwrite"), "");
  EXPECT_EQ(Files("batch"), first) << "the earlier batch is left as it was";

  std::tie(status, text) =
      RunKovscan("scan --quiet --overwrite --pages 2 " + samples + " " + Out("batch"));
  ASSERT_EQ(status, kovscan::kSuccess) << text;
  EXPECT_EQ(Contains(text, "removed the earlier batch from " + (folder / "batch").string() +
                               " (27 files)"),
            "");
  EXPECT_EQ(Files("batch"), (std::vector<std::string>{
                                "documents/document-01.tif", "kovscan-files.txt", "manifest.json",
                                "pages/page-0001.tif", "pages/page-0002.tif", "report.html",
                                "thumbnails/page-0001.jpg", "thumbnails/page-0002.jpg"}));

  // Files kovscan did not write, named like its own or not, beside a batch or alone: the
  // folder is refused, with or without --overwrite, and nothing in it is touched.
  std::ofstream(folder / "batch" / "notes.txt") << "mine";
  std::filesystem::create_directories(folder / "mine" / "documents");
  std::filesystem::create_directories(folder / "mine" / "pages" / "old");
  std::ofstream(folder / "mine" / "documents" / "contract.pdf") << "mine";
  std::ofstream(folder / "mine" / "pages" / "page-1.jpg") << "mine";
  const std::vector<std::string> batch = Files("batch");
  for (const char* overwrite : {"", "--overwrite "}) {
    SCOPED_TRACE(overwrite);
    std::tie(status, text) =
        RunKovscan("scan --quiet " + std::string(overwrite) + samples + " " + Out("batch"));
    EXPECT_EQ(status, kovscan::kBadArguments);
    EXPECT_EQ(Contains(text, "holds what kovscan did not write there: notes.txt;"), "");
    EXPECT_EQ(Files("batch"), batch);
    std::tie(status, text) =
        RunKovscan("scan --quiet " + std::string(overwrite) + samples + " " + Out("mine"));
    EXPECT_EQ(status, kovscan::kBadArguments);
    EXPECT_EQ(Contains(text,
                       "did not write there: documents/contract.pdf, pages/old/, "
                       "pages/page-1.jpg;"),
              "");
    EXPECT_EQ(Files("mine"),
              (std::vector<std::string>{"documents/contract.pdf", "pages/page-1.jpg"}));
  }
  // An empty folder is a new one.
  std::filesystem::create_directories(folder / "empty");
  std::tie(status, text) = RunKovscan("scan --quiet --pages 1 " + samples + " " + Out("empty"));
  EXPECT_EQ(status, kovscan::kSuccess) << text;
}

TEST_F(ScanOutput, FileSystemFailuresLeaveNoPartialFileAndHaveTheirOwnExitCode) {
  const std::string samples = Samples() + " --quiet --compression none ";
  // An uncompressed page is 1.05 MB: the first page file, then the first document's second
  // page, run past the limit as on a full disk.
  auto [status, text] = RunKovscan("scan " + samples + Out("page"), 500'000);
  EXPECT_EQ(status, kovscan::kFileFailure) << text;
  EXPECT_EQ(Contains(text, "cannot write " + (folder / "page/pages/page-0001.tif").string()), "");
  EXPECT_EQ(Files("page"), std::vector<std::string>{"kovscan-files.txt"});

  std::tie(status, text) = RunKovscan("scan " + samples + Out("document"), 2'000'000);
  EXPECT_EQ(status, kovscan::kFileFailure) << text;
  EXPECT_EQ(Contains(text, "documents/document-01.tif: File too large"), "");
  EXPECT_EQ(Contains(text, "2 pages kept in"), "");
  EXPECT_EQ(Files("document"),
            (std::vector<std::string>{"kovscan-files.txt", "manifest.json", "pages/page-0001.tif",
                                      "pages/page-0002.tif", "report.html",
                                      "thumbnails/page-0001.jpg", "thumbnails/page-0002.jpg"}));
  const nlohmann::json ended = Manifest("document")["end"];
  EXPECT_EQ(ended["state"], "failed");
  EXPECT_EQ(ended["exitCode"], kovscan::kFileFailure);
  EXPECT_EQ(Contains(ended["reason"], "document-01.tif: File too large"), "");

  // A PDF whose last bytes do not fit: the writer's last buffer fails only when it is flushed.
  const std::string pdfs = Samples() + " --quiet --compression g4 --format pdf ";
  std::tie(status, text) = RunKovscan("scan " + pdfs + Out("whole"));
  ASSERT_EQ(status, kovscan::kSuccess) << text;
  std::string largest;
  std::uintmax_t size = 0;
  const nlohmann::json whole = Manifest("whole");
  for (const auto& document : whole["documents"]) {
    const std::string pdf = document["pdf"];
    if (std::filesystem::file_size(folder / "whole" / pdf) > size) {
      size = std::filesystem::file_size(folder / "whole" / pdf);
      largest = pdf;
    }
  }
  std::tie(status, text) = RunKovscan("scan " + pdfs + Out("cut"), size - 1);
  EXPECT_EQ(status, kovscan::kFileFailure) << text;
  EXPECT_EQ(
      Contains(text, "cannot write " + (folder / "cut" / largest).string() + ": File too large"),
      "");
  for (const std::string& file : Files("cut")) {
    EXPECT_NE(file, largest);
    EXPECT_FALSE(file.ends_with(".part")) << file;
  }
  EXPECT_EQ(Manifest("cut")["end"]["exitCode"], kovscan::kFileFailure);

  if (geteuid() != 0) {  // the superuser writes anywhere
    std::filesystem::create_directories(folder / "locked");
    std::filesystem::permissions(
        folder / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::tie(status, text) = RunKovscan("scan " + samples + Out("locked/batch"));
    EXPECT_EQ(status, kovscan::kFileFailure);
    EXPECT_EQ(Contains(text, "Permission denied"), "");
  }
  std::ofstream(folder / "file") << "not a folder";
  std::tie(status, text) = RunKovscan("scan " + samples + Out("file"));
  EXPECT_EQ(status, kovscan::kFileFailure);
  EXPECT_EQ(Contains(text, "it is not a folder"), "");
  EXPECT_EQ(Contains(RunKovscan("scan --help").second, "5 a file-system failure"), "");
}

TEST_F(ScanOutput, ARefusedArgumentLeavesNoFolderBehind) {
  const std::string samples = Samples() + " --quiet ";
  std::ofstream(folder / "not-a-record") << "not a record";
  const std::pair<std::string, std::string> refusals[] = {
      {samples + "--record " + (folder / "not-a-record").string(),
       "is not a saved parameter record"},
      {"--profile " + (folder / "no-such.ini").string(), "SCANSETPARM INIT answered"},
  };
  for (const auto& [arguments, message] : refusals) {
    const auto [status, text] = RunKovscan("scan " + arguments + " " + Out("refused"));
    EXPECT_NE(status, kovscan::kSuccess) << arguments;
    EXPECT_EQ(Contains(text, message), "");
    EXPECT_FALSE(std::filesystem::exists(folder / "refused")) << arguments;
  }
  // (Refused values: the next test.) An empty --out is no folder, not the current one.
  std::filesystem::create_directories(folder / "here");
  const auto [status, text] = RunProgram("cd " + (folder / "here").string() + " && " +
                                         KOVSCAN_PROGRAM + " scan " + samples + "--out ''");
  EXPECT_EQ(status, kovscan::kBadArguments);
  EXPECT_EQ(Contains(text, "an empty name is no folder"), "");
  EXPECT_TRUE(std::filesystem::is_empty(folder / "here"));
}

TEST_F(ScanOutput, ARefusedValueIsNamedWithWhatTheScannerOffers) {
  const std::string samples = Samples() + " --quiet " + Out("refused");
  const std::pair<const char*, const char*> refusals[] = {
      {"--dpi 0", "does not offer 0 dpi; it offers 100, 150, 200, 240, 300, 400, 600 dpi"},
      {"--dpi 200 --bits 4", "does not offer 4 bits per dot; it offers 1, 8, 24"},
      {"--bits 1 --compression jpeg",
       "cannot be given jpeg compression at --bits 1; at that depth it offers none, g3, g3-2d, g4"},
      {"--dpi 200 --area 0 0 9000 400",
       "an area of 9000 x 400 dots; its area is 1696 x 2200 dots at 200 dpi"},
      // The library scans from the top left corner: offsets would be ignored, so are refused.
      {"--area 1200 2000 800 400", "give offsets 0 0 (--area 0 0 800 400)"},
  };
  for (const auto& [arguments, message] : refusals) {
    const auto [status, text] = RunKovscan(std::string("scan ") + arguments + " " + samples);
    EXPECT_EQ(status, kovscan::kBadArguments) << arguments;
    EXPECT_EQ(Contains(text, message), "");
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "refused"));
}

}  // namespace
