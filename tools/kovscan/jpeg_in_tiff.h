// A delivered JPEG stream kept as it is in a TIFF directory (compression 7, the stream whole
// as the one strip, tables and all, so no JPEGTables tag): the directory's image described
// from the stream's own header, as libtiff checks it when it decodes the strip.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace kovscan {

// The image a TIFF directory describes.
struct TiffImage {
  std::uint32_t width = 0;
  std::uint32_t length = 0;
  std::uint16_t samplesPerPixel = 1;
  std::uint16_t photometric = 0;
  std::array<std::uint16_t, 2> subsampling{1, 1};  // YCbCr: luma samples a chroma sample
};

// Throws std::runtime_error saying what of the stream a TIFF cannot hold: no JPEG at all,
// samples other than 8 bits, progressive coding, or colours or sampling TIFF does not describe.
TiffImage DescribeJpeg(std::span<const std::uint8_t> data);

}  // namespace kovscan
