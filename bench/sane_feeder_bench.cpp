// SANE's test device: its feeder of ten Grid pages at 300 dpi, 8-bit gray, scanned through the
// exported calls, and by scanimage into /dev/null in the same run: the library's delivery
// against SANE's own front end. The CPU column counts the calling thread only, not the
// library's worker nor scanimage: cpu_ms_per_session counts every thread of the session, and
// minor_faults_per_session the fresh memory it touched.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "kovzaft2.h"

namespace {

constexpr std::uint32_t kChunk = 256 * 1024;

// SANE reads the tests' configuration (the test backend only); the profile lies in a folder
// of its own.
class SaneFolder {
 public:
  SaneFolder() {
    std::filesystem::create_directories(folder_);
    std::ofstream(folder_ / "zaft.ini") << "[ZAFT]\nScanner=SANE\n[SANE]\nType=SaneScanner\n"
                                        << "Device=test\nOption.test-picture=Grid\n";
    setenv("SANE_CONFIG_DIR", KOV_SANE_CONFIG, 1);
    setenv("ZAFT_PROFILE", (folder_ / "zaft.ini").c_str(), 1);
  }
  ~SaneFolder() { std::filesystem::remove_all(folder_); }

 private:
  std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() / ("kovzaft2-sane-bench-" + std::to_string(getpid()));
};

struct Usage {
  double cpuMs = 0;
  double minorFaults = 0;
};

Usage UsageOf(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto ms = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
  };
  return {ms(usage.ru_utime) + ms(usage.ru_stime), static_cast<double>(usage.ru_minflt)};
}

// What the sessions of the benchmark used, each on average.
void CountUsage(benchmark::State& state, const Usage& before, const Usage& after) {
  const auto sessions =
      static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["cpu_ms_per_session"] = (after.cpuMs - before.cpuMs) / sessions;
  state.counters["minor_faults_per_session"] = (after.minorFaults - before.minorFaults) / sessions;
}

// Pages of one session, scanned until the feeder is empty; 0 when a call failed. `bytes` counts
// what they held.
std::uint32_t ScanFeeder(std::vector<std::uint8_t>& buffer, std::uint64_t& bytes) {
  std::int32_t handle = 0;
  auto record = std::make_unique<ParmRecord>();
  SCAN_RES res{300, 1, 300, 1, 0};
  std::uint16_t bpp = 8;
  std::int16_t feeder = 1;
  if (SCANINIT() != 0 || SCANOPEN("dev", 0, &handle) != 0 ||
      SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr) != 0 ||
      SCANSETPARM("dev", record.get(), SCAN_PARM_ADF, &feeder) != 0 ||
      SCANSETPARM("dev", record.get(), SCAN_PARM_RES, &res) != 0 ||
      SCANSETPARM("dev", record.get(), SCAN_PARM_BPP, &bpp) != 0 ||
      SCANSETSTATE(handle, record.get()) != 0) {
    SCANFREE();
    return 0;
  }
  std::uint32_t pages = 0;
  KOV_PAGEHEADER header{};
  for (;;) {
    KOV_PAGEHEADER* pointer = &header;
    header.usHeaderLength = PAGE_HEADER_SIZE;
    std::uint32_t length = 0;
    if (SCANAREAEJECT(handle, &pointer, nullptr, &length) != RC_SCAN_MORE_DATA) break;
    if (buffer.size() < length) buffer.resize(length);
    for (std::uint32_t received = 0; received < length;) {
      std::uint32_t piece = std::min(kChunk, length - received);
      if (SCANGETDATA(handle, buffer.data() + received, &piece, 0) != 0 || piece == 0) break;
      received += piece;
    }
    bytes += length;
    ++pages;
  }
  SCANCLOSE(handle);
  SCANFREE();
  return pages;
}

void SaneFeederThroughTheLibrary(benchmark::State& state) {
  const SaneFolder folder;
  std::vector<std::uint8_t> buffer;
  std::uint64_t bytes = 0;
  const Usage before = UsageOf(RUSAGE_SELF);
  for (auto _ : state) {
    if (ScanFeeder(buffer, bytes) != 10) {
      state.SkipWithError("the feeder did not give its ten pages");
      break;
    }
  }
  CountUsage(state, before, UsageOf(RUSAGE_SELF));
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["pages"] = benchmark::Counter(10.0 * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
}

void SaneFeederThroughScanimage(benchmark::State& state) {
  const SaneFolder folder;
  const char* command =
      "timeout 60 scanimage -d test --source 'Automatic Document Feeder' --mode Gray --depth 8 "
      "--resolution 300 --test-picture Grid --format=pnm --batch=/dev/null >/dev/null 2>&1";
  const Usage before = UsageOf(RUSAGE_CHILDREN);
  for (auto _ : state) {
    if (std::system(command) != 0) {
      state.SkipWithError("scanimage failed");
      break;
    }
  }
  CountUsage(state, before, UsageOf(RUSAGE_CHILDREN));
  state.counters["pages"] = benchmark::Counter(10.0 * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
}

BENCHMARK(SaneFeederThroughTheLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SaneFeederThroughScanimage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
