// report.html: how the batch ended, at the top, then one page showing every page of the batch as a
// thumbnail with its level, side, barcodes and patch kind, grouped by document with links to the
// document files, so a person can check a batch at a glance. The thumbnails are files beside it,
// loaded as they come into view, so the report of a day's batch stays small and opens at once.
#pragma once

#include <filesystem>

#include "tools/kovscan/batch.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

// `written` lists it before it is made. Throws FileError.
void WriteReport(const Batch& batch, const std::filesystem::path& path,
                 WrittenFiles* written = nullptr);

}  // namespace kovscan
