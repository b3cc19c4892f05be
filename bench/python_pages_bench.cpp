// Pages delivered to a host in C and to a Python host through the kovzaft2 package, side by
// side: the same library, a feeder of 300 copies of a 300 dpi letter page (bitonal, then gray),
// each host timed from its first page call to the empty feeder. Both take a page as the package
// does: its size from SCANAREAEJECT, then its bytes in place with SCANGETDATA. Then a Python
// host's resident memory after 200 and after 2,000 pages of Group 4 with patch codes and
// barcodes searched.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_pages.h"
#include "kovzaft2.h"
#include "sim/kit/page_generator.h"
#include "tests/kovscan/program.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSpeedPages = 300;
constexpr int kMemoryPages = 2000;

// The feeder's pages: copies (hard links) of one drawn page, read afresh for every page.
fs::path PageFolder(const fs::path& root, int bits, int pages) {
  fs::path folder = root / ("pages-" + std::to_string(bits) + "-" + std::to_string(pages));
  if (fs::exists(folder)) return folder;
  fs::create_directories(folder);
  const sim::BitonalPage& text = bench::Page(bench::PageKind::Text, 300);
  const fs::path first = folder / (bits == 1 ? "page-00001.pbm" : "page-00001.pgm");
  if (bits == 1) {
    sim::WritePbm(text, first);
  } else {
    sim::WriteTintedPnm(text, first, false);
  }
  for (int page = 2; page <= pages; ++page) {
    char name[32];
    std::snprintf(name, sizeof name, "page-%05d%s", page, first.extension().c_str());
    fs::create_hard_link(first, folder / name);
  }
  return folder;
}

// A profile whose scanner is new to the process: the stand-in keeps a scanner's feeder for
// the life of the process, so every run names its own.
fs::path Profile(const fs::path& root, const fs::path& pages) {
  static int runs = 0;
  const std::string name = "BENCH" + std::to_string(++runs);
  fs::path profile = root / (name + ".ini");
  std::ofstream(profile) << "[ZAFT]\nScanner=" << name << "\n[" << name
                         << "]\nType=VirtualScanner\nImageFolder=" << pages.string() << "\n";
  return profile;
}

// The pages and profiles of the run, removed at its end.
const fs::path& Scratch() {
  static const struct Folder {
    fs::path path = kovscan_test::MakeScratchFolder();
    ~Folder() { fs::remove_all(path); }
  } folder;
  return folder.path;
}

// The C host: seconds for the whole feeder, or a negative value when a call failed.
double CHostSeconds(const fs::path& profile, std::uint16_t bits, int& pages) {
  setenv("ZAFT_PROFILE", profile.c_str(), 1);
  std::int32_t handle = 0;
  ParmRecord record{};
  if (SCANINIT() != 0 || SCANOPEN("ZAFT Drivers", 0, &handle) != 0 ||
      SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_INIT, nullptr) != 0 ||
      SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_BPP, &bits) != 0 ||
      SCANSETSTATE(handle, &record) != 0) {
    SCANFREE();
    return -1;
  }
  KOV_PAGEHEADER header{};
  header.usHeaderLength = PAGE_HEADER_SIZE;
  KOV_PAGEHEADER* headerPointer = &header;
  std::vector<std::uint8_t> data;
  pages = 0;
  bool failed = false;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    std::uint32_t size = 0;
    const std::uint16_t rc = SCANAREAEJECT(handle, &headerPointer, nullptr, &size);
    if (rc == RC_SCAN_ADF_EMPTY) break;
    if (rc != RC_SCAN_MORE_DATA) {
      failed = true;
      break;
    }
    data.assign(size, 0);  // a page of its own, as the Python host makes
    std::uint32_t length = size;
    if (SCANGETDATA(handle, data.data(), &length, 0) != 0 || length != size) {
      failed = true;
      break;
    }
    ++pages;
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  SCANCLOSE(handle);
  SCANFREE();
  return failed ? -1 : seconds.count();
}

// The Python host's report (python_pages.py), or null when it failed.
nlohmann::json PythonHost(const std::string& arguments) {
  const auto [status, output] = kovscan_test::RunProgram(
      std::string("KOVZAFT2_LIBRARY=") + KOV_LIBRARY + " PYTHONPATH=" + KOV_PYTHON_PACKAGE + " " +
      KOV_TEST_PYTHON + " " + KOV_PYTHON_HOST + " " + arguments);
  if (status != 0) return nullptr;
  const std::size_t report = output.rfind("{\"pages\"");
  if (report == std::string::npos) return nullptr;
  return nlohmann::json::parse(output.substr(report), nullptr, false);
}

void Report(benchmark::State& state, double seconds, int pages) {
  state.SetIterationTime(seconds);
  state.counters["pages"] = pages;
  state.counters["ms_per_page"] = pages > 0 ? seconds * 1e3 / pages : 0;
}

void CHost(benchmark::State& state, int bits) {
  const fs::path pages = PageFolder(Scratch(), bits, kSpeedPages);
  for (auto _ : state) {
    int count = 0;
    const double seconds = CHostSeconds(Profile(Scratch(), pages), static_cast<std::uint16_t>(bits),
                                        count);
    if (seconds < 0 || count != kSpeedPages) {
      state.SkipWithError("the C host's run failed");
      return;
    }
    Report(state, seconds, count);
  }
}

void PythonHostPages(benchmark::State& state, int bits) {
  const fs::path pages = PageFolder(Scratch(), bits, kSpeedPages);
  for (auto _ : state) {
    const nlohmann::json report = PythonHost("--profile " + Profile(Scratch(), pages).string() +
                                             " --bits " + std::to_string(bits));
    if (report.is_discarded() || report.is_null() || report["pages"] != kSpeedPages) {
      state.SkipWithError("the Python host's run failed");
      return;
    }
    Report(state, report["seconds"].get<double>(), kSpeedPages);
  }
}

// Side by side, in turns, so that a busy moment of the machine falls on both.
BENCHMARK_CAPTURE(CHost, Bitonal300Dpi, 1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PythonHostPages, Bitonal300Dpi, 1)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CHost, Gray300Dpi, 8)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PythonHostPages, Gray300Dpi, 8)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void PythonHostMemory(benchmark::State& state) {
  const fs::path pages = PageFolder(Scratch(), 1, kMemoryPages);
  for (auto _ : state) {
    const nlohmann::json report =
        PythonHost("--profile " + Profile(Scratch(), pages).string() +
                   " --bits 1 --compression g4 --detect --memory-at 200 2000");
    if (report.is_discarded() || report.is_null() || report["pages"] != kMemoryPages) {
      state.SkipWithError("the Python host's run failed");
      return;
    }
    state.SetIterationTime(report["seconds"].get<double>());
    state.counters["MiB_after_200"] = report["resident"]["200"].get<double>();
    state.counters["MiB_after_2000"] = report["resident"]["2000"].get<double>();
  }
}
BENCHMARK(PythonHostMemory)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
