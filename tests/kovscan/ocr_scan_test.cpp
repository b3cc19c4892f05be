// Batches scanned with OCR, read back with poppler's and qpdf's tools: the text of every text
// page found in its PDF, the pages as they look without it, and a stop (SIGTERM, as a service
// stop sends it) that leaves whole files and no text layer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>

#include "tests/kovscan/program.h"
#include "tests/kovscan/scratch_folder_test.h"
#include "tests/kovscan/text_words.h"
#include "tools/kovscan/scan_command.h"
#include "tools/samples/sample_batch.h"

namespace {

using kovscan_test::RunProgram;
using kovscan_test::Words;

nlohmann::json Manifest(const std::filesystem::path& out) {
  std::ifstream file(out / "manifest.json");
  return nlohmann::json::parse(file);
}

class OcrScan : public kovscan_test::ScratchFolderTest {
 protected:
  // Each scan feeds a batch of its own. Without the engine's thread limit in the environment,
  // kovscan starts itself again with it.
  std::pair<int, std::string> Scan(const std::string& name, const std::string& arguments,
                                   std::uint32_t pages = samples::kPlannedPages) {
    planned = samples::WriteSampleBatch(folder / ("batch-" + name), pages);
    return RunProgram("env -u OMP_THREAD_LIMIT " + std::string(KOVSCAN_PROGRAM) + " --profile " +
                      (folder / ("batch-" + name) / "zaft.ini").string() +
                      " scan --compression g4 --patches --barcodes --out " +
                      (folder / name).string() + " " + arguments);
  }
  std::vector<samples::SamplePage> planned;
};

TEST_F(OcrScan, EveryTextPageCanBeSearchedInItsPdfWhichLooksAsWithoutText) {
  const auto [status, output] =
      Scan("ocr", "--quiet --format pdf --ocr eng --name-by-barcode '^INV-'");
  ASSERT_EQ(status, kovscan::kSuccess) << output;
  const auto manifest = Manifest(folder / "ocr");
  std::size_t textPages = 0;
  for (std::size_t i = 0; i < planned.size(); ++i) {
    const auto& page = manifest["pages"][i];
    if (planned[i].text.empty()) continue;
    ++textPages;
    // The page's own text, from its place in its document.
    const auto& document = manifest["documents"][page["document"].get<std::size_t>() - 1];
    std::size_t place = 1;
    while (document["pages"][place - 1] != page["page"]) ++place;
    const auto [extracted, text] =
        RunProgram("pdftotext -raw -f " + std::to_string(place) + " -l " + std::to_string(place) +
                   " " + (folder / "ocr" / document["pdf"].get<std::string>()).string() + " -");
    ASSERT_EQ(extracted, 0) << text;
    const auto found = Words(text);
    const std::set<std::string> read(found.begin(), found.end());
    const auto known = Words(planned[i].text);
    std::size_t hits = 0;
    for (const auto& word : known) hits += read.count(word);
    EXPECT_GE(static_cast<double>(hits), 0.95 * static_cast<double>(known.size()))
        << planned[i].file << ": " << hits << " of " << known.size() << " words in:\n"
        << text;
  }
  EXPECT_EQ(manifest["ocr"]["pagesRead"], textPages) << "separator sheets and blanks not read";
  EXPECT_EQ(manifest["ocr"]["pagesFailed"], 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "ocr" / "text-layers"));
  for (const auto& document : manifest["documents"]) {
    const std::string pdf = (folder / "ocr" / document["pdf"].get<std::string>()).string();
    const auto [checked, problems] = RunProgram("qpdf --check " + pdf);
    EXPECT_EQ(checked, 0) << problems;
    EXPECT_EQ(problems.find("WARNING"), std::string::npos) << problems;
    const auto [listed, images] = RunProgram("pdfimages -list " + pdf + " | tail -n +3 | wc -l");
    EXPECT_EQ(std::stoul(images), document["pages"].size()) << "the text adds no image";
  }
  std::ifstream report(folder / "ocr" / "report.html");
  const std::string html{std::istreambuf_iterator<char>(report), {}};
  EXPECT_NE(html.find("on " + std::to_string(textPages) + " pages"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"documents/INV-2026-0001.pdf\">"), std::string::npos);

  // The text is invisible: the document drawn as without it.
  const auto [plain, why] = Scan("plain", "--quiet --format pdf --name-by-barcode '^INV-'");
  ASSERT_EQ(plain, kovscan::kSuccess) << why;
  for (const char* name : {"ocr", "plain"}) {
    const std::string out = (folder / name).string();
    ASSERT_EQ(
        RunProgram("pdftoppm -r 50 -gray " + out + "/documents/INV-2026-0001.pdf " + out + "/drawn")
            .first,
        0);
  }
  for (const char* page : {"drawn-1.pgm", "drawn-2.pgm", "drawn-3.pgm"}) {
    EXPECT_EQ(RunProgram("cmp " + (folder / "ocr" / page).string() + " " +
                         (folder / "plain" / page).string())
                  .first,
              0)
        << page;
  }
}

