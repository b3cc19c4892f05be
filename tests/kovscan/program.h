// kovscan as a user runs it: through the shell, its exit status and what it printed.
#pragma once

#include <sys/resource.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace kovscan_test {

// The command line through /bin/sh: its exit code (-1 when it did not exit) and its output and
// errors together. With a file-size limit, a write past it fails as on a full disk.
std::pair<int, std::string> RunProgram(const std::string& commandLine,
                                       std::optional<rlim_t> fileBytes = std::nullopt);
// kovscan with these arguments.
std::pair<int, std::string> RunKovscan(const std::string& arguments,
                                       std::optional<rlim_t> fileBytes = std::nullopt);
// A new empty folder under the system's temporary folder; empty when none could be made.
std::filesystem::path MakeScratchFolder();
// The largest resident set, in kilobytes, of the command's processes, its output dropped.
long PeakKilobytes(const std::string& commandLine);

}  // namespace kovscan_test
