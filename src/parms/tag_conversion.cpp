#include "parms/tag_conversion.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numeric>
#include <optional>
#include <string_view>

#include "core/compression_code.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "framework/barcode.h"
#include "framework/driver_calls.h"
#include "parms/parm_record.h"
#include "parms/settings_text.h"

extern "C" std::int32_t KOVAPI SaveCallback(std::int32_t, const char*, const char*,
                                            ParmRecord*) noexcept;
extern "C" std::int32_t KOVAPI RestoreCallback(std::int32_t, const char*, const char*, char*,
                                               std::int32_t, ParmRecord*) noexcept;
extern "C" std::int32_t KOVAPI OldRestoreCallback(std::int32_t, const char*, const char*, char*,
                                                  std::int32_t, ParmRecord*) noexcept;

namespace {

constexpr std::size_t kIdSize = 128;
constexpr std::size_t kTagTextSize = 256;
constexpr std::size_t kRestoreBufferSize = 80;
constexpr char kTagNotFound[] = "QELTAGNOTFOUND";

const DriverRecord& Scanner() {
  return SCB.ScannerDriver;
}

// Copies a text into a fixed record field, cut to fit and terminated.
template <std::size_t N>
void StoreField(char (&field)[N], std::string_view text) {
  text = text.substr(0, text.find('\0'));
  const std::size_t count = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), count);
  field[count] = '\0';
}

// Leading decimal digits through the framework's conversion; `rest` gets what follows them.
std::int32_t LeadingNumber(const char* text, const char** rest) {
  const char* end = text;
  while (*end >= '0' && *end <= '9') ++end;
  *rest = end;
  return QelTextToNumber(text);
}

std::int32_t RestoreRational(std::uint16_t tag, const char* text) {
  if (*text == '\0') return kErrSettingMissing;
  const char* rest = nullptr;
  const std::int32_t numerator = LeadingNumber(text, &rest);
  while (*rest != '\0' && (*rest < '0' || *rest > '9')) ++rest;
  if (*rest == '\0') return kErrNoDenominator;
  const std::int32_t denominator = QelTextToNumber(rest);
  return DrvSetRationalTag(Scanner(), tag, {numerator, denominator});
}

// Whether the scanner can scan with the value: one of the tag's choices where it lists them,
// and for the compression also one the library can name.
bool Offered(std::uint16_t tag, std::int32_t value) {
  if (tag == kTagCompression && !CompressionOfTags(value, 0)) return false;
  std::int32_t count = 0;
  if (DrvGetChoiceCount(Scanner(), tag, count) != 0) return true;
  return TagHasChoice(tag, value);
}

// A minus sign negates the framework's number for the digits after it, read as unsigned
// since the framework's 32 bits wrap. A value below the 32-bit range, or one the scanner does
// not offer, is not set.
std::int32_t RestoreInteger(std::uint16_t tag, const char* text) {
  if (*text == '\0') return kErrSettingMissing;
  const std::int64_t value =
      text[0] != '-' ? std::int64_t{QelTextToNumber(text)}
                     : -std::int64_t{static_cast<std::uint32_t>(QelTextToNumber(text + 1))};
  if (value < std::numeric_limits<std::int32_t>::min()) return kErrValueNotAllowed;
  if (!Offered(tag, static_cast<std::int32_t>(value))) return kErrValueNotAllowed;
  return DrvSetTag(Scanner(), tag, static_cast<std::int32_t>(value));
}

// A format list for the pipe builder: a count and then (tag, value) pairs.
class FormatList {
 public:
  void Add(std::uint16_t tag, std::int32_t value) {
    words_[1 + 2 * count_] = tag;
    words_[2 + 2 * count_] = value;
    words_[0] = static_cast<std::int32_t>(++count_);
  }
  const std::int32_t* data() const { return words_.data(); }

 private:
  std::size_t count_ = 0;
  std::array<std::int32_t, 1 + 2 * 5> words_{};
};

void StoreBarcodeState(ParmRecord& record) {
  platform::ComString state = nullptr;
  if (SCB.pBarcode->GetState(&state) < 0 || state == nullptr) return;
  char text[sizeof record.szBarcodeState + 1];
  const std::size_t length = platform::ComStringToAnsi(state, text, sizeof text);
  platform::FreeComString(state);
  // A state that does not fit whole is not stored: the previous one stays.
  if (length + 1 > sizeof record.szBarcodeState) return;
  std::memcpy(record.szBarcodeState, text, length + 1);
  TraceLog(record.szBarcodeState);
}

void ApplyBarcodeState(ParmRecord& record) {
  if (record.lDiscardState != 0) record.szBarcodeState[0] = '\0';
  if (record.szBarcodeState[0] == '\0') return;
  // A state without its zero inside the field is read up to the field's end.
  char text[sizeof record.szBarcodeState + 1] = {};
  StoreField(text, std::string_view(record.szBarcodeState, sizeof record.szBarcodeState));
  platform::ComString state = nullptr;
  ToComponentString(text, state);
  SCB.pBarcode->PutState(state);
  platform::FreeComString(state);
}

}  // namespace

