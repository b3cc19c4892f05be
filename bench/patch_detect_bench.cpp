// Patch-code detection per page, on the pages the run-list figures come from; each figure
// shows the page's detected code beside its time.
//
// DetectPage pays for what the page pipeline pays for: a fresh memory image holding a copy of
// the page, and the run lists the detector asks for. DetectOnMadeLists reuses one image, whose
// run lists are made on the first call: the detector's own share.
#include <benchmark/benchmark.h>

#include "bench_pages.h"
#include "framework/qel.h"
#include "patch/patch_detector.h"
#include "sim/services/images/mem_image.h"

namespace {

// An open image holding a copy of the page; null when it cannot be had.
QelMemImage ImageOf(const sim::BitonalPage& page) {
  QelMemImage image = nullptr;
  if (QelMemImageOpen(&image) != 0) return nullptr;
  if (sim::FillMemImage(image, page) == 0) return image;
  QelMemImageClose(image);
  return nullptr;
}

// A page that gives the wrong answer measures the wrong path.
void Report(benchmark::State& state, std::int32_t code, std::int32_t expected) {
  state.counters["code"] = code;
  if (code != expected) state.SkipWithError("unexpected patch code");
}

void DetectPage(benchmark::State& state, bench::PageKind kind, std::int32_t expected) {
  const auto& page = bench::Page(kind, static_cast<std::int32_t>(state.range(0)));
  std::int32_t code = 0;
  for (auto _ : state) {
    const auto image = ImageOf(page);
    code = DetectPatchCode(image);
    benchmark::DoNotOptimize(code);
    QelMemImageClose(image);
  }
  Report(state, code, expected);
}

void DetectOnMadeLists(benchmark::State& state, bench::PageKind kind, std::int32_t expected) {
  const auto image = ImageOf(bench::Page(kind, static_cast<std::int32_t>(state.range(0))));
  std::int32_t code = DetectPatchCode(image);
  for (auto _ : state) {
    code = DetectPatchCode(image);
    benchmark::DoNotOptimize(code);
  }
  QelMemImageClose(image);
  Report(state, code, expected);
}

void AtEachResolution(benchmark::internal::Benchmark* benchmark) {
  for (const auto dpi : bench::kResolutions) benchmark->Arg(dpi);
  benchmark->ArgName("dpi")->Unit(benchmark::kMillisecond);
}

#define KOV_DETECTION_BENCHMARKS(Detect)                                                    \
  BENCHMARK_CAPTURE(Detect, BlankPage, bench::PageKind::Blank, 0)->Apply(AtEachResolution); \
  BENCHMARK_CAPTURE(Detect, TextPage, bench::PageKind::Text, 0)->Apply(AtEachResolution);   \
  BENCHMARK_CAPTURE(Detect, UprightPatch, bench::PageKind::UprightPatch, kPatchII)          \
      ->Apply(AtEachResolution);                                                            \
  BENCHMARK_CAPTURE(Detect, TurnedPatch, bench::PageKind::TurnedPatch, kPatchII)            \
      ->Apply(AtEachResolution)

KOV_DETECTION_BENCHMARKS(DetectPage);
KOV_DETECTION_BENCHMARKS(DetectOnMadeLists);

}  // namespace
