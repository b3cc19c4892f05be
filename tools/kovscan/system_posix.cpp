// The profile variable, the terminal and Ctrl-C on Linux.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "tools/kovscan/platform.h"

namespace kovscan::platform {

void UseProfile(const std::filesystem::path& profile) {
  setenv("ZAFT_PROFILE", std::filesystem::absolute(profile).c_str(), 1);
}

bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) == 1;
}

namespace {

volatile sig_atomic_t stopRequested = 0;

void OnInterrupt(int) {
  stopRequested = 1;
  signal(SIGINT, SIG_DFL);
}

}  // namespace

void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESTART;  // the library's calls go on; the scan stops after the page
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool StopRequested() {
  return stopRequested != 0;
}

void LimitOcrEngineThreads(char** argv) {
  if (getenv("OMP_THREAD_LIMIT") != nullptr) return;
  setenv("OMP_THREAD_LIMIT", "1", 1);
  execv("/proc/self/exe", argv);
}

}  // namespace kovscan::platform
