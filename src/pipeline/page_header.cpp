#include "pipeline/page_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/compression_code.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "framework/driver_calls.h"

std::int32_t lPatchResult = 0;

namespace {

constexpr std::size_t kDataFieldTextSize = 128;

const DriverRecord& Scanner() {
  return SCB.ScannerDriver;
}
const DriverRecord& Storage() {
  return SCB.StorageDriver;
}

bool ScannerAnswers(std::uint16_t tag) {
  std::int32_t value = 0;
  return DrvGetTag(Scanner(), tag, value) == 0;
}

std::int32_t StorageTag(std::uint16_t tag, std::int32_t otherwise) {
  std::int32_t value = otherwise;
  DrvGetTag(Storage(), tag, value);
  return value;
}

std::uint8_t PageLevel() {
  if (lPatchResult != 0) {
    const auto level = static_cast<std::uint8_t>(lPatchResult + 1);
    TraceLogInt("patch detected: page level==%d", level);
    lPatchResult = 0;
    return level;
  }
  if (ScannerAnswers(kTagPageLevel)) {
    const std::int32_t value = StorageTag(kTagPageLevel, 0);
    const auto level = static_cast<std::uint8_t>(value != 0 ? value & 0xFF : 1);
    TraceLogInt("vendor-tag stuff: page level==%d", level);
    return level;
  }
  const std::uint8_t level = StorageTag(kTagJobSepLevel, 0) != 0 ? 2 : 1;
  TraceLogInt("jobsep-like stuff: page level==%d", level);
  return level;
}

void WriteDataFields(KOV_PAGEHEADER& header, std::int32_t v1770) {
  std::int32_t v1771 = 0, v1772 = 0, v1763 = 0;
  DrvGetTag(Scanner(), kTagDataField2Second, v1771);
  DrvGetTag(Scanner(), kTagDataField2First, v1772);
  char t1769[kDataFieldTextSize] = {};
  DrvGetStringTag(Scanner(), kTagDataField2Text, t1769);
  t1769[sizeof t1769 - 1] = '\0';
  DrvGetTag(Scanner(), kTagDataField1, v1763);

  header.usDf1Length = 15;
  header.usDf1Number = 1;
  std::snprintf(header.szDf1Data, sizeof header.szDf1Data, "%10d", v1763);
  TraceLogInt("df1.Data gets: [%10d]", v1763);

  header.usDf2Length = 69;
  header.usDf2Number = 2;
  // A longer text than the field's width is cut so the field keeps its 65 bytes.
  const char* format = SCB.bUseOldAddressOffset != 0 ? "%10s.%10d.%10d.%10d" : "%9s.%10d.%10d.%10d";
  char text[256];
  std::snprintf(text, sizeof text, format, t1769, v1772, v1771, v1770);
  const std::size_t length = std::min(std::strlen(text), sizeof header.szDf2Data - 1);
  std::memcpy(header.szDf2Data, text, length);
  header.szDf2Data[length] = '\0';
  char line[kTraceFormatSize];
  std::snprintf(line, sizeof line,
                SCB.bUseOldAddressOffset != 0 ? "df2.Data gets: [%10s.%10d.%10d.%10d]"
                                              : "df2.Data gets: [%9s.%10d.%10d.%10d]",
                t1769, v1772, v1771, v1770);
  TraceLog(line);
}

// A size tag's value as a factor of a row's size: what no page has (negative, or more than
// 16 bits) counts as 0, so that no product of three of them can overflow.
std::int64_t RowFactor(std::int32_t value) {
  return value >= 0 && value <= 0xFFFF ? value : 0;
}

// Lines of an uncompressed page from the bytes captured; 0 for a line size of 0.
std::uint32_t LinesFromSize(std::int32_t width, std::int32_t samples, std::int32_t bits,
                            std::uint16_t bytesPerLine) {
  std::int64_t lineSize = bytesPerLine;
  if (samples > 1) {
    const std::int32_t planar = StorageTag(kTagPlanarConfiguration, 1);
    TraceLogInt("Planar == %d", planar);
    const std::int64_t w = RowFactor(width), n = RowFactor(samples), b = RowFactor(bits);
    lineSize = planar == 1 ? (w * n * b + 7) / 8 : ((w * b + 7) / 8) * n;
  }
  return lineSize > 0
             ? static_cast<std::uint32_t>(SCB.ulPageSize / static_cast<std::uint64_t>(lineSize))
             : 0;
}

}  // namespace

