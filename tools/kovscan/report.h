// report.html: one self-contained page showing every page of the batch as a thumbnail with
// its level, side, barcodes and patch kind, grouped by document, so a person can check a
// batch at a glance.
#pragma once

#include <filesystem>

#include "tools/kovscan/batch.h"

namespace kovscan {

// Throws FileError.
void WriteReport(const Batch& batch, const std::filesystem::path& path);

}  // namespace kovscan
