#include "sim/page_images.h"

#if KOV_PNG
#include <png.h>
#endif
#if KOV_CODECS
#include <tiffio.h>
#endif

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace sim {
namespace {

constexpr std::uint8_t kInkBelow = 128;

PageFormat FormatOf(std::int32_t width, std::int32_t height, std::int32_t samples,
                    std::int32_t bits, std::int32_t dpi) {
  PageFormat format;
  format.width = width;
  format.length = height;
  format.samples = samples;
  format.bits = bits;
  format.photometric = samples == 3 ? 2 : bits == 1 ? 0 : 1;
  format.xResolution = format.yResolution = {dpi, 1};
  return format;
}

// PNM: P1/P4 bitmaps (1 is black, as ours), P2/P5 gray, P3/P6 colour, with maxval up to 255.
bool ReadPnm(const std::vector<std::uint8_t>& file, std::int32_t dpi, PageImage& image) {
  std::size_t at = 2;
  const auto skipSpace = [&] {
    while (at < file.size() && (std::isspace(file[at]) || file[at] == '#')) {
      if (file[at] == '#') {
        while (at < file.size() && file[at] != '\n') ++at;
      } else {
        ++at;
      }
    }
  };
  const auto number = [&]() -> std::optional<std::int64_t> {
    skipSpace();
    std::int64_t value = 0;
    const std::size_t start = at;
    while (at < file.size() && std::isdigit(file[at]) && value < (1 << 24)) {
      value = value * 10 + (file[at++] - '0');
    }
    if (at == start) return false;
    return value;
  };
  const char kind = static_cast<char>(file[1]);
  const bool bitmap = kind == '1' || kind == '4';
  const bool plain = kind == '1' || kind == '2' || kind == '3';
  const std::int32_t samples = kind == '3' || kind == '6' ? 3 : 1;
  const auto width = number();
  const auto height = number();
  const auto maxval = bitmap ? std::optional<std::int64_t>(1) : number();
  if (!width || !height || !maxval || *width <= 0 || *height <= 0 || *maxval <= 0 ||
      *maxval > 255) {
    return false;
  }
  image.format = FormatOf(static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height),
                          samples, bitmap ? 1 : 8, dpi);
  const std::size_t rowBytes = image.format.RowBytes();
  const std::size_t bytes = rowBytes * static_cast<std::size_t>(*height);
  // The file must hold what its header promises before anything is made for it: a binary
  // file every byte, a plain one at least a digit and a blank for each value.
  const std::size_t values = static_cast<std::size_t>(*width) * static_cast<std::size_t>(*height) *
                             static_cast<std::size_t>(samples);
  const std::size_t left = file.size() - std::min(at + 1, file.size());
  const std::size_t room = kind == '1' ? left : (left + 2) / 2;
  if (plain ? values > room : bytes > left) return false;
  image.rows.assign(bytes, 0);
  if (!plain) {
    ++at;  // the single blank after the header
    if (file.size() < at + image.rows.size()) return false;
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), image.rows.size(),
                image.rows.begin());
  } else {
    // P1 values are single digits, which may stand without blanks between them.
    const auto next = [&]() -> std::optional<std::int64_t> {
      if (kind != '1') return number();
      skipSpace();
      if (at >= file.size() || (file[at] != '0' && file[at] != '1')) return false;
      return file[at++] - '0';
    };
    for (std::int64_t y = 0; y < *height; ++y) {
      for (std::int64_t i = 0; i < *width * samples; ++i) {
        const auto value = next();
        if (!value) return false;
        auto* row = image.rows.data() + static_cast<std::size_t>(y) * rowBytes;
        if (bitmap) {
          if (*value != 0) row[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
        } else {
          row[i] = static_cast<std::uint8_t>(*value * 255 / *maxval);
        }
      }
    }
  }
  if (!bitmap && *maxval != 255 && !plain) {
    for (auto& value : image.rows) value = static_cast<std::uint8_t>(value * 255 / *maxval);
  }
  return true;
}

#if KOV_PNG

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct PngSource {
  const std::vector<std::uint8_t>* file;
  std::size_t at;
};

void ReadPngBytes(png_structp png, png_bytep out, png_size_t count) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (source->file->size() - source->at < count) png_error(png, "truncated");
  std::memcpy(out, source->file->data() + source->at, count);
  source->at += count;
}

// The file's resolution in dots per inch, else `otherwise`.
std::int32_t PngDpi(const PngReader& reader, std::int32_t otherwise) {
  png_uint_32 xPerMetre = 0, yPerMetre = 0;
  int unit = 0;
  if (png_get_pHYs(reader.png, reader.info, &xPerMetre, &yPerMetre, &unit) != 0 &&
      unit == PNG_RESOLUTION_METER && xPerMetre > 0) {
    return static_cast<std::int32_t>((xPerMetre * 254 + 5000) / 10000);
  }
  return otherwise;
}