void RoundImageWidth() {
  const std::int32_t bits = DrvGetTagOr(Scanner(), kTagBitsPerSample, 0);
  const std::int32_t width = DrvGetTagOr(Scanner(), kTagImageWidth, 0);
  if (bits <= 0 || width <= 0) return;
  // The fewest dots that fill whole bytes: 8 / gcd(bits, 8), so 8 for 1 bit, 4 for 2, 2 for
  // 4, 1 for 8, and right for depths between and above (3 bits: 8 dots; 12 bits: 2).
  const std::int32_t step = 8 / std::gcd(bits, 8);
  const std::int32_t rounded = width & ~(step - 1);
  // A width narrower than one step is left as it is rather than cleared.
  if (rounded == width || rounded == 0) return;
  TraceLogInt("   Width being adjusted to be a multiple of 8: %d", width);
  DrvSetTag(Scanner(), kTagImageWidth, rounded);
}

const char* TagKeyText(std::uint16_t tag) {
  static char key[32];
  std::int32_t qualifier = 0;
  if (DrvGetTag(Scanner(), kTagKeyQualifier, qualifier) == 0 ||
      DrvGetTag(Scanner(), kTagKeyQualifierAlt, qualifier) == 0) {
    std::snprintf(key, sizeof key, "Tag %d(%d)", tag, static_cast<std::int16_t>(qualifier));
  } else {
    std::snprintf(key, sizeof key, "Tag %d", tag);
  }
  return key;
}

void SaveTagText(ParmRecord& record, QelSaveSettingFn save, std::uint16_t tag) {
  TiffType type{};
  if (DrvGetTagType(Scanner(), tag, type) != 0) return;
  char text[kTagTextSize] = {};
  switch (type) {
    case TiffType::Byte:
    case TiffType::Short:
    case TiffType::Long: {
      std::int32_t value = 0;
      if (DrvGetTag(Scanner(), tag, value) != 0) return;
      std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
      break;
    }
    case TiffType::Ascii:
      if (DrvGetStringTag(Scanner(), tag, text) != 0) return;
      text[sizeof text - 1] = '\0';
      break;
    case TiffType::Rational: {
      QelRational value{};
      if (DrvGetRationalTag(Scanner(), tag, value) != 0) return;
      std::snprintf(text, sizeof text, "%ld/%ld", static_cast<long>(value.lNumerator),
                    static_cast<long>(value.lDenominator));
      break;
    }
    default:
      return;  // no text form for other types
  }
  save(0, TagKeyText(tag), text, &record);
}

std::int32_t RestoreTagText(ParmRecord& record, QelRestoreSettingFn restore, std::uint16_t tag) {
  char text[kRestoreBufferSize] = {};
  const std::int32_t rc = restore(0, TagKeyText(tag), kTagNotFound, text, sizeof text, &record);
  if (rc < 0) return rc;
  text[sizeof text - 1] = '\0';
  if (std::strcmp(text, kTagNotFound) == 0) return kErrSettingMissing;
  TiffType type{};
  if (const std::int32_t typeRc = DrvGetTagType(Scanner(), tag, type); typeRc != 0) return typeRc;
  switch (type) {
    case TiffType::Byte:
    case TiffType::Short:
    case TiffType::Long:
      return RestoreInteger(tag, text);
    case TiffType::Ascii:
      return DrvSetStringTag(Scanner(), tag, text);
    case TiffType::Rational:
      return RestoreRational(tag, text);
    default:
      return 0;
  }
}

bool ApplyCompression() {
  const std::optional<Compression> working = WorkingCompression();
  if (!working) return false;
  SetTagIfAllowed(kTagCompression, working->tiff);
  if (working->tiff == kTiffCcittG3) SetTagIfAllowed(kTagT4Options, SCB.lCurT4Options);
  return true;
}

bool BuildCompressionPipe(char* pipeText, std::size_t pipeTextSize) {
  const std::int32_t compression = DrvGetTagOr(Scanner(), kTagCompression, 0);
  const std::int32_t t4Options = DrvGetTagOr(Scanner(), kTagT4Options, 0);
  if (compression == SCB.lCurCompression &&
      (compression != kTiffCcittG3 || t4Options == SCB.lCurT4Options)) {
    pipeText[0] = '\0';
    return true;
  }
  const std::int32_t samples = DrvGetTagOr(Scanner(), kTagSamplesPerPixel, 1);
  const std::int32_t bits = DrvGetTagOr(Scanner(), kTagBitsPerSample, 1);
  FormatList output;
  output.Add(kTagSamplesPerPixel, samples);
  output.Add(kTagBitsPerSample, bits);
  output.Add(kTagPhotometricInterpretation,
             DrvGetTagOr(Scanner(), kTagPhotometricInterpretation, samples == 3 ? 2 : 0));
  output.Add(kTagPlanarConfiguration, DrvGetTagOr(Scanner(), kTagPlanarConfiguration, 1));
  output.Add(kTagCompression, DrvGetTagOr(Scanner(), kTagCompression, kTiffUncompressed));

  FormatList wanted;
  if (samples == 3 && bits == 8) {
    wanted.Add(kTagSamplesPerPixel, 3);
    wanted.Add(kTagBitsPerSample, 8);
    wanted.Add(kTagPhotometricInterpretation, SCB.lCurCompression == kTiffJpeg ? 120 : 2);
    wanted.Add(kTagCompression, SCB.lCurCompression);
    wanted.Add(kTagPlanarConfiguration, 1);
  } else {
    wanted.Add(kTagSamplesPerPixel, samples);
    wanted.Add(kTagBitsPerSample, bits);
    wanted.Add(kTagPhotometricInterpretation,
               samples == 1 && bits == 8 && SCB.lCurCompression == kTiffJpeg ? 1 : 0);
    wanted.Add(kTagCompression, SCB.lCurCompression);
  }
  if (QelMakePipe(output.data(), wanted.data(), pipeText,
                  static_cast<std::int32_t>(pipeTextSize)) >= 0) {
    return true;
  }
  TraceLog("Couldn't generate pipe in parmtotags.");
  pipeText[0] = '\0';
  return false;
}

