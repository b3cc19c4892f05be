// The profile variable, the terminal and the signals that stop a scan on Linux.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <fstream>
#include <limits>
#include <optional>
#include <string_view>

#include "tools/kovscan/library_text.h"
#include "tools/kovscan/platform.h"

namespace kovscan::platform {

void UseProfile(const std::filesystem::path& profile) {
  setenv("ZAFT_PROFILE", std::filesystem::absolute(profile).c_str(), 1);
}

bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) == 1;
}

namespace {

// The first signal that asked the scan to stop; 0 while none has.
volatile sig_atomic_t stopSignal = 0;

void OnStop(int signal) {
  if (stopSignal == 0) stopSignal = signal;
}

}  // namespace

void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnStop;
  // The library's calls go on and the scan stops after the page; the handler is for the first
  // of each signal, the second ends the program.
  action.sa_flags = static_cast<int>(SA_RESTART | SA_RESETHAND);
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // Run under nohup, a closed terminal is not to stop the scan.
  struct sigaction hangup {};
  if (sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler != SIG_IGN) {
    sigaction(SIGHUP, &action, nullptr);
  }
}

bool StopRequested() {
  return stopSignal != 0;
}

std::string StopReason() {
  switch (stopSignal) {
    case 0:
      return "";
    case SIGINT:
      return "SIGINT (Ctrl-C)";
    case SIGHUP:
      return "SIGHUP (the terminal was closed)";
    default:
      return "SIGTERM";
  }
}

namespace {

// OMP_THREAD_LIMIT as the OpenMP runtime reads it: a whole number above 0, blanks around it
// allowed; none when the text is not one.
std::optional<unsigned long> ThreadLimit(std::string_view text) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  unsigned long limit = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), limit);
  if (failure != std::errc() || end != text.data() + text.size() || limit == 0) return std::nullopt;
  return limit;
}

}  // namespace

void LimitOcrEngineThreads(char** argv) {
  if (const char* set = getenv("OMP_THREAD_LIMIT"); set != nullptr) {
    if (const auto limit = ThreadLimit(set)) {
      if (*limit != 1) {
        std::fprintf(stderr,
                     "kovscan: OMP_THREAD_LIMIT=%lu: each OCR engine may use up to %lu threads\n",
                     *limit, *limit);
      }
      return;
    }
    std::fprintf(stderr,
                 "kovscan: OMP_THREAD_LIMIT=\"%s\" is not a number of threads: ignored, each OCR "
                 "engine uses one thread\n",
                 Shown(set).c_str());
  }
  setenv("OMP_THREAD_LIMIT", "1", 1);
  execv("/proc/self/exe", argv);
}

std::uint64_t AvailableMemory() {
  // The kernel's estimate, which counts the caches it would give up; free pages alone where
  // it has none.
  std::ifstream meminfo("/proc/meminfo");
  for (std::string key; meminfo >> key;) {
    std::uint64_t kilobytes = 0;
    if (key == "MemAvailable:" && meminfo >> kilobytes) return kilobytes * 1024;
    meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  return pages > 0 && pageSize > 0
             ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)
             : 0;
}

}  // namespace kovscan::platform
