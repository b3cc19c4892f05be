// The profile variable, the terminal and Ctrl-C on Windows.
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

// Set on the console's own thread, read by the scan's.
std::atomic<bool> stopRequested{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The second one goes on to the default handling, which ends the program.
  return stopRequested.exchange(true) ? FALSE : TRUE;
}

}  // namespace

void CatchInterrupt() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopRequested() {
  return stopRequested.load();
}

// No OCR in this build: nothing to limit.
void LimitOcrEngineThreads(char**) {}

std::uint64_t AvailableMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullAvailPhys : 0;
}

}  // namespace kovscan::platform
