// `kovscan devices`: the scanners SANE finds; with a profile file, a framework profile whose
// scanner is one of them, for `kovscan scan --profile`.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kovscan {

struct DevicesCommand {
  std::optional<std::filesystem::path> profile;  // the profile to write; none: only list
  std::optional<std::string> device;             // else the first SANE lists
  std::string driver = "SANE";                   // the framework's name for the scanner
};

int RunDevices(const DevicesCommand& command);

}  // namespace kovscan
