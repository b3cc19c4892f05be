// `kovscan devices`: the scanners the system lists (SANE's on Linux, the TWAIN sources on
// Windows); with a profile file, a framework profile whose scanner is one of them, for
// `kovscan scan --profile`.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kovscan {

struct DevicesCommand {
  std::optional<std::filesystem::path> profile;  // the profile to write; none: only list
  std::optional<std::string> device;             // else the first listed
  std::optional<std::string> driver;  // the framework's name for the scanner; else SANE, TWAIN
};

int RunDevices(const DevicesCommand& command);

}  // namespace kovscan
