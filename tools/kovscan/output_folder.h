// The output folder of a batch. kovscan knows its own files there by their names, so that a
// second batch never mixes with an earlier one and --overwrite removes nothing else.
#pragma once

#include <filesystem>

namespace kovscan {

// Where OCR's text layers wait until their document is written; gone when the batch ends.
inline constexpr const char* kTextLayerFolder = "text-layers";

// Makes the folder ready for a batch: an earlier batch is refused (std::invalid_argument)
// unless overwrite is given, which removes that batch's files. Throws FileError when the
// folder cannot be made or cleared.
void PrepareOutputFolder(const std::filesystem::path& out, bool overwrite);

}  // namespace kovscan
