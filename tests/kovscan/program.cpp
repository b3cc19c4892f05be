#include "tests/kovscan/program.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace kovscan_test {

namespace {

struct Ended {
  int status = -1;
  long peakKilobytes = 0;
};

Ended Spawn(const std::string& commandLine, int output, std::optional<rlim_t> fileBytes) {
  const pid_t child = fork();
  if (child == 0) {
    dup2(output, 1);
    dup2(output, 2);
    if (fileBytes) {
      // Ignored, the signal lets the write fail (EFBIG) instead of ending the program.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{*fileBytes, *fileBytes};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    execl("/bin/sh", "sh", "-c", commandLine.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Ended ended;
  int status = 0;
  rusage usage{};
  if (child > 0 && wait4(child, &status, 0, &usage) == child) {
    ended.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ended.peakKilobytes = usage.ru_maxrss;  // the largest of the child and those it waited for
  }
  return ended;
}

}  // namespace

std::pair<int, std::string> RunProgram(const std::string& commandLine,
                                       std::optional<rlim_t> fileBytes) {
  char name[] = "/tmp/kovscan-output.XXXXXX";
  const int output = mkstemp(name);
  if (output < 0) return {-1, "no file for the output"};
  const Ended ended = Spawn(commandLine, output, fileBytes);
  close(output);
  std::ifstream file(name, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::remove(name);
  return {ended.status, text};
}

std::pair<int, std::string> RunKovscan(const std::string& arguments,
                                       std::optional<rlim_t> fileBytes) {
  return RunProgram(std::string(KOVSCAN_PROGRAM) + " " + arguments, fileBytes);
}

long PeakKilobytes(const std::string& commandLine) {
  FILE* nowhere = std::fopen("/dev/null", "w");
  if (nowhere == nullptr) return 0;
  const Ended ended = Spawn(commandLine, fileno(nowhere), std::nullopt);
  std::fclose(nowhere);
  return ended.peakKilobytes;
}

std::filesystem::path MakeScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kovscan.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

}  // namespace kovscan_test
