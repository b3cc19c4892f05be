// manifest.json: one entry per page with every header field decoded and the files it went to.
#pragma once

#include <filesystem>

#include "tools/kovscan/batch.h"

namespace kovscan {

// Throws FileError.
void WriteManifest(const Batch& batch, const std::filesystem::path& path);

}  // namespace kovscan