// Reads into `image` (gray or RGB, 8 bits); false on a bad file. Holds nothing to destroy
// between its setjmp and libpng's long jump.
bool DecodePng(PngReader& reader, PngSource& source, PageImage& image, std::int32_t dpi) {
  if (setjmp(png_jmpbuf(reader.png)) != 0) return false;
  png_set_read_fn(reader.png, &source, ReadPngBytes);
  png_read_info(reader.png, reader.info);
  png_set_expand(reader.png);
  png_set_strip_16(reader.png);
  png_set_strip_alpha(reader.png);
  png_set_packing(reader.png);
  const auto color = png_get_color_type(reader.png, reader.info);
  const bool gray = (color & PNG_COLOR_MASK_COLOR) == 0;
  png_read_update_info(reader.png, reader.info);
  const auto width = static_cast<std::int32_t>(png_get_image_width(reader.png, reader.info));
  const auto height = static_cast<std::int32_t>(png_get_image_height(reader.png, reader.info));
  image.format = FormatOf(width, height, gray ? 1 : 3, 8, PngDpi(reader, dpi));
  image.rows.assign(image.format.RowBytes() * static_cast<std::size_t>(height), 0);
  if (png_get_rowbytes(reader.png, reader.info) != image.format.RowBytes()) return false;
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  for (std::int32_t y = 0; y < height; ++y) {
    rows[static_cast<std::size_t>(y)] =
        image.rows.data() + static_cast<std::size_t>(y) * image.format.RowBytes();
  }
  png_read_image(reader.png, rows.data());
  return true;
}

bool ReadPng(const std::vector<std::uint8_t>& file, std::int32_t dpi, PageImage& image) {
  PngReader reader;
  reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (reader.png == nullptr) return false;
  reader.info = png_create_info_struct(reader.png);
  if (reader.info == nullptr) return false;
  PngSource source{&file, 0};
  if (!DecodePng(reader, source, image, dpi)) return false;
  return true;
}

#endif  // KOV_PNG

#if KOV_CODECS

bool ReadTiff(const std::filesystem::path& path, std::int32_t dpi, PageImage& image) {
  std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.string().c_str(), "r"), TIFFClose);
  if (!tiff) return false;
  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, unit = RESUNIT_INCH;
  float xResolution = 0;
  TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
  if (TIFFGetField(tiff.get(), TIFFTAG_XRESOLUTION, &xResolution) && xResolution > 0) {
    dpi = static_cast<std::int32_t>(unit == RESUNIT_CENTIMETER ? xResolution * 2.54f + 0.5f
                                                               : xResolution + 0.5f);
  }
  if (width == 0 || height == 0 || width > 1'000'000 || height > 1'000'000) return false;
  const bool bitonal = bits == 1 && samples == 1;
  image.format = FormatOf(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                          bitonal ? 1 : (samples >= 3 ? 3 : 1), bitonal ? 1 : 8, dpi);
  const std::size_t rowBytes = image.format.RowBytes();
  image.rows.assign(rowBytes * height, 0);
  if (bitonal) {
    if (static_cast<std::size_t>(TIFFScanlineSize(tiff.get())) != rowBytes) return false;
    for (std::uint32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(tiff.get(), image.rows.data() + y * rowBytes, y) < 0) return false;
    }
    if (photometric == PHOTOMETRIC_MINISBLACK) {
      for (auto& byte : image.rows) byte = static_cast<std::uint8_t>(~byte);
    }
    return true;
  }
  std::vector<std::uint32_t> rgba(static_cast<std::size_t>(width) * height);
  if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, rgba.data(), ORIENTATION_TOPLEFT, 0)) {
    return false;
  }
  for (std::size_t i = 0; i < rgba.size(); ++i) {
    const std::uint32_t dot = rgba[i];
    if (image.format.samples == 3) {
      image.rows[3 * i] = static_cast<std::uint8_t>(TIFFGetR(dot));
      image.rows[3 * i + 1] = static_cast<std::uint8_t>(TIFFGetG(dot));
      image.rows[3 * i + 2] = static_cast<std::uint8_t>(TIFFGetB(dot));
    } else {
      image.rows[i] = static_cast<std::uint8_t>(TIFFGetR(dot));
    }
  }
  return true;
}

#endif  // KOV_CODECS

// The dot as gray 0 (black) to 255 (white) and as colour.
struct Dot {
  std::uint8_t gray;
  std::uint8_t rgb[3];
};

Dot DotAt(const PageImage& image, std::int64_t x, std::int64_t y) {
  const PageFormat& format = image.format;
  if (x < 0 || y < 0 || x >= format.width || y >= format.length) return {255, {255, 255, 255}};
  const std::uint8_t* row = image.rows.data() + static_cast<std::size_t>(y) * format.RowBytes();
  if (format.bits == 1) {
    const bool black = (row[x / 8] >> (7 - x % 8) & 1) != 0;
    const std::uint8_t level = black ? 0 : 255;
    return {level, {level, level, level}};
  }
  if (format.samples == 3) {
    const std::uint8_t* dot = row + 3 * x;
    const auto gray =
        static_cast<std::uint8_t>((dot[0] * 299 + dot[1] * 587 + dot[2] * 114) / 1000);
    return {gray, {dot[0], dot[1], dot[2]}};
  }
  return {row[x], {row[x], row[x], row[x]}};
}

