// Run lists of a text page, rows and columns as the memory image makes them, beside a plain
// dot-by-dot reading of the rows and one copy of the page's bits: the ratios between them are
// what to watch.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "bench_pages.h"
#include "sim/services/images/run_lists.h"

namespace {

const sim::BitonalPage& TextPage(const benchmark::State& state) {
  return bench::Page(bench::PageKind::Text, static_cast<std::int32_t>(state.range(0)));
}

template <class Work>
void PerPage(benchmark::State& state, Work work) {
  const auto& page = TextPage(state);
  for (auto _ : state) {
    auto made = work(page);
    benchmark::DoNotOptimize(made);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.bits.size()));
}

void RowRunLists(benchmark::State& state) {
  PerPage(state, [](const sim::BitonalPage& page) {
    return sim::MakeRunLists(page, sim::LineKind::Rows);
  });
}

void ColumnRunLists(benchmark::State& state) {
  PerPage(state, [](const sim::BitonalPage& page) {
    return sim::MakeRunLists(page, sim::LineKind::Columns);
  });
}

void RowRunListsDotByDot(benchmark::State& state) {
  PerPage(state, [](const sim::BitonalPage& page) {
    return sim::MakeRunListsDotByDot(page, sim::LineKind::Rows);
  });
}

void CopyPageBits(benchmark::State& state) {
  std::vector<std::uint8_t> copy(TextPage(state).bits.size());
  PerPage(state, [&](const sim::BitonalPage& page) {
    std::memcpy(copy.data(), page.bits.data(), page.bits.size());
    benchmark::ClobberMemory();
    return copy.data();
  });
}

// Repeated, with the fastest repetition's time reported beside the median: on a shared
// machine the others measure the neighbours too. (The "min" line's rate is the lowest rate.)
void AtEachResolution(benchmark::internal::Benchmark* benchmark) {
  for (const auto dpi : bench::kResolutions) benchmark->Arg(dpi);
  benchmark->ArgName("dpi")
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(7)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", [](const std::vector<double>& times) {
        return *std::min_element(times.begin(), times.end());
      });
}

BENCHMARK(RowRunLists)->Apply(AtEachResolution);
BENCHMARK(ColumnRunLists)->Apply(AtEachResolution);
BENCHMARK(RowRunListsDotByDot)->Apply(AtEachResolution);
BENCHMARK(CopyPageBits)->Apply(AtEachResolution);

}  // namespace
