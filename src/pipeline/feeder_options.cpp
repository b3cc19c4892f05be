#include "pipeline/feeder_options.h"

#include "core/control_block.h"
#include "core/error_text.h"
#include "core/trace_log.h"
#include "framework/driver_calls.h"

namespace {

constexpr std::int32_t kScanTypeAuto = 0;
constexpr std::int32_t kScanTypeFlatbed = 2;
constexpr std::int32_t kScanTypeSimplex = 3;
constexpr std::int32_t kFeederMask = 0x10003;
constexpr std::int32_t kAskBeforeEachPage = 0x10000;

bool IsDuplex(std::int32_t scanType) {
  return scanType >= 4 && scanType <= 6;
}

const DriverRecord& Scanner() {
  return SCB.ScannerDriver;
}

// Every flag is written somewhere: the caller's variable or a scratch one.
struct Flags {
  explicit Flags(const FeederOptions& options)
      : shouldCheckFeeder(*Or(options.bshouldcheckfeeder, scratch[0])),
        pauseForEachPage(*Or(options.bpauseforeachpage, scratch[1])),
        canDoSingle(*Or(options.bcandosingle, scratch[2])),
        canDoContinuous(*Or(options.bcandocontinuous, scratch[3])),
        hasDuplex(*Or(options.bhasduplex, scratch[4])),
        setForDuplex(*Or(options.bsetforduplex, scratch[5])) {}
  Flags(const Flags&) = delete;
  Flags& operator=(const Flags&) = delete;
  static std::int32_t* Or(std::int32_t* given, std::int32_t& fallback) {
    return given != nullptr ? given : &fallback;
  }
  std::int32_t scratch[6] = {};
  std::int32_t& shouldCheckFeeder;
  std::int32_t& pauseForEachPage;
  std::int32_t& canDoSingle;
  std::int32_t& canDoContinuous;
  std::int32_t& hasDuplex;
  std::int32_t& setForDuplex;
};

// The scan type, switched from automatic to the simplex feeder where the scanner has one.
std::int32_t ReadScanType(Flags& flags) {
  std::int32_t scanType = kScanTypeAuto;
  // Defined even when no duplex value is listed: callers may pass an unset variable.
  flags.hasDuplex = 0;
  if (DrvGetTag(Scanner(), tag_scantype, scanType) != 0) {
    TraceLog("           Scantype not supported - pretending automatic");
    flags.setForDuplex = 0;
    TraceLog("           GetFeederOptions 1");
    return kScanTypeAuto;
  }
  TraceLogInt("           GetFeederOptions 2.   scantype=%d", scanType);
  std::int32_t count = 0;
  DrvGetChoiceCount(Scanner(), tag_scantype, count);
  TraceLogInt("           GFO scantype count=%d", count);
  bool hasSimplex = false;
  for (std::int32_t index = count - 1; index >= 0; --index) {
    std::int32_t value = 0;
    DrvGetChoice(Scanner(), tag_scantype, static_cast<std::uint16_t>(index), value);
    TraceLogInt("            GFO scantype val=%d", value);
    if (IsDuplex(value)) flags.hasDuplex = 1;
    if (value == kScanTypeSimplex) hasSimplex = true;
  }
  if (scanType == kScanTypeAuto) {
    if (!hasSimplex) {
      flags.setForDuplex = 0;
      return scanType;
    }
    TraceLog("           Scantype set to auto - switching to feeder");
    DrvSetTag(Scanner(), tag_scantype, kScanTypeSimplex);
    scanType = kScanTypeSimplex;
  }
  flags.setForDuplex = IsDuplex(scanType) ? 1 : 0;
  return scanType;
}

// Both feeding kinds: whether to ask for a page depends on the scan type. False when the
// page query failed.
bool DecideForBothFeedingKinds(Flags& flags, std::int32_t scanType, std::int32_t status,
                               bool askedForPageFlags) {
  if (scanType == kScanTypeFlatbed) {
    TraceLog("           GetFeederOptions 6");
    flags.shouldCheckFeeder = 0;
    flags.pauseForEachPage = 1;
    return true;
  }
  if (scanType != kScanTypeAuto) {
    TraceLog("           GetFeederOptions 7");
    flags.shouldCheckFeeder = (status & kAskBeforeEachPage) != 0 ? 1 : 0;
    flags.pauseForEachPage = 0;
    return true;
  }
  TraceLog("           GetFeederOptions 8");
  if ((status & kAskBeforeEachPage) == 0 || !askedForPageFlags) {
    TraceLog("           GetFeederOptions 9");
    flags.shouldCheckFeeder = 0;
    flags.pauseForEachPage = 1;
    return true;
  }
  std::uint32_t pageFlags = 0;
  const std::int32_t rc = QelDrvMessage(Scanner(), QelDrvPageLoaded, 1, &pageFlags);
  if (rc < 0) {
    FrameworkErrorToText(&Scanner(), rc);
    return false;
  }
  TraceLogInt("   QelDrvPageLoaded returns %x", rc);
  TraceLogInt("      and wrote %d into dwFlags", static_cast<std::int32_t>(pageFlags));
  if (pageFlags == 1 && SCB.sFeederAtSend != 0) {
    flags.shouldCheckFeeder = 1;
    flags.pauseForEachPage = 1;
  } else if (pageFlags == kPageReady) {
    flags.shouldCheckFeeder = 1;
    flags.pauseForEachPage = 0;
  } else {
    flags.shouldCheckFeeder = 0;
    flags.pauseForEachPage = 1;
  }
  return true;
}

// One feeding kind, or none known: the flags follow from the status alone.
void SetForOneFeedingKind(Flags& flags, std::int32_t masked) {
  struct Row {
    std::int32_t masked;
    const char* trace;
    std::int32_t shouldCheckFeeder, pauseForEachPage, canDoSingle, canDoContinuous;
  };
  constexpr Row kRows[] = {{0x00001, "           GetFeederOptions 4", 0, 0, 0, 1},
                           {0x00002, "           GetFeederOptions 3", 0, 1, 1, 0},
                           {0x10001, "           GetFeederOptions 5", 1, 0, 0, 1}};
  for (const Row& row : kRows) {
    if (row.masked != masked) continue;
    TraceLog(row.trace);
    flags.shouldCheckFeeder = row.shouldCheckFeeder;
    flags.pauseForEachPage = row.pauseForEachPage;
    flags.canDoSingle = row.canDoSingle;
    flags.canDoContinuous = row.canDoContinuous;
    return;
  }
  // Anything else: no page question, and what single or continuous feeding can do stays
  // as the caller had it.
  TraceLog("           GetFeederOptions 10");
  flags.shouldCheckFeeder = 0;
  flags.pauseForEachPage = 1;
}

}  // namespace

