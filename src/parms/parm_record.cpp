#include "parms/parm_record.h"

#include <charconv>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string_view>

#include "core/command.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "framework/driver_calls.h"
#include "parms/settings_text.h"

namespace {

constexpr char kBppNotFound[] = "Couldn't find lspp or lbps in restore for getbpp";
constexpr std::int64_t kMaxBitsPerDot = 0xFFFF;

std::optional<std::int32_t> ReadNumber(std::string_view text) {
  std::int32_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return number;
}

// A bounded copy of a record's text field for the trace, which wants a terminated text.
template <std::size_t N>
void TraceField(const char* format, const char (&field)[N]) {
  char text[N + 1] = {};
  const std::string_view value(field, N);
  value.substr(0, value.find('\0')).copy(text, N);
  TraceLogStr(format, text);
}

// The size of the value layout of RES to QCTRL; 0 for other identifiers.
std::size_t ValueLayoutSize(std::uint16_t usParm) {
  switch (usParm) {
    case SCAN_PARM_RES:
      return sizeof(SCAN_RES);
    case SCAN_PARM_BPP:
    case SCAN_PARM_COMP:
    case SCAN_PARM_ADF:
      return sizeof(std::uint16_t);
    case SCAN_PARM_AREA:
      return sizeof(SCAN_AREA);
    case SCAN_PARM_QCTRL:
      return sizeof(SCAN_QCTRL);
    default:
      return 0;
  }
}

}  // namespace

std::int32_t getbpp(const ParmRecord& record) {
  if (record.sOldCount != 0) {
    TraceLog("1Couldn't find lspp or lbps in restore for getbpp");
    return 1;
  }
  std::optional<std::int32_t> samples;
  std::optional<std::int32_t> bits;
  ForEachSetting(record, [&](const SettingEntry& entry) {
    if (!samples && entry.name.starts_with("SamplesPerPixel")) samples = ReadNumber(entry.value);
    if (!bits && entry.name.starts_with("BitsPerSample")) bits = ReadNumber(entry.value);
    return !(samples && bits);
  });
  if (!samples || !bits) {
    TraceLog(kBppNotFound);
    return 1;
  }
  // A depth the host's 16-bit field cannot carry is no depth.
  const std::int64_t bpp = std::int64_t{*samples} * *bits;
  return bpp >= 0 && bpp <= kMaxBitsPerDot ? static_cast<std::int32_t>(bpp) : 0;
}

bool TagHasChoice(std::uint16_t tag, std::int32_t value) {
  std::int32_t count = 0;
  if (DrvGetChoiceCount(SCB.ScannerDriver, tag, count) != 0 || count < 0) return false;
  for (std::int32_t index = (count & 0xFFFF) - 1; index >= 0; --index) {
    std::int32_t choice = 0;
    if (DrvGetChoice(SCB.ScannerDriver, tag, static_cast<std::uint16_t>(index), choice) == 0 &&
        choice == value) {
      return true;
    }
  }
  return false;
}

std::int32_t SetTagIfAllowed(std::uint16_t tag, std::int32_t value) {
  if (!TagHasChoice(tag, value)) return 1;
  DrvSetTag(SCB.ScannerDriver, tag, value);
  return 0;
}

const char* ParmIdentifierLine(std::uint16_t usParm, bool query) {
  constexpr const char* kLines[] = {"   VERSION queried", "   RES queried",  "   BPP queried",
                                    "   AREA queried",    "   COMP queried", "   ADF queried",
                                    "   QCTRL queried"};
  if (usParm == SCAN_PARM_INIT && !query) return nullptr;
  return usParm < std::size(kLines) ? kLines[usParm] : nullptr;
}

void TraceRecord(const ParmRecord& record) {
  TraceField("\t\t parm: Driver=%s", record.szDriver);
  TraceField("      parm: ID=%s", record.szID);
  TraceLog("       got some parms");
}

ParmValueUse SetValueUse(std::uint16_t usParm) {
  return {.read = {0, ValueLayoutSize(usParm)}, .written = {}};
}

ParmValueUse QueryValueUse(std::uint16_t usParm) {
  switch (usParm) {
    case SCAN_PARM_VERSION:
      return {.read = {}, .written = {0, sizeof(std::uint32_t)}};
    case SCAN_PARM_QCTRL:
      return {.read = {offsetof(SCAN_QCTRL, ulIndex), sizeof(std::uint32_t)},
              .written = {offsetof(SCAN_QCTRL, ulValue), sizeof(std::uint32_t)}};
    default:
      return {.read = {}, .written = {0, ValueLayoutSize(usParm)}};
  }
}

void FillColourTable(Command& command) {
  const std::int32_t bits = getbpp(command.Parms);
  const std::size_t entries = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
  if (entries == 0) {
    StoreLastRc(RC_SCAN_INVALID_PARM);
    command.lWorkerRc = RC_SCAN_INVALID_PARM;
    return;
  }
  for (std::size_t i = 0; i < entries; ++i) {
    // Two entries are black and white; otherwise entry i is gray level i, not scaled.
    const auto level = static_cast<std::uint8_t>(entries == 2 ? i * 255 : i);
    SCAN_CLT_ENTRY& entry = command.Clt[i];
    entry.abValue[0] = entry.abValue[1] = entry.abValue[2] = level;
  }
  command.cltEntries = entries;
  command.lWorkerRc = 0;
}