void TakeDriverCompression() {
  SCB.lCurCompression = DrvGetTagOr(Scanner(), kTagCompression, kTiffUncompressed);
  SCB.lCurT4Options = DrvGetTagOr(Scanner(), kTagT4Options, 0);
  SCB.PipeText[0] = '\0';
}

void ResetDetection() {
  SCB.p2 = SCB.p3 = SCB.pt = SCB.bro = 0;
  SCB.pBarcode->PutState(SCB.DefaultBarcodeState);
}

std::int32_t ToComponentString(const char* text, platform::ComString& result) {
  result = platform::AnsiToComString(text);
  return result != nullptr ? 0 : kErrNoMemory;
}

void tagstoparm(ParmRecord& record) {
  TraceLog("   in tagstoparm ");
  char id[kIdSize] = {};
  DrvGetStringTag(Scanner(), kTagScannerId, id);
  id[sizeof id - 1] = '\0';
  StoreField(record.szID, id);
  StoreField(record.szDriver, SCB.szDriverName);
  record.sSettingsLen = 0;
  record.sOldCount = 0;
  record.usSize = PARM_RECORD_SIZE;
  RoundImageWidth();

  QelSaveSettingsArgs save{SaveCallback, &record};
  QelDrvMessage(Scanner(), QelDrvSaveSettings, 0, &save);
  SaveTagText(record, SaveCallback, kTagCompression);
  SaveTagText(record, SaveCallback, kTagScanAhead);
  record.achSettings[std::min<std::size_t>(record.sSettingsLen, kSettingsLimit)] = '\0';
  record.lDiscardState = 0;

  record.p2 = static_cast<std::uint8_t>(SCB.p2);
  record.p3 = static_cast<std::uint8_t>(SCB.p3);
  record.pt = static_cast<std::uint8_t>(SCB.pt);
  record.bro = static_cast<std::uint8_t>(SCB.bro);
  record.lCompression = SCB.lCurCompression;
  record.lT4Options = SCB.lCurT4Options;
  char line[kTraceFormatSize];
  std::snprintf(line, sizeof line, "p2=%d p3=%d pt=%d bro=%d", SCB.p2, SCB.p3, SCB.pt, SCB.bro);
  TraceLog(line);
  StoreBarcodeState(record);
  TraceLog("   done with tagstoparm ");
}

bool parmtotags(ParmRecord& record) {
  TraceLog("   in parmtotags");
  const QelRestoreSettingFn restore = record.sOldCount != 0 ? OldRestoreCallback : RestoreCallback;
  QelRestoreSettingsArgs args{restore, &record};
  QelDrvMessage(Scanner(), QelDrvRestoreSettings, 0, &args);
  bool applied = true;
  for (const std::uint16_t tag : {kTagCompression, kTagScanAhead}) {
    if (RestoreTagText(record, restore, tag) != kErrValueNotAllowed) continue;
    char line[kTraceFormatSize];
    std::snprintf(line, sizeof line,
                  "   parmtotags: the record's %s is a value the scanner does not offer",
                  TagKeyText(tag));
    TraceLog(line);
    applied = false;
  }
  RoundImageWidth();
  ApplyBarcodeState(record);

  SCB.lCurCompression = record.lCompression;
  SCB.lCurT4Options = record.lT4Options;
  if (!ApplyCompression()) {
    // A record that never held a compression takes the driver's own.
    SCB.lCurCompression = DrvGetTagOr(Scanner(), kTagCompression, SCB.lCurCompression);
    SCB.lCurT4Options = DrvGetTagOr(Scanner(), kTagT4Options, SCB.lCurT4Options);
    ApplyCompression();
  }
  BuildCompressionPipe(SCB.PipeText, sizeof SCB.PipeText);
  SCB.p2 = record.p2;
  SCB.p3 = record.p3;
  SCB.pt = record.pt;
  SCB.bro = record.bro;
  TraceLog("   done with parmtotags");
  return applied;
}