void BuildPageHeader(KOV_PAGEHEADER& header) {
  TraceLog("Creating KOV Header Information");
  const std::uint8_t level = PageLevel();
  TraceLogInt("copying barcode info to header: %d barcodes", SCB.sBarcodeCount);
  std::memcpy(header.aBarcodes, SCB.BarcodeTable.data(), sizeof header.aBarcodes);

  std::int32_t scanType = 0;
  DrvGetTag(Scanner(), tag_scantype, scanType);
  const bool duplex = scanType != 0 && scanType != 2 && scanType != 3;
  std::memset(header.abZero1, 0, sizeof header.abZero1);

  std::int32_t v1770 = 0;
  if (DrvGetTag(Scanner(), kTagSendParams, v1770) == 0) WriteDataFields(header, v1770);

  QelRational x{0, 0};
  DrvGetRationalTag(Storage(), kTagXResolution, x);
  header.ulXResNum = header.ulYResNum = static_cast<std::uint32_t>(x.lNumerator);
  header.ulXResDenom = header.ulYResDenom = static_cast<std::uint32_t>(x.lDenominator);
  TraceLogInt("xres Num  =%d", x.lNumerator);
  TraceLogInt("xres Denom=%d", x.lDenominator);
  TraceLogInt("yres Num  =%d", x.lNumerator);
  TraceLogInt("yres Denom=%d", x.lDenominator);

  header.usZero2 = 0;
  const std::int32_t sequence = SCB.lSeqNumber;
  header.lSeqNumber = sequence;
  TraceLogInt("SeqNum = %d", sequence);
  header.ucLevel = level;
  TraceLogInt("Level = %d", level);

  std::uint8_t side = 0;
  if (ScannerAnswers(kTagPageSide)) {
    side = StorageTag(kTagPageSide, 0) != 0 ? 1 : 0;
    TraceLogInt("vendor-tag stuff: page side==%d", side);
  } else if (duplex && (sequence & 1) != 0) {
    side = 1;
  }
  header.ucSide = side;
  TraceLogInt("Side = %d", side);

  const std::int32_t bits = StorageTag(kTagBitsPerSample, 0);
  const std::int32_t samples = StorageTag(kTagSamplesPerPixel, 0);
  header.usBpp = static_cast<std::uint16_t>(std::int64_t{bits} * samples);
  TraceLogInt("BPP = %d", header.usBpp);

  const std::int32_t compression = StorageTag(kTagCompression, kTiffUncompressed);
  header.usCompression = HostCompressionCode(compression, StorageTag(kTagT4Options, 0));
  TraceLogInt("Comp = %d", header.usCompression);

  const std::int32_t width = StorageTag(kTagImageWidth, 0);
  TraceLogInt("(ZAFT: width of returned image): %d", width);
  TraceLogInt("(ZAFT: length of returned image): %d", StorageTag(kTagImageLength, 0));
  // A row of whole bytes: a width that is no multiple of 8 at one bit still fills its last byte.
  const std::int64_t bytesPerLine =
      (RowFactor(width) * RowFactor(samples) * RowFactor(bits) + 7) / 8;
  header.usBytesPerLine = static_cast<std::uint16_t>(bytesPerLine);
  TraceLogInt("Bytes per line = %d", static_cast<std::int32_t>(bytesPerLine));

  std::uint32_t lines = static_cast<std::uint32_t>(StorageTag(kTagImageLength, 0));
  TraceLogInt("numLines(tag) = %d", static_cast<std::int32_t>(lines));
  if (compression == 1) {
    lines = samples <= 1 ? (header.usBytesPerLine != 0 ? SCB.ulPageSize / header.usBytesPerLine : 0)
                         : LinesFromSize(width, samples, bits, header.usBytesPerLine);
    TraceLogInt("Calculated updated imagelength because it's uncompressed data = %d",
                static_cast<std::int32_t>(lines));
  }
  header.usLines = static_cast<std::uint16_t>(lines);
  TraceLog("Done setting up KOV header");
}
