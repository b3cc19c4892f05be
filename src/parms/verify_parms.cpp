#include "parms/verify_parms.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "core/control_block.h"
#include "core/profile_switch.h"
#include "core/trace_log.h"
#include "framework/driver_calls.h"
#include "parms/tag_conversion.h"

namespace {

constexpr std::size_t kIdSize = 128;
constexpr std::size_t kDumpRowBytes = 16;

// A record that failed a check is not applied. When the check is ignored the scanner goes
// on with what it held when loaded, and so do the working values.
std::int32_t NotApplied(std::int32_t refusal) {
  if (refusal != 0) return refusal;
  TraceLog("   VerifyParms: record accepted but not applied, the scanner keeps its own settings");
  TakeDriverCompression();
  ResetDetection();
  return 0;
}

}  // namespace

void DumpRecordHex(const std::uint8_t* bytes, std::size_t count) {
  TraceLogInt("struct output size %d", static_cast<std::int32_t>(count));
  for (std::size_t row = 0; row < count; row += kDumpRowBytes) {
    char line[kDumpRowBytes * 3 + 1] = {};
    const std::size_t end = std::min(row + kDumpRowBytes, count);
    for (std::size_t i = row; i < end; ++i) {
      std::snprintf(line + (i - row) * 3, 4, "%02x ", bytes[i]);
    }
    TraceLog(line);
  }
}

std::int32_t VerifyParms(ParmRecord& record) {
  TraceLog("   VerifyParms called.");
  TraceLogInt("   VerifyParms expecting size: %d", PARM_RECORD_SIZE);
  std::int32_t refusal = 1;
  if (ProfileSwitchEquals("Verify", "0")) {
    TraceLog("  [KOVZAFT] - Ignoring Verify Results");
    refusal = 0;
  }
  if (record.usSize != PARM_RECORD_SIZE) {
    TraceLogInt("   VerifyParms: Size is different! got: %d", record.usSize);
    // The host's record is no longer than the record: the dump stays inside it.
    DumpRecordHex(reinterpret_cast<const std::uint8_t*>(&record),
                  std::min<std::size_t>(record.usSize, sizeof record));
    return NotApplied(refusal);
  }
  // A driver that cannot tell its identification counts as an empty one.
  char id[kIdSize] = {};
  DrvGetStringTag(SCB.ScannerDriver, kTagScannerId, id);
  id[sizeof id - 1] = '\0';
  std::string_view recordId(record.szID, sizeof record.szID);
  recordId = recordId.substr(0, recordId.find('\0'));
  if (recordId != id) {
    TraceLog("   VerifyParms: These parameters are meant for a different scanner id!");
    return NotApplied(refusal);
  }
  // A record holding a value the scanner cannot scan with would fail every page.
  return parmtotags(record) ? 0 : refusal;
}
