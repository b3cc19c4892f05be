#include "tools/kovscan/scan_session.h"

#include <cstring>

namespace kovscan {

namespace {

constexpr std::uint32_t kChunk = 64 * 1024;

std::string LastErrorText() {
  char text[256] = {};
  SCANLASTERROR(text, sizeof text);
  return text;
}

void Require(const char* call, std::uint16_t rc) {
  if (rc != 0) throw LibraryError(call, rc, LastErrorText());
}

}  // namespace

LibraryError::LibraryError(const std::string& call, std::uint16_t code, const std::string& text)
    : std::runtime_error(call + ": " + text), code_(code) {}

ScanSession::ScanSession() {
  Require("SCANINIT", SCANINIT());
  const std::uint16_t rc = SCANOPEN("ZAFT Drivers", 0, &handle_);
  if (rc != 0) {
    const std::string text = LastErrorText();
    SCANFREE();
    throw LibraryError("SCANOPEN", rc, text);
  }
}

ScanSession::~ScanSession() {
  SCANCLOSE(handle_);
  SCANFREE();
}

void ScanSession::CompleteRecord(ParmRecord& record) {
  if (record.usSize == 0) {
    Require("SCANSETPARM INIT", SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_INIT, nullptr));
  }
}

void ScanSession::BuildRecord(ParmRecord& record, const ScanOptions& options) {
  CompleteRecord(record);
  if (options.dpi) {
    SCAN_RES res{*options.dpi, 1, *options.dpi, 1, 0};
    Require("SCANSETPARM RES", SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_RES, &res));
  }
  if (options.bitsPerDot) {
    std::uint16_t bpp = *options.bitsPerDot;
    Require("SCANSETPARM BPP", SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_BPP, &bpp));
  }
  std::uint16_t compression = options.compression;
  Require("SCANSETPARM COMP", SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_COMP, &compression));
  std::int16_t feeder = options.flatbed ? -1 : 1;
  Require("SCANSETPARM ADF", SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_ADF, &feeder));
  if (options.settingsDialog) {
    Require("SCANPARMSDLG2", SCANPARMSDLG2("ZAFT Drivers", &record, 0));
  }
  // Switched on here, not off: a saved record or the dialog may have switched them on.
  if (options.patches) record.p2 = record.p3 = record.pt = 1;
  if (options.barcodes) record.bro = 1;
}

void ScanSession::Send(ParmRecord& record) {
  Require("SCANSETSTATE", SCANSETSTATE(handle_, &record));
}

std::optional<ScannedPage> ScanSession::NextPage() {
  ScannedPage page;
  page.data.resize(kChunk);
  std::uint32_t length = kChunk;
  std::uint16_t rc = SCANAREAEJECT(handle_, &header_, page.data.data(), &length);
  if (rc == RC_SCAN_ADF_EMPTY) return std::nullopt;
  if (rc != 0 && rc != RC_SCAN_MORE_DATA) throw LibraryError("SCANAREAEJECT", rc, LastErrorText());
  page.data.resize(length);
  // The rest in chunks, until the library has none left of the page.
  while (rc == RC_SCAN_MORE_DATA) {
    const std::size_t at = page.data.size();
    page.data.resize(at + kChunk);
    length = kChunk;
    const std::uint16_t got = SCANGETDATA(handle_, page.data.data() + at, &length, 0);
    if (got == RC_SCAN_NO_DATA)
      length = 0;
    else if (got != 0)
      throw LibraryError("SCANGETDATA", got, LastErrorText());
    page.data.resize(at + length);
    if (length == 0) break;
  }
  if (header_ != nullptr) std::memcpy(&page.header, header_, sizeof page.header);
  return page;
}

}  // namespace kovscan
