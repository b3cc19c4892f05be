// kovscan on large sample batches as a user runs it (300 dpi, Group 4, patches, barcodes):
// what PDF documents add to the TIFF run, a batch read by OCR beside OCR alone on the same
// pages with the same threads, OCR that finds pages' turns beside OCR alone, and resident
// memory over a day's batch of PDF documents.
// Figures are counters; each benchmark runs once. Run with OMP_THREAD_LIMIT=1 (`make bench`
// sets it), as kovscan gives its own OCR engines.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <utility>

#include "tests/kovscan/program.h"
#include "tools/kovscan/ocr_pool.h"

namespace {

constexpr int kMixedPages = 300;
constexpr int kDayPages = 2000;
constexpr const char* kScan = " scan --quiet --compression g4 --patches";

// Sample batches and their scans, each written once per run of the benchmarks and removed
// when it ends.
class SampleBatches {
 public:
  ~SampleBatches() {
    for (const auto& [key, folder] : written_) std::filesystem::remove_all(folder);
  }
  const std::filesystem::path& Of(int pages, const std::string& plan) {
    const auto key = std::make_pair(pages, plan);
    if (const auto found = written_.find(key); found != written_.end()) return found->second;
    const std::filesystem::path folder = kovscan_test::MakeScratchFolder();
    const auto [status, output] = kovscan_test::RunKovscan(
        "samples " + folder.string() + " --pages " + std::to_string(pages) + " --plan " + plan);
    if (status != 0) std::fprintf(stderr, "%s", output.c_str());
    return written_[key] = folder;
  }

 private:
  std::map<std::pair<int, std::string>, std::filesystem::path> written_;
};

std::filesystem::path SampleBatch(int pages, const std::string& plan = "office") {
  static SampleBatches batches;
  return batches.Of(pages, plan);
}

// Seconds kovscan takes on the batch with the further arguments, into `out`.
double TimedScan(const std::filesystem::path& batch, const std::filesystem::path& out,
                 const std::string& arguments, benchmark::State& state) {
  const auto start = std::chrono::steady_clock::now();
  const auto [status, output] =
      kovscan_test::RunKovscan("--profile " + (batch / "zaft.ini").string() + kScan +
                               " --overwrite --out " + out.string() + " " + arguments);
  if (status != 0) state.SkipWithError(output.c_str());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

nlohmann::json Manifest(const std::filesystem::path& out) {
  std::ifstream file(out / "manifest.json");
  return nlohmann::json::parse(file);
}

unsigned Cores() {
  return std::max(std::thread::hardware_concurrency(), 1U);
}

void BM_KovscanPdfBesideTiff(benchmark::State& state) {
  const auto batch = SampleBatch(kMixedPages);
  double tiff = 0, pdf = 0;
  for (auto _ : state) {
    tiff = TimedScan(batch, batch / "tiff", "--barcodes", state);
    pdf = TimedScan(batch, batch / "pdf", "--barcodes --format pdf", state);
  }
  state.counters["tiff_s"] = tiff;
  state.counters["pdf_s"] = pdf;
  state.counters["pdf_added_%"] = (pdf / tiff - 1) * 100;
}
BENCHMARK(BM_KovscanPdfBesideTiff)->Iterations(1)->Unit(benchmark::kSecond);

// The pages a scan with OCR reads (neither separator sheets nor blank), read by the pool alone,
// their turns found first when `orient`: how long it took, and how many pages Leptonica's
// quick finder told.
struct PoolRun {
  double seconds = 0;
  int pages = 0;
  int toldByAscenders = 0;
};

PoolRun OcrAlone(const std::filesystem::path& scanned, bool orient = false) {
  const auto manifest = Manifest(scanned);
  const auto start = std::chrono::steady_clock::now();
  kovscan::OcrPool pool({{"eng", orient}, Cores(), 256, scanned / "bench-layers"});
  std::vector<int> submitted;
  for (const auto& page : manifest["pages"]) {
    if (page["separator"].get<bool>() || page["blank"].get<bool>()) continue;
    const int number = page["page"].get<int>();
    pool.Submit(number, scanned / page["file"].get<std::string>(), 300);
    submitted.push_back(number);
  }
  PoolRun run;
  for (const int number : submitted) {
    pool.TakeLayer(number);
    const auto turn = pool.TurnOf(number);
    if (turn && std::string(turn->finder) == kovscan::kAscenderFinder) ++run.toldByAscenders;
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.pages = static_cast<int>(submitted.size());
  return run;
}

// Sample pages read with their turns found and without: the office plan's, all upright
// (state.range(0) 0), and the duplex plan's, three of eight turned (1), which go to
// Tesseract's finder after Leptonica's.
void BM_TurnsFoundWithinOcrBesideOcrAlone(benchmark::State& state) {
  const auto batch = SampleBatch(28, state.range(0) == 0 ? "office" : "duplex");
  PoolRun alone, turning;
  for (auto _ : state) {
    TimedScan(batch, batch / "turns", "", state);
    alone = OcrAlone(batch / "turns");
    turning = OcrAlone(batch / "turns", true);
  }
  state.counters["pages_read"] = turning.pages;
  state.counters["upright_by_leptonica"] = turning.toldByAscenders;
  state.counters["ocr_alone_s"] = alone.seconds;
  state.counters["ocr_with_turns_s"] = turning.seconds;
  state.counters["turns_added_%"] = (turning.seconds / alone.seconds - 1) * 100;
}
BENCHMARK(BM_TurnsFoundWithinOcrBesideOcrAlone)
    ->ArgName("turned")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// With barcodes read (state.range(0) 1) or not: on two cores, reading them is most of the
// scan's own work, which OCR's engines cannot hide since they keep both cores busy.
void BM_KovscanOcrBesideOcrAlone(benchmark::State& state) {
  const auto batch = SampleBatch(kMixedPages);
  const std::string barcodes = state.range(0) != 0 ? "--barcodes " : "";
  double alone = 0, scan = 0;
  for (auto _ : state) {
    TimedScan(batch, batch / "pages-only", "", state);
    alone = OcrAlone(batch / "pages-only").seconds;
    scan = TimedScan(batch, batch / "ocr", barcodes + "--format pdf --ocr eng", state);
  }
  const auto ocr = Manifest(batch / "ocr")["ocr"];
  state.counters["ocr_alone_s"] = alone;
  state.counters["scan_pdf_ocr_s"] = scan;
  state.counters["scan_over_ocr_%"] = (scan / alone - 1) * 100;
  state.counters["pages_read"] = ocr["pagesRead"].get<double>();
  state.counters["longest_queue_wait_s"] = ocr["longestQueueWait"].get<double>();
}
BENCHMARK(BM_KovscanOcrBesideOcrAlone)
    ->ArgName("barcodes")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

void BM_KovscanPdfMemoryOverADaysBatch(benchmark::State& state) {
  double small = 0, day = 0;
  for (auto _ : state) {
    for (const int pages : {kMixedPages, kDayPages}) {
      const auto batch = SampleBatch(pages);
      const long kilobytes = kovscan_test::PeakKilobytes(
          std::string(KOVSCAN_PROGRAM) + " --profile " + (batch / "zaft.ini").string() + kScan +
          " --barcodes --format pdf --overwrite --out " + (batch / "memory").string());
      (pages == kDayPages ? day : small) = static_cast<double>(kilobytes) / 1024;
    }
  }
  state.counters["peak_MB_300_pages"] = small;
  state.counters["peak_MB_2000_pages"] = day;
}
BENCHMARK(BM_KovscanPdfMemoryOverADaysBatch)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
