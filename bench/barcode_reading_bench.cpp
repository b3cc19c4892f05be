// The barcode component's reading of a 300 dpi letter page as the page pipeline asks for it
// (the one-bit rows to gray dots, the build's library, reading order): the text page alone
// and with a Code 128, a Code 39 and a QR code, with the default kinds, trying harder and
// not; and the twelve pages of kovscan's sample batch as a scan with barcodes reads them.
// This is zxing-cpp, the Linux build's library; the DLL's, ZBar, is timed on the same kind
// of page by `barcode_pages time` (tests/barcodes, see docs/windows.md).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_pages.h"
#include "sim/barcode/barcode_decoding.h"
#include "sim/drivers/page_images.h"
#include "sim/kit/barcode_drawing.h"
#include "tools/samples/sample_batch.h"

namespace {

struct Rows {
  sim::PageFormat format;
  std::vector<std::uint8_t> bytes;
};

Rows RowsOf(const sim::BitonalPage& page) {
  Rows rows;
  rows.format.width = page.width;
  rows.format.length = page.height;
  for (std::int32_t y = 0; y < page.height; ++y) {
    const auto* row = page.bits.data() + static_cast<std::size_t>(y) * page.stride;
    rows.bytes.insert(rows.bytes.end(), row, row + rows.format.RowBytes());
  }
  return rows;
}

// The text page with the three codes in its margins, or without them; each made once.
const Rows& TextPage(bool coded) {
  static const Rows plain = RowsOf(bench::Page(bench::PageKind::Text, 300));
  static const Rows withCodes = [] {
    sim::BitonalPage page = bench::Page(bench::PageKind::Text, 300);
    sim::DrawBarcode(page, {0.5, 0.2, 3.0, 0.6}, "Code128", "CODE-ONE");
    sim::DrawBarcode(page, {6.8, 0.1, 0.8, 0.8}, "QRCode", "QR-TWO");
    sim::DrawBarcode(page, {1.0, 10.1, 3.5, 0.6}, "Code39", "THREE");
    return RowsOf(page);
  }();
  return coded ? withCodes : plain;
}

void ReadPage(benchmark::State& state, bool coded) {
  const Rows& page = TextPage(coded);
  sim::BarcodeSettings settings = sim::BarcodeSettings::Defaults();
  settings.tryHarder = state.range(0) != 0;
  std::size_t found = 0;
  for (auto _ : state) {
    const auto codes = sim::ReadBarcodes(page.format, page.bytes, settings);
    found = codes ? codes->size() : 0;
    benchmark::DoNotOptimize(found);
  }
  state.counters["codes"] = static_cast<double>(found);
}

// The planned pages of the sample batch, written once and read back as the virtual scanner
// delivers them.
const std::vector<sim::PageImage>& SampleBatchPages() {
  static const std::vector<sim::PageImage> pages = [] {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("kovzaft2-barcode-bench-" + std::to_string(getpid()));
    samples::WriteSampleBatch(folder);
    std::vector<sim::PageImage> read;
    for (const auto& file : sim::PageImageFiles(folder / "pages")) {
      if (auto image = sim::ReadPageImage(file, 300)) read.push_back(std::move(*image));
    }
    std::filesystem::remove_all(folder);
    return read;
  }();
  return pages;
}

// The whole batch once per iteration, with a new reader's settings, as `--barcodes` asks.
void ReadSampleBatch(benchmark::State& state) {
  const auto& pages = SampleBatchPages();
  const sim::BarcodeSettings settings = sim::BarcodeSettings::Defaults();
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (const sim::PageImage& page : pages) {
      const auto codes = sim::ReadBarcodes(page.format, page.rows, settings);
      found += codes ? codes->size() : 0;
    }
    benchmark::DoNotOptimize(found);
  }
  state.counters["pages"] = static_cast<double>(pages.size());
  state.counters["codes"] = static_cast<double>(found);
}
BENCHMARK(ReadSampleBatch)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(ReadPage, TextPage, false)
    ->ArgName("tryharder")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadPage, ThreeCodes, true)
    ->ArgName("tryharder")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
