// One scanning session through the library's exported calls, as a host makes it: set up a
// record, send it, then take pages until the feeder is empty.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kovzaft2.h"
#include "tools/kovscan/failure.h"

namespace kovscan {

// A call that failed: its code and what SCANLASTERROR says of it.
class LibraryError : public Failure {
 public:
  LibraryError(const std::string& call, std::uint16_t code, const std::string& text);
  std::uint16_t Code() const { return code_; }

 private:
  std::uint16_t code_;
};

struct ScanOptions {
  std::optional<std::uint32_t> dpi;
  std::optional<std::uint16_t> bitsPerDot;
  std::optional<SCAN_AREA> area;               // in dots at the resolution
  std::uint16_t compression = SCAN_COMP_NONE;  // host code
  bool flatbed = false;
  bool duplex = false;  // both sides of each sheet, fronts and backs in turn
  bool patches = false;
  bool barcodes = false;
  bool settingsDialog = false;  // let the user edit the record in the settings dialog
};

struct ScannedPage {
  KOV_PAGEHEADER header{};
  std::vector<std::uint8_t> data;
};

class ScanSession {
 public:
  // SCANINIT and SCANOPEN.
  ScanSession();
  // SCANCLOSE and SCANFREE.
  ~ScanSession();
  ScanSession(const ScanSession&) = delete;
  ScanSession& operator=(const ScanSession&) = delete;

  // Has the library build a fresh record for the selected scanner; others stay as they are.
  void CompleteRecord(ParmRecord& record);
  // Completes the record and applies the options.
  void BuildRecord(ParmRecord& record, const ScanOptions& options);
  // Sends the record: the scanner is then set for the pages.
  void Send(ParmRecord& record);
  // The next page, or none when the feeder is empty.
  std::optional<ScannedPage> NextPage();

 private:
  std::int32_t handle_ = 0;
  KOV_PAGEHEADER* header_ = nullptr;  // the library's, reused for every page
};

}  // namespace kovscan
