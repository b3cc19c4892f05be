// A library with no driver loaded, the stand-in's drivers forgotten, and a profile of the
// test's own; tests load kit drivers or the virtual scanner through LoadDriver.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/control_block.h"
#include "pipeline/driver_loading.h"
#include "platform/platform.h"
#include "sim/kit/kit.h"
#include "sim/services/faults/switches.h"
#include "tests/sim/temp_folder.h"

class ScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetDrivers();
    sim::ResetSwitches();
    // The log is switched on for the whole test process (tests run one per process); it lies
    // beside the test program and is shared with other tests, so a test reads only the lines
    // its own thread wrote after it started.
    UseProfile("[KOVZAFT]\nDebug=1\n");
    logStart_ = LogSize();
    usLastRc = 0;
    bKill = 0;
  }
  void TearDown() override {
    while (SCB.iRefCount > 0) UnloadDriver();
    unsetenv("ZAFT_PROFILE");
    sim::ResetSwitches();
    sim::ResetDrivers();
  }

  void UseProfile(const std::string& text) {
    TempFolder::Write(folder_ / "zaft.ini", text);
    setenv("ZAFT_PROFILE", (folder_ / "zaft.ini").c_str(), 1);
  }

  // The messages of this thread's log lines since the test started.
  std::vector<std::string> TraceLines() const {
    const std::string text = LogTextSince(logStart_);
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "t%-5x ", platform::GetCurrentThreadId());
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      const std::string line = text.substr(start, end - start);
      const std::size_t cut = line.find("> ");
      if (line.rfind(prefix, 0) == 0 && cut != std::string::npos)
        lines.push_back(line.substr(cut + 2));
    }
    return lines;
  }
  bool Traced(const std::string& message) const {
    const auto lines = TraceLines();
    return std::find(lines.begin(), lines.end(), message) != lines.end();
  }

  // Registers the design and loads it as the scanner.
  void LoadKit(const sim::DriverDesign& design) {
    sim::RegisterDriver(design);
    ASSERT_EQ(LoadDriver(design.Key().c_str()), 0);
  }

 private:
  static std::filesystem::path LogPath() {
    char module[260];
    platform::GetModuleFileName(platform::ThisModule(), module, sizeof module);
    return std::filesystem::path(module).parent_path() / "KOVZAFT.LOG";
  }
  static std::uintmax_t LogSize() {
    std::error_code missing;
    const std::uintmax_t size = std::filesystem::file_size(LogPath(), missing);
    return missing ? 0 : size;
  }
  static std::string LogTextSince(std::uintmax_t offset) {
    std::ifstream in(LogPath(), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in) return {};
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  TempFolder folder_;
  std::uintmax_t logStart_ = 0;
};
