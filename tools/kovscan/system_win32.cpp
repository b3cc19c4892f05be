// The profile variable, the terminal and the events that stop a scan on Windows.
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "tools/kovscan/platform.h"

namespace kovscan::platform {

// The DLL reads the variable through the same C runtime, which _putenv_s keeps in step with
// the process's environment.
void UseProfile(const std::filesystem::path& profile) {
  _putenv_s("ZAFT_PROFILE", std::filesystem::absolute(profile).string().c_str());
}

bool IsTerminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}

namespace {

constexpr int kNoStop = -1;

// The first console event that asked the scan to stop: set on the console's own thread, read
// by the scan's.
std::atomic<int> stopEvent{kNoStop};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  int none = kNoStop;
  const bool first = stopEvent.compare_exchange_strong(none, static_cast<int>(event));
  if (event == CTRL_CLOSE_EVENT) {
    // The process ends as soon as this returns: it waits instead, while the batch ends in
    // good order and the program with it, unless the system's few seconds run out first.
    Sleep(INFINITE);
  }
  // The second one goes on to the default handling, which ends the program.
  return first ? TRUE : FALSE;
}

}  // namespace

void CatchInterrupt() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopRequested() {
  return stopEvent.load() != kNoStop;
}

std::string StopReason() {
  switch (stopEvent.load()) {
    case kNoStop:
      return "";
    case CTRL_C_EVENT:
      return "Ctrl-C";
    case CTRL_BREAK_EVENT:
      return "Ctrl-Break";
    default:
      return "the console window was closed";
  }
}

// No OCR in this build: nothing to limit.
void LimitOcrEngineThreads(char**) {}

std::uint64_t AvailableMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullAvailPhys : 0;
}

}  // namespace kovscan::platform
