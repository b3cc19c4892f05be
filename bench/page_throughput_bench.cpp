// Pages of a 300 dpi letter sheet through the exported calls (SCANAREAEJECT, then SCANGETDATA
// in 64 KiB pieces), beside the stand-in scanner running the same page into a null sink and
// one memcpy of the page: the library's own cost is the difference. The scanner renders each
// page once and hands the same rows out again, so only the chain and the delivery are timed.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_pages.h"
#include "framework/driver_calls.h"
#include "framework/qel.h"
#include "kovzaft2.h"
#include "sim/drivers/virtual_scanner.h"
#include "sim/kit/barcode_drawing.h"
#include "sim/kit/page_generator.h"
#include "sim/pipes/codecs.h"
#include "sim/services/operations/memory.h"

namespace {

// AllOptions: Group 4 through the pipe, patch-code detection and the barcode search.
// FreshBitonal: one bit from a gray capture, as scanners make it: two gray pages in turn, so the
// scanner reads and thresholds every page afresh. The rest are pre-rendered: the scanner hands
// out the same rows again.
enum class Kind { Bitonal, FreshBitonal, Group4, Gray, Colour, JpegColour, AllOptions };

bool IsBitonal(Kind kind) {
  return kind == Kind::Bitonal || kind == Kind::FreshBitonal || kind == Kind::Group4 ||
         kind == Kind::AllOptions;
}

constexpr std::uint32_t kChunk = 64 * 1024;
constexpr std::uint32_t kRounds = 1'000'000;

bool IsColour(Kind kind) {
  return kind == Kind::Colour || kind == Kind::JpegColour;
}

// The profile and the page images of the kind, in a folder of their own.
std::filesystem::path PrepareFolder(Kind kind) {
  auto folder =
      std::filesystem::temp_directory_path() /
      ("kovzaft2-bench-" + std::to_string(getpid()) + "-" + std::to_string(static_cast<int>(kind)));
  const auto pages = folder / "pages";
  std::filesystem::create_directories(pages);
  const sim::BitonalPage& text = bench::Page(bench::PageKind::Text, 300);
  if (kind == Kind::FreshBitonal) {
    sim::WriteTintedPnm(text, pages / "page1.pgm", false);
    std::filesystem::copy_file(pages / "page1.pgm", pages / "page2.pgm");
  } else if (IsBitonal(kind)) {
    sim::WritePbm(text, pages / "page.pbm");
    if (kind == Kind::AllOptions) {
      // Mixed pages: a separator sheet and a page with barcodes join the text page.
      sim::WritePbm(bench::Page(bench::PageKind::UprightPatch, 300), pages / "patch.pbm");
      sim::BitonalPage coded = text;
      sim::DrawBarcode(coded, {0.5, 0.3, 3.0, 0.5}, "Code128", "BATCH-0001");
      sim::DrawBarcode(coded, {4.5, 0.3, 3.5, 0.5}, "Code39", "DOC42");
      sim::WritePbm(coded, pages / "text-codes.pbm");
    }
  } else {
    sim::WriteTintedPnm(text, pages / (IsColour(kind) ? "page.ppm" : "page.pgm"), IsColour(kind));
  }
  std::ofstream(folder / "zaft.ini") << "[ZAFT]\nScanner=VSCAN\n[VSCAN]\nType=VirtualScanner\n"
                                     << "ImageFolder=pages\n";
  setenv("ZAFT_PROFILE", (folder / "zaft.ini").c_str(), 1);
  return folder;
}

// One library session whose scanner feeds the folder's page again and again.
class Session {
 public:
  explicit Session(Kind kind) : folder_(PrepareFolder(kind)) {
    SCANINIT();
    SCANOPEN("dev", 0, &handle_);
    auto record = std::make_unique<ParmRecord>();
    SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr);
    std::uint16_t bpp = kind == Kind::Gray ? 8 : IsColour(kind) ? 24 : 1;
    SCANSETPARM("dev", record.get(), SCAN_PARM_BPP, &bpp);
    std::uint16_t comp = kind == Kind::Group4 || kind == Kind::AllOptions ? SCAN_COMP_G4
                         : kind == Kind::JpegColour                       ? SCAN_COMP_JPEG
                                                                          : SCAN_COMP_NONE;
    SCANSETPARM("dev", record.get(), SCAN_PARM_COMP, &comp);
    if (kind == Kind::AllOptions) {
      record->p2 = record->p3 = record->pt = record->bro = 1;
      std::strcpy(record->szBarcodeState, "symbologies=Code39,Code128;tryharder=1;maxresults=5");
    }
    SCANSETSTATE(handle_, record.get());
    sim::RepeatFeeder("VSCAN", kRounds);
  }
  ~Session() {
    SCANFREE();
    std::filesystem::remove_all(folder_);
  }

  // Bytes of the page; 0 when no page came.
  std::uint32_t ScanPage() {
    KOV_PAGEHEADER* header = &header_;
    header_.usHeaderLength = PAGE_HEADER_SIZE;
    std::uint32_t length = 0;
    if (SCANAREAEJECT(handle_, &header, nullptr, &length) != RC_SCAN_MORE_DATA) return 0;
    const std::uint32_t size = length;
    if (buffer_.size() < size) buffer_.resize(size);
    std::uint32_t received = 0;
    while (received < size) {
      length = std::min(kChunk, size - received);
      if (SCANGETDATA(handle_, buffer_.data() + received, &length, 0) != 0 || length == 0) return 0;
      received += length;
    }
    return received;
  }

 private:
  std::filesystem::path folder_;
  std::int32_t handle_ = 0;
  KOV_PAGEHEADER header_{};
  std::vector<std::uint8_t> buffer_;
};