std::int32_t GetFeederOptions(const FeederOptions& options) {
  const bool askedForPageFlags =
      options.bshouldcheckfeeder != nullptr || options.bpauseforeachpage != nullptr;
  TraceLog("        In GetFeederOptions");
  Flags flags(options);
  const std::int32_t scanType = ReadScanType(flags);
  TraceLogInt("           bhasduplex=%d", flags.hasDuplex);
  TraceLogInt("           bsetforduplex=%d", flags.setForDuplex);

  std::int32_t status = 0;
  DrvGetTag(Scanner(), kTagFeederStatus, status);
  const std::int32_t masked = status & kFeederMask;
  if (masked == 0x00003 || masked == 0x10003) {
    TraceLog("           GetFeederOptions 5");
    flags.canDoSingle = 1;
    flags.canDoContinuous = 1;
    if (!DecideForBothFeedingKinds(flags, scanType, status, askedForPageFlags)) return 1;
  } else {
    SetForOneFeedingKind(flags, masked);
  }
  TraceLogInt("           bshouldcheckfeeder=%d", flags.shouldCheckFeeder);
  TraceLogInt("           bpauseforeachpage=%d", flags.pauseForEachPage);
  TraceLogInt("           bcandosingle=%d", flags.canDoSingle);
  TraceLogInt("           bcandocontinuous=%d", flags.canDoContinuous);
  return 0;
}

void FeederParmValues(std::int16_t& feeder, std::int16_t& duplex) {
  std::int32_t status = 0;
  DrvGetTag(Scanner(), kTagFeederStatus, status);  // asked, as scanners expect; not used
  std::int32_t scanType = kScanTypeAuto;
  DrvGetTag(Scanner(), tag_scantype, scanType);
  duplex = 0;
  switch (scanType) {
    case kScanTypeAuto:
      feeder = SCB.sFeederAtSend != 0 ? 0 : -1;
      break;
    case kScanTypeFlatbed:
      feeder = -1;
      break;
    case kScanTypeSimplex:
      feeder = 1;
      break;
    default:
      feeder = 1;
      duplex = 1;
      break;
  }
}
