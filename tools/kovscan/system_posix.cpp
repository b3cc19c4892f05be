// The profile variable, the terminal and the signals that stop a scan on Linux.
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

void LimitOcrEngineThreads(char** argv) {
  if (getenv("OMP_THREAD_LIMIT") != nullptr) return;
  setenv("OMP_THREAD_LIMIT", "1", 1);
  execv("/proc/self/exe", argv);
}

}  // namespace kovscan::platform
