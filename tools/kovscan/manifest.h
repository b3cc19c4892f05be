// manifest.json: how the batch ended, one entry per page with every header field decoded and the
// files it went to.
#pragma once

#include <filesystem>

#include "tools/kovscan/batch.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

// `written` lists it before it is made. Throws FileError.
void WriteManifest(const Batch& batch, const std::filesystem::path& path,
                   WrittenFiles* written = nullptr);

}  // namespace kovscan
