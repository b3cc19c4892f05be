// The profile variable and the temporary file on Linux.
#include <stdio.h>
#include <stdlib.h>

#include "tools/kovscan/platform.h"

namespace kovscan::platform {

void UseProfile(const std::filesystem::path& profile) {
  setenv("ZAFT_PROFILE", std::filesystem::absolute(profile).c_str(), 1);
}

std::FILE* OpenTemporaryFile() {
  return std::tmpfile();
}

bool SeekTo(std::FILE* file, std::uint64_t offset) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

}  // namespace kovscan::platform
