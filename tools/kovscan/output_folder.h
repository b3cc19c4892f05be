// A folder kovscan writes into (a batch's output folder, a sample batch's folder). kovscan
// lists there every file it writes (WrittenFiles), so that a second batch never mixes with an
// earlier one, --overwrite removes exactly kovscan's own files, and a folder holding anything
// else is refused and never touched.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/kovscan/written_files.h"

namespace kovscan {

// Where OCR's text layers wait until their document is written; gone when the batch ends.
inline constexpr const char* kTextLayerFolder = "text-layers";

class OutputFolder {
 public:
  // The folder checked as it is, before anything is made. `subfolders`: those kovscan makes
  // in it (and the text layers' folder, made when needed). Throws ArgumentError for an empty path,
  // a folder holding anything kovscan did not write there, or an earlier batch without `overwrite`;
  // FileError when the path is a file or the folder cannot be read.
  OutputFolder(std::filesystem::path path, std::vector<std::string> subfolders, bool overwrite);

  // The earlier batch removed, the folder and its subfolders made, a new list of files begun.
  // Throws FileError.
  WrittenFiles& Make();

 private:
  std::filesystem::path path_;
  std::vector<std::string> subfolders_;
  std::vector<std::filesystem::path> earlier_;  // kovscan's files there, to be removed
  std::optional<WrittenFiles> written_;
};

}  // namespace kovscan
