#include "tools/kovscan/scanner_offers.h"

#include <memory>

#include "tools/kovscan/compressions.h"
#include "tools/kovscan/record_settings.h"

namespace kovscan {

namespace {

// The resolutions scanners list most; a SANE range offers those it holds.
constexpr std::uint32_t kResolutions[] = {50, 75, 100, 150, 200, 240, 300, 400, 600, 1200};
// Every depth the record's parameter can carry.
constexpr std::uint16_t kDepths[] = {1, 4, 8, 12, 24};

template <typename Value>
bool Takes(const ParmRecord& record, std::uint16_t parm, Value value) {
  const auto copy = std::make_unique<ParmRecord>(record);
  return SCANSETPARM("ZAFT Drivers", copy.get(), parm, &value) == 0;
}

}  // namespace

std::vector<std::uint32_t> OfferedResolutions(const ParmRecord& record) {
  std::vector<std::uint32_t> offered;
  for (const std::uint32_t dpi : kResolutions) {
    if (Takes(record, SCAN_PARM_RES, SCAN_RES{dpi, 1, dpi, 1, 0})) offered.push_back(dpi);
  }
  return offered;
}

std::vector<std::uint16_t> OfferedDepths(const ParmRecord& record) {
  std::vector<std::uint16_t> offered;
  for (const std::uint16_t bits : kDepths) {
    if (Takes(record, SCAN_PARM_BPP, bits)) offered.push_back(bits);
  }
  return offered;
}

std::vector<std::uint16_t> OfferedCompressions(const ParmRecord& record) {
  std::vector<std::uint16_t> offered;
  for (const Compression& compression : kCompressions) {
    std::uint16_t code = compression.hostCode;
    const auto copy = std::make_unique<ParmRecord>(record);
    if (SCANSETPARM("ZAFT Drivers", copy.get(), SCAN_PARM_COMP, &code) == 0) {
      offered.push_back(code);
    }
  }
  return offered;
}

std::vector<std::int32_t> OfferedScanTypes(const ParmRecord& record) {
  std::vector<std::int32_t> offered;
  for (const std::int32_t type : {2, 3, 4}) {
    const auto copy = std::make_unique<ParmRecord>(record);
    // The feeder setter sets the scan type the record's setting asks for, flatbed, one side or
    // duplex through the feeder, and refuses one the scanner does not offer.
    std::int16_t feeder = type == 2 ? -1 : 1;
    if (ReplaceSetting(*copy, kScanTypeSetting, std::to_string(type)) &&
        SCANSETPARM("ZAFT Drivers", copy.get(), SCAN_PARM_ADF, &feeder) == 0) {
      offered.push_back(type);
    }
  }
  return offered;
}

std::string ScanTypeName(std::int32_t type) {
  return type == 2 ? "flatbed" : type == 3 ? "feeder, one side" : "duplex";
}

}  // namespace kovscan
