#include "parms/setters.h"

#include <cstring>
#include <optional>

#include "core/compression_code.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "framework/driver_calls.h"
#include "parms/parm_record.h"
#include "parms/tag_conversion.h"

namespace {

constexpr std::int32_t kNoPage = 99999;

const DriverRecord& Scanner() {
  return SCB.ScannerDriver;
}

// Lowers a size to a multiple of the tag's step; a driver without a usable step leaves it.
std::int32_t RoundDownToStep(std::uint16_t tag, std::int32_t size) {
  std::int32_t step = 0;
  if (DrvGetChoice(Scanner(), tag, kChoiceStep, step) != 0 || step <= 0) return size;
  return size - size % step;
}

bool ExceedsMaximum(std::uint16_t tag, std::int32_t size) {
  std::int32_t maximum = 0;
  return DrvGetChoice(Scanner(), tag, kChoiceMaximum, maximum) == 0 && size > maximum;
}

std::int32_t SetAreaWithoutPages(std::int32_t width, std::int32_t length) {
  DrvSetTag(Scanner(), kTagXPosition, 0);
  DrvSetTag(Scanner(), kTagYPosition, 0);
  if (ExceedsMaximum(kTagImageWidth, width)) return 1;
  DrvSetTag(Scanner(), kTagImageWidth, width);
  if (ExceedsMaximum(kTagImageLength, length)) return 1;
  DrvSetTag(Scanner(), kTagImageLength, length);
  return 0;
}

// The smallest listed page that holds the area, looked for from the last choice down.
std::int32_t SetAreaOnPage(std::int32_t pages, std::int32_t width, std::int32_t length) {
  std::int32_t bestWidth = kNoPage;
  std::int32_t bestLength = kNoPage;
  char best[kStringChoiceSize] = {};
  for (std::int32_t index = pages - 1; index >= 0; --index) {
    char name[kStringChoiceSize] = {};
    DrvGetStringChoice(Scanner(), kTagPageSize, static_cast<std::uint16_t>(index), name);
    name[sizeof name - 1] = '\0';
    DrvSetStringTag(Scanner(), kTagPageSize, name);
    std::int32_t pageWidth = 0;
    std::int32_t pageLength = 0;
    DrvGetTag(Scanner(), kTagImageWidth, pageWidth);
    DrvGetTag(Scanner(), kTagImageLength, pageLength);
    if (pageWidth >= width && pageLength >= length && pageWidth < bestWidth &&
        pageLength < bestLength) {
      bestWidth = pageWidth;
      bestLength = pageLength;
      std::memcpy(best, name, sizeof best);
    }
  }
  if (best[0] == '\0') return 1;
  DrvSetStringTag(Scanner(), kTagPageSize, best);
  DrvSetTag(Scanner(), kTagImageWidth, width);
  DrvSetTag(Scanner(), kTagImageLength, length);
  return 0;
}

}  // namespace

std::int32_t SetResolutionIfAllowed(std::uint16_t tag, std::uint32_t dpi) {
  std::int32_t count = 0;
  if (DrvGetChoiceCount(Scanner(), tag, count) != 0) return 1;
  for (std::int32_t index = count - 1; index >= 0; --index) {
    QelRational choice{};
    if (DrvGetRationalChoice(Scanner(), tag, static_cast<std::uint16_t>(index), choice) != 0) {
      continue;
    }
    if (static_cast<std::int64_t>(choice.lNumerator) ==
        static_cast<std::int64_t>(choice.lDenominator) * dpi) {
      DrvSetRationalTag(Scanner(), tag, choice);
      return 0;
    }
  }
  return 1;
}

namespace {

bool ListsChoices(std::uint16_t tag) {
  std::int32_t count = 0;
  return DrvGetChoiceCount(Scanner(), tag, count) == 0 && count > 0;
}

}  // namespace

std::int32_t SetBitDepth(std::uint16_t bpp) {
  switch (bpp) {
    case 1:
      DrvSetTag(Scanner(), kTagSamplesPerPixel, 1);
      // A scanner that lists no depths at all delivers what it scans (a TWAIN source without
      // pixel types): one bit is set there as ever, and elsewhere only where listed.
      if (!ListsChoices(kTagBitsPerSample)) {
        DrvSetTag(Scanner(), kTagBitsPerSample, 1);
        return 0;
      }
      return SetTagIfAllowed(kTagBitsPerSample, 1);
    case 4:
    case 8:
      DrvSetTag(Scanner(), kTagSamplesPerPixel, 1);
      return SetTagIfAllowed(kTagBitsPerSample, bpp);
    case 12:
    case 24:
      if (SetTagIfAllowed(kTagSamplesPerPixel, 3) != 0) return 1;
      return SetTagIfAllowed(kTagBitsPerSample, bpp / 3);
    default:
      return 1;
  }
}

std::int32_t SetScanArea(std::uint16_t requestedWidth, std::uint16_t requestedLength) {
  const std::int32_t width = RoundDownToStep(kTagImageWidth, requestedWidth);
  const std::int32_t length = RoundDownToStep(kTagImageLength, requestedLength);
  // An area smaller than one step holds no dot or no line: no page can be scanned of it.
  if (width <= 0 || length <= 0) return 1;
  std::int32_t pages = 0;
  if (DrvGetChoiceCount(Scanner(), kTagPageSize, pages) != 0) {
    return SetAreaWithoutPages(width, length);
  }
  return SetAreaOnPage(pages, width, length);
}

std::int32_t SetCompression(std::uint16_t code) {
  const std::optional<Compression> wanted = CompressionOfHostCode(code);
  if (!wanted) return 1;
  const std::optional<Compression> working = WorkingCompression();
  if (working && working->host == code) return 0;
  SetWorkingCompression(*wanted);
  // A compression the driver does not offer itself is made by the conversion pipe.
  ApplyCompression();
  return 0;
}

std::int32_t SetFeeder(std::int16_t value, bool duplex) {
  // No feeder value beyond these, whether or not the scanner has a choice of feeder.
  if (value < -1 || value > 1) return 1;
  std::int32_t scanType = 0;
  const bool hasScanType = DrvGetTag(Scanner(), tag_scantype, scanType) == 0;
  if (duplex) {
    if (!hasScanType) {
      TraceLog("    duplex selected but tag_scantype not available");
      return 1;
    }
    if (value == -1) {
      TraceLog("    duplex selected with flatbed");
      return 1;
    }
  }
  if (!hasScanType) return 0;
  if (value == -1) {
    if (SetTagIfAllowed(tag_scantype, 2) == 0) return 0;
    TraceLog("    Single feed selected but scanner has no flatbed");
    return 1;
  }
  if (duplex) {
    if (SetTagIfAllowed(tag_scantype, 4) == 0) return 0;
    TraceLog("    duplex/continuous not valid on this scanner");
    return 1;
  }
  if (SetTagIfAllowed(tag_scantype, 3) == 0) return 0;
  TraceLog("    simplex/continuous not valid on this scanner");
  return 1;
}
