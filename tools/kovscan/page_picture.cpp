#include "tools/kovscan/page_picture.h"

#include <jpeglib.h>
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace kovscan {

namespace {

// Gray values of the eight dots of a one-bit byte whose 1 is black.
using EightDots = std::array<std::uint8_t, 8>;
const std::array<EightDots, 256>& BlackOnes() {
  static const std::array<EightDots, 256> table = [] {
    std::array<EightDots, 256> dots{};
    for (unsigned byte = 0; byte < 256; ++byte) {
      for (unsigned bit = 0; bit < 8; ++bit) {
        dots[byte][bit] = (byte >> (7 - bit)) & 1 ? 0 : 255;
      }
    }
    return dots;
  }();
  return table;
}

// The black dots of a one-bit byte whose 1 is black: a table, as processors without a
// counting instruction would call a library function for each byte.
constexpr std::array<std::uint8_t, 256> kBlackBits = [] {
  std::array<std::uint8_t, 256> counts{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    counts[byte] = static_cast<std::uint8_t>(std::popcount(byte));
  }
  return counts;
}();

// One-bit, 8-bit gray and 8-bit RGB strips, the layouts the library delivers, a row at a
// time: a quarter of the memory and far less work than libtiff's RGBA conversion of every
// dot. False for any other layout.
bool ReadTiffRows(TIFF* tiff, GrayImage& image) {
  std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  const bool oneBit = bits == 1 && samples == 1;
  const bool gray = bits == 8 && samples == 1;
  const bool rgb = bits == 8 && samples == 3 && photometric == PHOTOMETRIC_RGB;
  if (TIFFIsTiled(tiff) || planar != PLANARCONFIG_CONTIG || !(oneBit || gray || rgb)) return false;
  const std::size_t width = image.width;
  const std::size_t rowBytes = oneBit ? (width + 7) / 8 : width * samples;
  if (static_cast<std::size_t>(TIFFScanlineSize(tiff)) != rowBytes) return false;
  const bool whiteIsZero = photometric == PHOTOMETRIC_MINISWHITE;
  std::vector<std::uint8_t> row(rowBytes);
  std::vector<std::uint8_t> eights((width + 7) / 8 * 8);
  image.dots.resize(width * image.height);
  // The last byte's bits past the row's end are no dots.
  const auto lastByteDots = static_cast<unsigned>(width % 8 == 0 ? 8 : width % 8);
  const auto lastByteMask = static_cast<std::uint8_t>(0xFF00u >> lastByteDots);
  std::size_t black = 0;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    if (TIFFReadScanline(tiff, row.data(), y) < 0) return false;
    std::uint8_t* dots = image.dots.data() + y * width;
    if (oneBit) {
      for (std::size_t i = 0; i < rowBytes; ++i) {
        auto byte = static_cast<std::uint8_t>(whiteIsZero ? row[i] : ~row[i]);
        std::copy_n(BlackOnes()[byte].begin(), 8,
                    eights.begin() + static_cast<std::ptrdiff_t>(i * 8));
        if (i + 1 == rowBytes) byte &= lastByteMask;
        black += kBlackBits[byte];
      }
      std::copy_n(eights.begin(), width, dots);
    } else if (gray) {
      for (std::size_t x = 0; x < width; ++x) {
        dots[x] = whiteIsZero ? static_cast<std::uint8_t>(255 - row[x]) : row[x];
      }
    } else {
      for (std::size_t x = 0; x < width; ++x) {
        dots[x] = static_cast<std::uint8_t>(
            (row[3 * x] * 299 + row[3 * x + 1] * 587 + row[3 * x + 2] * 114) / 1000);
      }
    }
  }
  if (oneBit) image.blackDots = black;
  return true;
}

std::optional<GrayImage> ReadTiffRgba(TIFF* tiff, GrayImage image) {
  std::vector<std::uint32_t> rgba(std::size_t{image.width} * image.height);
  if (TIFFReadRGBAImageOriented(tiff, image.width, image.height, rgba.data(), ORIENTATION_TOPLEFT,
                                0) != 1) {
    return std::nullopt;
  }
  image.dots.resize(rgba.size());
  for (std::size_t at = 0; at < rgba.size(); ++at) {
    const std::uint32_t dot = rgba[at];
    image.dots[at] = static_cast<std::uint8_t>(
        (TIFFGetR(dot) * 299 + TIFFGetG(dot) * 587 + TIFFGetB(dot) * 114) / 1000);
  }
  return image;
}

std::optional<GrayImage> ReadTiff(const std::filesystem::path& path) {
  TIFFSetWarningHandler(nullptr);
  std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.string().c_str(), "r"), TIFFClose);
  if (!tiff) return std::nullopt;
  GrayImage image;
  TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &image.width);
  TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &image.height);
  if (image.width == 0 || image.height == 0) return std::nullopt;
  if (ReadTiffRows(tiff.get(), image)) return image;
  image.dots.clear();
  return ReadTiffRgba(tiff.get(), std::move(image));
}

