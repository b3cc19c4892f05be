#include "tools/kovscan/scan_session.h"

#include <cstdio>
#include <cstring>
#include <functional>

#include "tools/kovscan/compressions.h"
#include "tools/kovscan/record_settings.h"
#include "tools/kovscan/scanner_offers.h"

namespace kovscan {

namespace {

constexpr std::uint32_t kChunk = 64 * 1024;

struct CodeName {
  std::uint16_t code;
  const char* name;
};

#define KOV_NAMED_CODE(code) CodeName{code, #code},
constexpr CodeName kCodeNames[] = {KOV_RETURN_CODES(KOV_NAMED_CODE)};
#undef KOV_NAMED_CODE

std::string NameOf(std::uint16_t code) {
  for (const CodeName& entry : kCodeNames) {
    if (entry.code == code) return entry.name;
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%04x", code);
  return text;
}

std::string LastErrorText() {
  char text[256] = {};
  SCANLASTERROR(text, sizeof text);
  return text;
}

void Require(const char* call, std::uint16_t rc) {
  if (rc != 0) throw LibraryError(call, rc, LastErrorText());
}

// A setter's refusal of the user's value is the user's to mend: it says what was refused and
// what the scanner offers instead.
void RequireTaken(const char* call, std::uint16_t rc, const std::function<std::string()>& refusal) {
  if (rc == RC_SCAN_INVALID_PARM) throw ArgumentError(refusal());
  Require(call, rc);
}

std::string AreaRefusal(ParmRecord& record, const SCAN_AREA& refused) {
  std::string text = "the scanner does not take an area of " + std::to_string(refused.usWidth) +
                     " x " + std::to_string(refused.usLength) + " dots";
  SCAN_AREA area{};
  SCAN_RES res{};
  if (SCANQUERYPARM(&record, SCAN_PARM_AREA, &area) == 0 &&
      SCANQUERYPARM(&record, SCAN_PARM_RES, &res) == 0 && res.ulXDenom != 0) {
    text += "; its area is " + std::to_string(area.usWidth) + " x " +
            std::to_string(area.usLength) + " dots at " +
            std::to_string(res.ulXNum / res.ulXDenom) + " dpi";
  }
  return text;
}

// A compression the scanner's pages cannot be given at the record's depth, with those they can.
std::string CompressionRefusal(ParmRecord& record, const std::string& refused) {
  const std::vector<std::uint16_t> offered = OfferedCompressions(record);
  std::uint16_t bpp = 0;
  SCANQUERYPARM(&record, SCAN_PARM_BPP, &bpp);
  return "the scanner's pages cannot be given " + refused + " compression at --bits " +
         std::to_string(bpp) + "; at that depth it offers " + ListText(offered, CompressionName);
}

// A scan type the scanner does not take, with those it does.
std::string ScanTypeRefusal(const ParmRecord& record, const std::string& refused) {
  const std::vector<std::int32_t> offered = OfferedScanTypes(record);
  return "the scanner offers no " + refused + "; it offers " +
         (offered.empty() ? std::string("no choice of scan type")
                          : ListText(offered, ScanTypeName));
}

}  // namespace

LibraryError::LibraryError(const std::string& call, std::uint16_t code, const std::string& text)
    : Failure(kLibraryFailure, call + " answered " + NameOf(code) + ": " + text), code_(code) {}

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
    RequireTaken("SCANSETPARM RES", SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_RES, &res), [&] {
      return "the scanner does not offer " + std::to_string(*options.dpi) + " dpi; it offers " +
             ListText(OfferedResolutions(record)) + " dpi";
    });
  }
  if (options.bitsPerDot) {
    std::uint16_t bpp = *options.bitsPerDot;
    RequireTaken("SCANSETPARM BPP", SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_BPP, &bpp), [&] {
      return "the scanner does not offer " + std::to_string(bpp) + " bits per dot; it offers " +
             ListText(OfferedDepths(record));
    });
  }
  if (options.area) {
    SCAN_AREA area = *options.area;
    RequireTaken("SCANSETPARM AREA", SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_AREA, &area),
                 [&] { return AreaRefusal(record, area); });
  }
  std::uint16_t compression = options.compression;
  RequireTaken("SCANSETPARM COMP",
               SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_COMP, &compression),
               [&] { return CompressionRefusal(record, CompressionName(compression)); });
  // The feeder setter keeps one side or duplex as the record's scan type setting has it, and
  // refuses duplex where the scanner has none: duplex is asked for there first.
  const char* const source = options.flatbed  ? "flatbed"
                             : options.duplex ? "duplex scan (--duplex)"
                                              : "feeder";
  if (options.duplex && !ReplaceSetting(record, kScanTypeSetting, "4")) {
    throw ArgumentError(ScanTypeRefusal(record, source));
  }
  std::int16_t feeder = options.flatbed ? -1 : 1;
  RequireTaken("SCANSETPARM ADF", SCANSETPARM("ZAFT Drivers", &record, SCAN_PARM_ADF, &feeder),
               [&] { return ScanTypeRefusal(record, source); });
  if (options.settingsDialog) {
    Require("SCANPARMSDLG2", SCANPARMSDLG2("ZAFT Drivers", &record, 0));
  }
  // Switched on here, not off: a saved record or the dialog may have switched them on.
  if (options.patches) record.p2 = record.p3 = record.pt = 1;
  if (options.barcodes) record.bro = 1;
}

void ScanSession::Send(ParmRecord& record) {
  const std::uint16_t rc = SCANSETSTATE(handle_, &record);
  if (rc == 0) return;
  const LibraryError failure("SCANSETSTATE", rc, LastErrorText());
  // A saved record whose compression its pages cannot be given; a record for another scanner
  // takes no compression at all.
  if (rc != RC_SCAN_INVALID_PARM || OfferedCompressions(record).empty()) throw failure;
  throw ArgumentError(CompressionRefusal(record, CompressionOf(record)));
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
