// `kovscan scan`: a batch from the feeder (until it is empty) or the flatbed (one page) into
// page files, documents split at separator sheets, manifest.json and report.html.
#pragma once

#include <filesystem>
#include <optional>
#include <regex>

#include "tools/kovscan/document_writer.h"
#include "tools/kovscan/scan_session.h"

namespace kovscan {

enum ExitCode {
  kSuccess = 0,
  kFeederEmpty = 2,  // not even a first page
  kBadArguments = 3,
  kLibraryFailure = 4,
  kFileFailure = 5,  // the output folder or a file in it could not be made or written
  kStopped = 6,      // Ctrl-C: the pages so far kept, with their manifest and report
};

struct ScanCommand {
  std::filesystem::path out;
  std::optional<std::filesystem::path> profile;  // else the library's own choice
  std::optional<std::filesystem::path> record;   // a saved record to start from
  ScanOptions options;
  bool dropBlank = false;
  bool dropSeparators = false;
  bool quiet = false;                // no progress line
  bool overwrite = false;            // replace an earlier batch in the folder
  std::optional<std::size_t> pages;  // at most this many; else the feeder's, or 1 on the flatbed
  std::optional<std::regex> nameByBarcode;  // documents named after barcode texts it finds
  DocumentWriter::Formats formats;
  std::optional<std::string> ocrLanguage;  // the PDFs' pages read in this language
  unsigned ocrThreads = 0;                 // 0: one per core
};

int RunScan(const ScanCommand& command);

}  // namespace kovscan