std::optional<GrayImage> ReadJpeg(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return std::nullopt;
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  // A broken file ends the read through the library's own error exit; the pages kovscan
  // writes are the library's, so a report of such a file stops with its message.
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&info);
  GrayImage image{info.output_width, info.output_height, {}};
  image.dots.resize(std::size_t{image.width} * image.height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.dots.data() + std::size_t{info.output_scanline} * image.width;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return image;
}

// The thumbnails are JPEG, written by the libjpeg both builds carry (the DLL's build has no
// PNG library).
std::vector<std::uint8_t> GrayJpeg(const std::vector<std::uint8_t>& dots, std::uint32_t width,
                                   std::uint32_t height) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = 1;
  info.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 85, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    // libjpeg takes rows as writable pointers but only reads them.
    JSAMPROW row = const_cast<JSAMPLE*>(dots.data() + std::size_t{info.next_scanline} * width);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace

std::optional<GrayImage> ReadPicture(const std::filesystem::path& path) {
  const auto extension = path.extension();
  return extension == ".jpg" ? ReadJpeg(path) : ReadTiff(path);
}

std::vector<std::uint8_t> ThumbnailJpeg(const GrayImage& image, std::uint32_t width) {
  if (image.width == 0 || image.height == 0) return {};
  const std::uint32_t outWidth = std::min(width, image.width);
  const std::uint32_t outHeight = std::max<std::uint32_t>(
      1, static_cast<std::uint32_t>(std::uint64_t{image.height} * outWidth / image.width));
  std::vector<std::uint8_t> small(std::size_t{outWidth} * outHeight);
  // Each band of rows summed column by column first, a pass the compiler vectorises.
  std::vector<std::uint32_t> columns(image.width);
  for (std::uint32_t y = 0; y < outHeight; ++y) {
    const std::uint32_t y0 =
        static_cast<std::uint32_t>(std::uint64_t{y} * image.height / outHeight);
    const std::uint32_t y1 = std::max(
        y0 + 1, static_cast<std::uint32_t>(std::uint64_t{y + 1} * image.height / outHeight));
    std::fill(columns.begin(), columns.end(), 0);
    for (std::uint32_t yy = y0; yy < y1; ++yy) {
      const std::uint8_t* row = image.dots.data() + std::size_t{yy} * image.width;
      for (std::uint32_t x = 0; x < image.width; ++x) columns[x] += row[x];
    }
    for (std::uint32_t x = 0; x < outWidth; ++x) {
      const std::uint32_t x0 =
          static_cast<std::uint32_t>(std::uint64_t{x} * image.width / outWidth);
      const std::uint32_t x1 = std::max(
          x0 + 1, static_cast<std::uint32_t>(std::uint64_t{x + 1} * image.width / outWidth));
      std::uint64_t sum = 0;
      for (std::uint32_t xx = x0; xx < x1; ++xx) sum += columns[xx];
      small[std::size_t{y} * outWidth + x] =
          static_cast<std::uint8_t>(sum / (std::uint64_t{y1 - y0} * (x1 - x0)));
    }
  }
  return GrayJpeg(small, outWidth, outHeight);
}

}  // namespace kovscan
