// `kovscan scan`: a batch from the feeder (until it is empty) or the flatbed (one page) into
// page files, documents split at separator sheets, manifest.json and report.html.
#pragma once

#include <filesystem>
#include <optional>
#include <regex>

#include "tools/kovscan/document_writer.h"
#include "tools/kovscan/failure.h"
#include "tools/kovscan/scan_session.h"

namespace kovscan {

struct ScanCommand {
  std::filesystem::path out;
  std::optional<std::filesystem::path> profile;  // else the library's own choice
  std::optional<std::filesystem::path> record;   // a saved record to start from
  ScanOptions options;
  bool dropBlank = false;
  bool deskew = false;  // skewed pages straightened in their files, documents and OCR
  bool rotate = false;  // pages found turned shown upright in the documents, and read so
  bool dropSeparators = false;
  bool quiet = false;                // no progress line
  bool overwrite = false;            // replace an earlier batch in the folder
  std::optional<std::size_t> pages;  // at most this many; else the feeder's, or 1 on the flatbed
  std::optional<std::regex> nameByBarcode;  // documents named after barcode texts it finds
  DocumentWriter::Formats formats;
  std::optional<std::string> ocrLanguage;  // the PDFs' pages read in this language
  unsigned ocrThreads = 0;                 // 0: one per core; also the engines finding turns
};

// Every argument is checked before anything is made: a refused one leaves no folder behind.
// Returns the exit code, what ended the batch early told on the error stream.
int RunScan(const ScanCommand& command);

}  // namespace kovscan
