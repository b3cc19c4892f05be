#include "tools/kovscan/page_straightening.h"

#include <leptonica/allheaders.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "tools/kovscan/page_files.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

struct PixDeleter {
  void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixHandle = std::unique_ptr<Pix, PixDeleter>;

struct BytesDeleter {
  void operator()(l_uint8* bytes) const { lept_free(bytes); }
};

// The image's rows as the library delivers uncompressed rows: one bit a dot with 1 for black,
// eight bits of gray, or three bytes of colour, each row `rowBytes` long.
std::vector<std::uint8_t> RowsOf(Pix* pix, std::size_t rowBytes) {
  const auto width = static_cast<std::uint32_t>(pixGetWidth(pix));
  const auto height = static_cast<std::uint32_t>(pixGetHeight(pix));
  const auto wordsPerLine = static_cast<std::uint32_t>(pixGetWpl(pix));
  const bool colour = pixGetDepth(pix) == 32;
  std::vector<std::uint8_t> rows(rowBytes * height, 0);
  for (std::uint32_t y = 0; y < height; ++y) {
    const l_uint32* line = pixGetData(pix) + std::size_t{y} * wordsPerLine;
    std::uint8_t* row = rows.data() + std::size_t{y} * rowBytes;
    if (!colour) {
      for (std::size_t at = 0; at < rowBytes; ++at) {
        row[at] = static_cast<std::uint8_t>(GET_DATA_BYTE(line, static_cast<l_int32>(at)));
      }
      continue;
    }
    for (std::uint32_t x = 0; x < width && std::size_t{x} * 3 + 2 < rowBytes; ++x) {
      l_int32 red = 0, green = 0, blue = 0;
      extractRGBValues(line[x], &red, &green, &blue);
      row[x * 3] = static_cast<std::uint8_t>(red);
      row[x * 3 + 1] = static_cast<std::uint8_t>(green);
      row[x * 3 + 2] = static_cast<std::uint8_t>(blue);
    }
  }
  return rows;
}

// The straightened page into its file, in the compression it came in.
void Rewrite(const std::filesystem::path& file, const KOV_PAGEHEADER& header, Pix* straight,
             std::vector<std::uint8_t>& data, WrittenFiles& written) {
  if (IsJpeg(header)) {
    l_uint8* bytes = nullptr;
    std::size_t size = 0;
    constexpr l_int32 kQuality = 85;
    if (pixWriteMemJpeg(&bytes, &size, straight, kQuality, 0) != 0) {
      throw FileError("cannot code the straightened page " + file.string() + " as JPEG");
    }
    const std::unique_ptr<l_uint8, BytesDeleter> owned(bytes);
    data.assign(bytes, bytes + size);
    WriteWholeBytes(file, data, &written);
    return;
  }
  TiffFile page(file, &written);
  page.AddRows(header, RowsOf(straight, header.usBytesPerLine));
  page.Commit();
  data = ReadDeliveredData(file);
}

}  // namespace

bool StraighteningAvailable() {
  return true;
}

Skew Straighten(const std::filesystem::path& file, const KOV_PAGEHEADER& header,
                std::vector<std::uint8_t>& data, WrittenFiles& written) {
  Skew skew;
  // Its messages would run into the progress line.
  setMsgSeverity(L_SEVERITY_NONE);
  const PixHandle pix(pixRead(file.string().c_str()));
  if (!pix) return skew;
  const bool bitonal = pixGetDepth(pix.get()) == 1;
  const PixHandle binary(bitonal ? pixClone(pix.get()) : pixConvertTo1(pix.get(), 128));
  l_float32 degrees = 0;
  l_float32 confidence = 0;
  if (!binary || pixFindSkew(binary.get(), &degrees, &confidence) != 0) return skew;
  skew.degrees = degrees;
  skew.confidence = confidence;
  if (confidence < kSureSkew || std::fabs(degrees) < kLeastSkewDegrees) return skew;
  // Shears keep one bit a dot; gray and colour are mapped by area. The page keeps its size.
  const auto radians = static_cast<l_float32>(degrees * std::numbers::pi / 180.0);
  const PixHandle straight(pixRotate(pix.get(), radians,
                                     bitonal ? L_ROTATE_SHEAR : L_ROTATE_AREA_MAP,
                                     L_BRING_IN_WHITE, 0, 0));
  if (!straight) return skew;
  Rewrite(file, header, straight.get(), data, written);
  skew.straightened = true;
  return skew;
}

}  // namespace kovscan
