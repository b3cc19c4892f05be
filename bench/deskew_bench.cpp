// A 300 dpi bitonal page skewed by two degrees, delivered in Group 4, straightened as
// `kovscan scan --deskew` does (its skew found, the page rotated and coded again), beside the
// Group 4 coding alone of the same page and the skew finding alone on a straight one.
#include <benchmark/benchmark.h>
#include <leptonica/allheaders.h>

#include <filesystem>
#include <memory>
#include <numbers>
#include <vector>

#include "tests/kovscan/program.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/page_straightening.h"

namespace {

namespace fs = std::filesystem;

struct PixDeleter {
  void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixHandle = std::unique_ptr<Pix, PixDeleter>;

// A text page of the sample batch, turned by `degrees`, as a Group 4 page file and the header
// the library would give it.
struct SkewedPage {
  fs::path folder = kovscan_test::MakeScratchFolder();
  KOV_PAGEHEADER header{};
  std::vector<std::uint8_t> rows;
  fs::path file = folder / "page.tif";

  explicit SkewedPage(double degrees) {
    kovscan_test::RunKovscan("samples " + (folder / "samples").string() + " --pages 1");
    const PixHandle drawn(pixRead((folder / "samples" / "pages" / "page-00001.pbm").c_str()));
    const auto radians = static_cast<l_float32>(degrees * std::numbers::pi / 180.0);
    const PixHandle turned(
        pixRotate(drawn.get(), radians, L_ROTATE_SAMPLING, L_BRING_IN_WHITE, 0, 0));
    header.usHeaderLength = PAGE_HEADER_SIZE;
    header.ulXResNum = header.ulYResNum = 300;
    header.ulXResDenom = header.ulYResDenom = 1;
    header.usBpp = 1;
    header.usCompression = SCAN_COMP_G4;
    header.usLines = static_cast<std::uint16_t>(pixGetHeight(turned.get()));
    header.usBytesPerLine = static_cast<std::uint16_t>((pixGetWidth(turned.get()) + 7) / 8);
    const auto words = static_cast<std::size_t>(pixGetWpl(turned.get()));
    for (std::uint32_t y = 0; y < header.usLines; ++y) {
      const l_uint32* line = pixGetData(turned.get()) + y * words;
      for (l_int32 at = 0; at < header.usBytesPerLine; ++at) {
        rows.push_back(static_cast<std::uint8_t>(GET_DATA_BYTE(line, at)));
      }
    }
    WriteGroup4();
  }
  ~SkewedPage() { fs::remove_all(folder); }

  void WriteGroup4() const {
    kovscan::TiffFile page(file);
    page.AddRows(header, rows);
    page.Commit();
  }
};

void StraightenSkewedPage(benchmark::State& state) {
  SkewedPage page(2.0);
  kovscan::WrittenFiles written(page.folder);
  std::vector<std::uint8_t> data;
  for (auto _ : state) {
    state.PauseTiming();
    page.WriteGroup4();
    state.ResumeTiming();
    const kovscan::Skew skew = kovscan::Straighten(page.file, page.header, data, written);
    if (!skew.straightened) state.SkipWithError("the page was not straightened");
  }
}
BENCHMARK(StraightenSkewedPage)->Unit(benchmark::kMillisecond);

void Group4CodingAlone(benchmark::State& state) {
  const SkewedPage page(2.0);
  for (auto _ : state) page.WriteGroup4();
}
BENCHMARK(Group4CodingAlone)->Unit(benchmark::kMillisecond);

// What every page costs with --deskew: the skew found on a page that is straight already.
void SkewFindingOnAStraightPage(benchmark::State& state) {
  SkewedPage page(0.0);
  kovscan::WrittenFiles written(page.folder);
  std::vector<std::uint8_t> data;
  for (auto _ : state) {
    if (kovscan::Straighten(page.file, page.header, data, written).straightened) {
      state.SkipWithError("a straight page was straightened");
    }
  }
}
BENCHMARK(SkewFindingOnAStraightPage)->Unit(benchmark::kMillisecond);

}  // namespace
