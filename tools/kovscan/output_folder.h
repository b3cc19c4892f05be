// The output folder of a batch. kovscan knows its own files there by their names, so that a
// second batch never mixes with an earlier one and --overwrite removes nothing else.
#pragma once

#include <filesystem>
#include <vector>

namespace kovscan {

// kovscan's files in the folder (pages, documents, manifest, report, unfinished files).
std::vector<std::filesystem::path> OwnFiles(const std::filesystem::path& out);

// Makes the folder ready for a batch: an earlier batch is refused (std::invalid_argument)
// unless overwrite is given, which removes that batch's files. Throws FileError when the
// folder cannot be made or cleared.
void PrepareOutputFolder(const std::filesystem::path& out, bool overwrite);

}  // namespace kovscan