// The image dot under target dot `at` along one axis.
std::int64_t SourceDot(std::int64_t at, std::int32_t offset, const QelRational& target,
                       std::int32_t sourceDpi) {
  if (target.lNumerator <= 0 || target.lDenominator <= 0) return -1;
  return (at + offset) * sourceDpi * target.lDenominator / target.lNumerator;
}

}  // namespace

bool ReadPageImage(const std::filesystem::path& path, std::int32_t dpi, PageImage& image,
                   std::vector<std::uint8_t>& file) {
  std::error_code failed;
  const auto size = std::filesystem::file_size(path, failed);
  std::ifstream in(path, std::ios::binary);
  if (failed || !in) return false;
  // Read at its size in one piece: a page image is megabytes, read again for every page.
  file.resize(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(size))) {
    return false;
  }
  if (file.size() >= 2 && file[0] == 'P' && file[1] >= '1' && file[1] <= '6')
    return ReadPnm(file, dpi, image);
#if KOV_PNG
  if (file.size() >= 8 && png_sig_cmp(file.data(), 0, 8) == 0) return ReadPng(file, dpi, image);
#endif
#if KOV_CODECS
  if (file.size() >= 4 &&
      ((file[0] == 'I' && file[1] == 'I') || (file[0] == 'M' && file[1] == 'M'))) {
    return ReadTiff(path, dpi, image);
  }
#endif
  return false;
}

std::optional<PageImage> ReadPageImage(const std::filesystem::path& path, std::int32_t dpi) {
  PageImage image;
  std::vector<std::uint8_t> file;
  if (!ReadPageImage(path, dpi, image, file)) return std::nullopt;
  return image;
}

std::vector<std::filesystem::path> PageImageFiles(const std::filesystem::path& folder) {
  static const std::vector<std::string> kEndings = {".pbm", ".pgm", ".ppm", ".pnm",
                                                    ".png", ".tif", ".tiff"};
  std::vector<std::filesystem::path> files;
  std::error_code failed;
  for (const auto& entry : std::filesystem::directory_iterator(folder, failed)) {
    std::string ending = entry.path().extension().string();
    std::ranges::transform(ending, ending.begin(), [](unsigned char c) { return std::tolower(c); });
    if (entry.is_regular_file() && std::ranges::count(kEndings, ending) > 0)
      files.push_back(entry.path());
  }
  std::ranges::sort(files);
  return files;
}

void RenderPageImage(const PageImage& image, const PageFormat& target,
                     std::vector<std::uint8_t>& rows) {
  const std::size_t rowBytes = target.RowBytes();
  rows.assign(rowBytes * static_cast<std::size_t>(std::max(target.length, 0)), 0);
  const PageFormat& source = image.format;
  const std::int32_t sourceDpi = source.xResolution.lNumerator;
  const bool sameLayout = source.bits == target.bits && source.samples == target.samples &&
                          source.photometric == target.photometric;
  const bool sameGrid =
      target.xResolution.lNumerator == sourceDpi * target.xResolution.lDenominator &&
      target.yResolution.lNumerator == sourceDpi * target.yResolution.lDenominator &&
      target.xPosition == 0 && target.yPosition == 0;
  for (std::int32_t y = 0; y < target.length; ++y) {
    std::uint8_t* row = rows.data() + static_cast<std::size_t>(y) * rowBytes;
    const std::int64_t sy = SourceDot(y, target.yPosition, target.yResolution, sourceDpi);
    if (sameLayout && sameGrid && sy < source.length) {
      // Already what the scanner delivers: the image's own row, cut or padded with white.
      const std::size_t count = std::min(rowBytes, source.RowBytes());
      std::memcpy(row, image.rows.data() + static_cast<std::size_t>(sy) * source.RowBytes(), count);
      if (target.width < source.width && target.bits == 1 && target.width % 8 != 0) {
        row[rowBytes - 1] &= static_cast<std::uint8_t>(0xFF << (8 - target.width % 8));
      }
      if (target.bits != 1 && count < rowBytes) std::memset(row + count, 255, rowBytes - count);
      continue;
    }
    for (std::int32_t x = 0; x < target.width; ++x) {
      const Dot dot =
          DotAt(image, SourceDot(x, target.xPosition, target.xResolution, sourceDpi), sy);
      if (target.bits == 1) {
        if (dot.gray < kInkBelow) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      } else if (target.samples == 3) {
        std::memcpy(row + 3 * static_cast<std::size_t>(x), dot.rgb, 3);
      } else {
        row[x] = dot.gray;
      }
    }
  }
}

std::vector<std::uint8_t> RenderPageImage(const PageImage& image, const PageFormat& target) {
  std::vector<std::uint8_t> rows;
  RenderPageImage(image, target, rows);
  return rows;
}

}  // namespace sim
