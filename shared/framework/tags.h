// Tag numbers, field types and value layouts of the drivers' numbered values, and the packed
// tag argument that the tag and choice messages take.
#pragma once

#include <cstdint>

#include "framework/callconv.h"

// TIFF tags, with their TIFF meaning and field types.
inline constexpr std::uint16_t kTagImageWidth = 256;
inline constexpr std::uint16_t kTagImageLength = 257;
inline constexpr std::uint16_t kTagBitsPerSample = 258;
inline constexpr std::uint16_t kTagCompression = 259;
inline constexpr std::uint16_t kTagPhotometricInterpretation = 262;
inline constexpr std::uint16_t kTagSamplesPerPixel = 277;
inline constexpr std::uint16_t kTagXResolution = 282;
inline constexpr std::uint16_t kTagYResolution = 283;
inline constexpr std::uint16_t kTagPlanarConfiguration = 284;
inline constexpr std::uint16_t kTagXPosition = 286;
inline constexpr std::uint16_t kTagYPosition = 287;
inline constexpr std::uint16_t kTagT4Options = 292;

// The framework's own tags. Their values beyond what is noted are the driver's.
// Feeder status bits: 0 feeder, 1 flatbed, 16 ask for a page before each, 21 can pause.
inline constexpr std::uint16_t kTagFeederStatus = 1283;
inline constexpr std::uint16_t kTagScannerId = 1290;  // text
inline constexpr std::uint16_t kTagScanAhead = 1293;  // 1 on (feeder runs), 0 off
inline constexpr std::uint16_t kTagPageSize = 1294;   // text; its choices name the pages
inline constexpr std::uint16_t kTagAbortPoll = 1299;  // a QelAbortPoll
inline constexpr std::uint16_t tag_scantype = 1300;   // 0 auto, 2 flatbed, 3 simplex, 4-6 duplex
inline constexpr std::uint16_t kTagJobSeparators = 1447;
inline constexpr std::uint16_t kTagJobSepLevel = 1448;  // per page: not 0 on a separator page
// Qualify the keys single tags are saved under; 1709 is asked when 1690 is not answered.
inline constexpr std::uint16_t kTagKeyQualifier = 1690;
inline constexpr std::uint16_t kTagKeyQualifierAlt = 1709;
inline constexpr std::uint16_t kTagSendParamsMode = 1691;   // set to 1 where 1770 is answered
inline constexpr std::uint16_t kTagScannerBarcodes = 1735;  // text, entries separated by ";"
inline constexpr std::uint16_t kTagDataField1 = 1763;
inline constexpr std::uint16_t kTagPageLevel = 1766;  // per page: level in the low byte
inline constexpr std::uint16_t kTagDataField2Text = 1769;
// Answered only by drivers that take parameters with sendparams; its value is also the last
// number of data field 2.
inline constexpr std::uint16_t kTagSendParams = 1770;
inline constexpr std::uint16_t kTagDataField2Second = 1771;
inline constexpr std::uint16_t kTagDataField2First = 1772;
inline constexpr std::uint16_t kTagPageSide = 1791;  // per page: not 0 on a back side

// TIFF field types, as drivers declare and report their tags.
enum class TiffType : std::int32_t { Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5 };

// A RATIONAL value: two 32-bit words.
struct QelRational {
  std::int32_t lNumerator;
  std::int32_t lDenominator;
  // The same terms; 1/2 and 2/4 are different values.
  friend bool operator==(const QelRational&, const QelRational&) = default;
};
static_assert(sizeof(QelRational) == 8);

// The value of tag 1299, polled by the driver while it works: a negative answer stops it.
using QelAbortPoll = std::int32_t(QELCALLBACK*)() noexcept;

// Tag argument: the tag in the low 16 bits; a text buffer's size or a choice index in the high.
constexpr std::int32_t TagArg(std::uint16_t tag, std::uint16_t high = 0) {
  return static_cast<std::int32_t>(std::uint32_t{high} << 16 | tag);
}

// Argument of QelDrvDeclareTag: field type x 65536 + tag.
constexpr std::int32_t DeclareTagArg(TiffType type, std::uint16_t tag) {
  return TagArg(tag, static_cast<std::uint16_t>(type));
}

constexpr std::uint16_t TagOfArg(std::int32_t argument) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(argument) & 0xFFFFu);
}

constexpr std::uint16_t HighOfArg(std::int32_t argument) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(argument) >> 16);
}