void ThroughTheLibrary(benchmark::State& state, Kind kind) {
  Session session(kind);
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    const std::uint32_t page = session.ScanPage();
    if (page == 0) {
      state.SkipWithError("no page");
      break;
    }
    bytes += page;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["pages/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

std::int32_t QELCALLBACK NullSink(void*, std::uint32_t, std::int32_t, void*) noexcept {
  return 0;
}

// The stand-in alone: the scanner (and the pipe, when the kind has one) into a sink that keeps
// nothing.
void ScannerIntoNullSink(benchmark::State& state, Kind kind) {
  const auto folder = PrepareFolder(kind);
  QelStartup();
  DriverRecord scanner{}, sink{};
  QelDrvLoad(0, "VSCAN", &scanner, kQelLoadByName);
  QelDrvInit(&scanner, 0, kQelInitKeepBuffers);
  DrvSetTag(scanner, kTagBitsPerSample, kind == Kind::Gray || IsColour(kind) ? 8 : 1);
  DrvSetTag(scanner, kTagSamplesPerPixel, IsColour(kind) ? 3 : 1);
  DrvSetTag(scanner, kTagImageWidth, 2544);
  DrvLoadFromEntry(NullSink, sink);
  PipeRecord pipe{};
  const bool piped = kind == Kind::Group4 || kind == Kind::JpegColour;
  if (piped) {
    const std::string text = kind == Kind::Group4
                                 ? "convert from=259:1 to=259:4"
                                 : "convert from=259:1 to=277:3,258:8,262:120,259:6";
    QelDrvLoadInitPipe(0, text.c_str(), &pipe, 0);
    QelPipeAttach(&pipe, &sink);
    QelDrvMessage(scanner, QelDrvSetOutput, 0, &pipe);
  } else {
    QelDrvMessage(scanner, QelDrvSetOutput, 0, &sink);
  }
  sim::RepeatFeeder("VSCAN", kRounds);
  std::vector<std::uint8_t> work(8192);
  for (auto _ : state) {
    if (QelRunZone(&scanner, work.data(), static_cast<std::int32_t>(work.size())) != 0) {
      state.SkipWithError("run failed");
      break;
    }
  }
  if (piped) QelPipeUnload(&pipe);
  QelDrvUnload(&sink);
  QelDrvUnload(&scanner);
  QelShutdown();
  std::filesystem::remove_all(folder);
  state.counters["pages/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// One memcpy of an uncompressed page of the kind's size.
void OneCopyOfThePage(benchmark::State& state, Kind kind) {
  const std::size_t bytes = std::size_t{2544} * 3300 / 8 *
                            (kind == Kind::Gray ? 8
                             : IsColour(kind)   ? 24
                                                : 1);
  std::vector<std::uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

// Gray pages with every block from the C heap and back, each given back to the system when
// freed (blocks of 64 KiB and more are mapped alone), as an allocator that keeps nothing.
void ThroughTheLibraryWithoutKeptBlocks(benchmark::State& state) {
  sim::KeepFreedBlocks(false);
  mallopt(M_MMAP_THRESHOLD, 64 * 1024);
  ThroughTheLibrary(state, Kind::Gray);
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  sim::KeepFreedBlocks(true);
}
BENCHMARK(ThroughTheLibraryWithoutKeptBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();

// Group 4 of the same page with libtiff directly, to set beside the pipe.
void Group4Directly(benchmark::State& state) {
  const sim::BitonalPage& text = bench::Page(bench::PageKind::Text, 300);
  sim::PageFormat format;
  format.width = 2544;
  format.length = text.height;
  format.compression = 4;
  std::vector<std::uint8_t> rows;
  for (std::int32_t y = 0; y < text.height; ++y) {
    const auto* row = text.bits.data() + static_cast<std::size_t>(y) * text.stride;
    rows.insert(rows.end(), row, row + format.RowBytes());
  }
  for (auto _ : state) benchmark::DoNotOptimize(sim::EncodePage(format, rows));
}
BENCHMARK(Group4Directly)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(ThroughTheLibrary, AllOptions, Kind::AllOptions)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#define KOV_PAGE_BENCHMARKS(kind)                                                          \
  BENCHMARK_CAPTURE(ThroughTheLibrary, kind, Kind::kind)                                   \
      ->Unit(benchmark::kMillisecond)                                                      \
      ->UseRealTime();                                                                     \
  BENCHMARK_CAPTURE(ScannerIntoNullSink, kind, Kind::kind)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(OneCopyOfThePage, kind, Kind::kind)->Unit(benchmark::kMillisecond);

KOV_PAGE_BENCHMARKS(Bitonal)
KOV_PAGE_BENCHMARKS(FreshBitonal)
KOV_PAGE_BENCHMARKS(Group4)
KOV_PAGE_BENCHMARKS(Gray)
KOV_PAGE_BENCHMARKS(Colour)
KOV_PAGE_BENCHMARKS(JpegColour)

}  // namespace

namespace {

// Resident memory now, in MiB.
double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
         (1024.0 * 1024.0);
}

// A long batch of mixed pages (text, a patch sheet, text with barcodes, in turn; Group 4,
// detection and barcode search on): resident memory after 200 and after 2,000 pages. Flat memory
// means the two stay level.
void LongBatchMemory(benchmark::State& state) {
  Session session(Kind::AllOptions);
  double after200 = 0;
  double after2000 = 0;
  for (auto _ : state) {
    for (int page = 1; page <= 2000; ++page) {
      if (session.ScanPage() == 0) {
        state.SkipWithError("no page");
        return;
      }
      if (page == 200) after200 = ResidentMiB();
    }
    after2000 = ResidentMiB();
  }
  state.counters["MiB_after_200"] = after200;
  state.counters["MiB_after_2000"] = after2000;
}
BENCHMARK(LongBatchMemory)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
