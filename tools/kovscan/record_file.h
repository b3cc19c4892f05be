// Parameter records kept between runs: saved as the library's 57546 bytes, shown decoded.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "kovzaft2.h"

namespace kovscan {

// A driver name as the framework takes it: one to eight letters or digits.
bool IsDriverName(const std::string& name);
// A fresh (empty) record, or the one saved in the file. Throws ArgumentError for a file that
// is not a whole record or holds what no record the library writes holds, naming each such
// field.
std::unique_ptr<ParmRecord> LoadRecord(const std::optional<std::filesystem::path>& path);
// Throws FileError.
void SaveRecord(const ParmRecord& record, const std::filesystem::path& path);
// Driver, identification, settings entries, compression, feeder, detection switches and the
// barcode reader's state, one per line.
std::string DescribeRecord(const ParmRecord& record);

}  // namespace kovscan