TEST_F(OcrScan, AStopLeavesWholePdfsWithTheTextReadAndTheQueueUnread) {
  const std::string out = (folder / "stopped").string();
  samples::WriteSampleBatch(folder / "batch-stopped", 300);
  const auto [status, output] = RunProgram(
      std::string(KOVSCAN_PROGRAM) + " --profile " + (folder / "batch-stopped/zaft.ini").string() +
      " scan --quiet --compression g4 --format pdf --ocr eng --ocr-threads 1 --out " + out +
      " & kovscan=$!; tries=0; while [ ! -e " + out +
      "/pages/page-0030.tif ] && [ $tries -lt 1200 ]; do sleep 0.05; tries=$((tries + 1)); " +
      "done; kill -TERM $kovscan; wait $kovscan");
  EXPECT_EQ(status, kovscan::kStopped) << output;
  const auto manifest = Manifest(out);
  const auto& pages = manifest["pages"];
  EXPECT_GE(pages.size(), 30u);
  EXPECT_LT(pages.size(), 300u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "stopped" / "pages"),
                          std::filesystem::directory_iterator{}),
            static_cast<std::ptrdiff_t>(pages.size()));
  std::size_t toRead = 0;
  for (const auto& page : pages) toRead += !page["separator"] && !page["blank"];
  const auto& ocr = manifest["ocr"];
  // Pages read and pages left unread add up whatever the engine's pace (the pool's own test
  // shows a stop leaving the queue unread).
  EXPECT_EQ(ocr["pagesRead"].get<std::size_t>() + ocr["pagesFailed"].get<std::size_t>() +
                ocr["pagesLeftUnread"].get<std::size_t>(),
            toRead);
  for (const auto& document : manifest["documents"]) {
    const auto [checked, problems] =
        RunProgram("qpdf --check " + out + "/" + document["pdf"].get<std::string>());
    EXPECT_EQ(checked, 0) << problems;
  }
  EXPECT_TRUE(std::filesystem::exists(folder / "stopped" / "report.html"));
  EXPECT_FALSE(std::filesystem::exists(folder / "stopped" / "text-layers"));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(out)) {
    EXPECT_FALSE(entry.path().string().ends_with(".part")) << entry.path();
  }
  EXPECT_EQ(manifest["end"]["reason"], "stopped by SIGTERM");
}

TEST_F(OcrScan, WhatCannotBeReadIsRefusedBeforeTheFirstPage) {
  const auto [unknown, why] = Scan("unknown", "--format pdf --ocr xx");
  EXPECT_EQ(unknown, kovscan::kBadArguments) << why;
  EXPECT_NE(why.find("no OCR data for the language \"xx\""), std::string::npos) << why;
  const auto [second, whySecond] = Scan("second", "--format pdf --ocr eng+xx");
  EXPECT_EQ(second, kovscan::kBadArguments) << whySecond;
  EXPECT_NE(whySecond.find("no OCR data for the language \"xx\""), std::string::npos) << whySecond;
  const auto [tiff, whyTiff] = Scan("tiff", "--ocr eng");
  EXPECT_EQ(tiff, kovscan::kBadArguments) << whyTiff;
  EXPECT_NE(whyTiff.find("--format pdf or both"), std::string::npos) << whyTiff;
  const auto [path, whyPath] = Scan("path", "--format pdf --ocr ../eng");
  EXPECT_EQ(path, kovscan::kBadArguments) << whyPath;
  EXPECT_FALSE(std::filesystem::exists(folder / "unknown")) << "refused before the folder is made";
  EXPECT_FALSE(std::filesystem::exists(folder / "second"));
}

TEST_F(OcrScan, EachEngineKeepsOneThreadUnlessAValidLimitIsSetAndEnginesFitTheMachine) {
  // Refused for want of data once the engines are counted: what comes before is all there is
  // to see.
  const auto run = [this](const std::string& environment, const std::string& threads) {
    planned = samples::WriteSampleBatch(folder / "batch", 1);
    return RunProgram(environment + " " + KOVSCAN_PROGRAM + " --profile " +
                      (folder / "batch" / "zaft.ini").string() +
                      " scan --format pdf --ocr xx --ocr-threads " + threads + " --out " +
                      (folder / "out").string());
  };
  const std::pair<const char*, const char*> ignored[] = {
      {"OMP_THREAD_LIMIT=",
       "OMP_THREAD_LIMIT=\"\" is not a number of threads: ignored, each OCR "
       "engine uses one thread"},
      {"OMP_THREAD_LIMIT=abc", "OMP_THREAD_LIMIT=\"abc\" is not a number of threads: ignored"},
      {"OMP_THREAD_LIMIT=0", "OMP_THREAD_LIMIT=\"0\" is not a number of threads"},
      {"OMP_THREAD_LIMIT=-2", "OMP_THREAD_LIMIT=\"-2\" is not a number of threads"},
      {"OMP_THREAD_LIMIT=' 3 '", "OMP_THREAD_LIMIT=3: each OCR engine may use up to 3 threads"},
  };
  for (const auto& [environment, message] : ignored) {
    const auto [status, output] = run(environment, "1");
    EXPECT_EQ(status, kovscan::kBadArguments) << output;
    EXPECT_NE(output.find(message), std::string::npos) << environment << "\n" << output;
    EXPECT_EQ(output.find(message, output.find(message) + 1), std::string::npos)
        << "told once, not again by the program started with the limit\n"
        << output;
  }
  const auto [set, quiet] = run("OMP_THREAD_LIMIT=1", "1");
  EXPECT_EQ(quiet.find("OMP_THREAD_LIMIT"), std::string::npos) << quiet;

  // More engines than cores only wait for one another.
  if (std::thread::hardware_concurrency() < 64) {
    const auto [status, output] = run("", "64");
    EXPECT_EQ(status, kovscan::kBadArguments) << output;
    EXPECT_NE(output.find("OCR engines at once ("), std::string::npos) << output;
    EXPECT_NE(output.find(", not 64"), std::string::npos) << output;
  }
}

}  // namespace
