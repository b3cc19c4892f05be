#include "fuzz_scanner.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "pipeline/driver_loading.h"

namespace {

// Removed when the run ends.
struct ProfileFolder {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("kovzaft2-fuzz-" + std::to_string(getpid()));
  ProfileFolder() { std::filesystem::create_directories(path); }
  ~ProfileFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

}  // namespace

void UseFuzzProfile(const std::string& extraScannerKeys) {
  static const ProfileFolder folder;
  const auto profile = folder.path / "zaft.ini";
  std::ofstream(profile) << "[KOVZAFT]\nDebug=0\n[ZAFT]\nScanner=VSCAN\n"
                         << "[VSCAN]\nType=VirtualScanner\nFeederPages=2\n"
                         << extraScannerKeys;
  setenv("ZAFT_PROFILE", profile.c_str(), 1);
}

void LoadFuzzScanner() {
  if (LoadDriver("VSCAN") != 0) {
    std::fprintf(stderr, "fuzz: the virtual scanner does not load\n");
    std::abort();
  }
}
