#include "sim/drivers/page_images.h"

#if KOV_PNG
#include <png.h>
#endif
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "sim/pipes/tiff_messages.h"

namespace sim {
namespace {

// The largest page a scanner makes: 12 x 17 inches at 1200 dpi. A few compressed bytes may
// claim any size, so a compressed image may claim no more than this.
constexpr std::uint64_t kMaxSide = 17 * 1200;
constexpr std::uint64_t kMaxDots = std::uint64_t{12 * 1200} * (17 * 1200);

std::string Claims(std::uint64_t width, std::uint64_t height) {
  return "claims " + std::to_string(width) + " x " + std::to_string(height) + " dots";
}

// Why a compressed image of that size is refused; "" when it is not.
std::string RefusedSize(std::uint64_t width, std::uint64_t height) {
  if (width == 0 || height == 0) return Claims(width, height);
  if (width > kMaxSide || height > kMaxSide || width * height > kMaxDots) {
    return Claims(width, height) + ", over 12 x 17 in at 1200 dpi";
  }
  return {};
}

// Why an uncompressed image of that size is refused: its file must hold every byte.
std::string RefusedBytes(std::uint64_t width, std::uint64_t height, std::uint64_t rowBytes,
                         std::uint64_t fileBytes) {
  if (width == 0 || height == 0) return Claims(width, height);
  if (rowBytes > fileBytes || height > fileBytes / rowBytes) {
    return Claims(width, height) + ", more than its " + std::to_string(fileBytes) + " bytes hold";
  }
  return {};
}

// A resolution a file states, in dots per inch, rounded; the caller's when the file states
// none a page can have (a file may hold any number there, a NaN or one past any integer).
std::int32_t StatedDpi(double dotsPerInch, std::int32_t otherwise) {
  constexpr double kHighest = 100000;
  if (!(dotsPerInch >= 1 && dotsPerInch <= kHighest)) return otherwise;
  return static_cast<std::int32_t>(std::lround(dotsPerInch));
}

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

// Room for one more row at the end of the image, which grows only with the rows a file
// really holds.
std::uint8_t* NextRow(PageImage& image, std::size_t y) {
  const std::size_t rowBytes = image.format.RowBytes();
  image.rows.resize((y + 1) * rowBytes);
  return image.rows.data() + y * rowBytes;
}

// PNM: P1/P4 bitmaps (1 is black, as ours), P2/P5 gray, P3/P6 colour, with maxval up to 255.
bool ReadPnm(const std::vector<std::uint8_t>& file, std::int32_t dpi, PageImage& image,
             std::string& why) {
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
    why = "its PNM header is not valid";
    return false;
  }
  image.format = FormatOf(static_cast<std::int32_t>(*width), static_cast<std::int32_t>(*height),
                          samples, bitmap ? 1 : 8, dpi);
  const std::size_t rowBytes = image.format.RowBytes();
  // The file must hold what its header promises before anything is made for it: a binary
  // file every byte, a plain one at least a digit and a blank for each value.
  const std::size_t rowValues =
      static_cast<std::size_t>(*width) * static_cast<std::size_t>(samples);
  const std::size_t left = file.size() - std::min(at + 1, file.size());
  const std::size_t room = kind == '1' ? left : (left + 2) / 2;
  why = RefusedBytes(static_cast<std::uint64_t>(*width), static_cast<std::uint64_t>(*height),
                     plain ? rowValues : rowBytes, plain ? room : left);
  if (!why.empty()) return false;
  image.rows.assign(rowBytes * static_cast<std::size_t>(*height), 0);
  if (!plain) {
    ++at;  // the single blank after the header
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
        if (!value) {
          why = "a value is missing or not a number";
          return false;
        }
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

// libpng's own error and warning handlers write to standard error: these keep the first
// error for the failure's text and drop warnings. A fixed buffer: nothing to destroy is made
// on the way to the long jump.
struct PngMessages {
  char error[256] = "";
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto* messages = static_cast<PngMessages*>(png_get_error_ptr(png));
  std::snprintf(messages->error, sizeof messages->error, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngMessages messages;
  ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct PngSource {
  const std::vector<std::uint8_t>* file;
  std::size_t at;
};

void ReadPngBytes(png_structp png, png_bytep out, png_size_t count) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (source->file->size() - source->at < count) png_error(png, "the file is cut short");
  std::memcpy(out, source->file->data() + source->at, count);
  source->at += count;
}

// The file's resolution in dots per inch, else `otherwise`.
std::int32_t PngDpi(const PngReader& reader, std::int32_t otherwise) {
  png_uint_32 xPerMetre = 0, yPerMetre = 0;
  int unit = 0;
  if (png_get_pHYs(reader.png, reader.info, &xPerMetre, &yPerMetre, &unit) != 0 &&
      unit == PNG_RESOLUTION_METER) {
    return StatedDpi(xPerMetre * 0.0254, otherwise);
  }
  return otherwise;
}

// libpng leaves a failed call by a long jump to its setjmp: the two functions that call it
// hold nothing with a destructor, whose run the jump would skip.

// Reads the header and sets the reading up for 8-bit gray or RGB rows; the passes to read.
int ReadPngHeader(PngReader& reader, PngSource& source) {
  if (setjmp(png_jmpbuf(reader.png)) != 0) return 0;
  png_set_read_fn(reader.png, &source, ReadPngBytes);
  png_read_info(reader.png, reader.info);
  png_set_expand(reader.png);
  png_set_strip_16(reader.png);
  png_set_strip_alpha(reader.png);
  png_set_packing(reader.png);
  const int passes = png_set_interlace_handling(reader.png);
  png_read_update_info(reader.png, reader.info);
  return passes;
}

bool ReadPngRows(PngReader& reader, PageImage& image, int passes) {
  if (setjmp(png_jmpbuf(reader.png)) != 0) return false;
  const auto height = static_cast<std::size_t>(image.format.length);
  for (int pass = 0; pass < passes; ++pass) {
    for (std::size_t y = 0; y < height; ++y) {
      std::uint8_t* row =
          pass == 0 ? NextRow(image, y) : image.rows.data() + y * image.format.RowBytes();
      png_read_row(reader.png, row, nullptr);
    }
  }
  return true;
}

bool ReadPng(const std::vector<std::uint8_t>& file, std::int32_t dpi, PageImage& image,
             std::string& why) {
  PngReader reader;
  reader.png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader.messages, OnPngError, OnPngWarning);
  if (reader.png != nullptr) reader.info = png_create_info_struct(reader.png);
  if (reader.info == nullptr) {
    why = "out of memory";
    return false;
  }
  PngSource source{&file, 0};
  const int passes = ReadPngHeader(reader, source);
  if (passes > 0) {
    const auto width = png_get_image_width(reader.png, reader.info);
    const auto height = png_get_image_height(reader.png, reader.info);
    const bool gray = png_get_channels(reader.png, reader.info) == 1;
    why = RefusedSize(width, height);
    if (!why.empty()) return false;
    image.format = FormatOf(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                            gray ? 1 : 3, 8, PngDpi(reader, dpi));
    image.rows.clear();
    if (png_get_rowbytes(reader.png, reader.info) == image.format.RowBytes() &&
        ReadPngRows(reader, image, passes)) {
      return true;
    }
  }
  why = *reader.messages.error != '\0' ? reader.messages.error : "libpng cannot read it";
  return false;
}

#endif  // KOV_PNG

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Opens a file for reading with libtiff's own allocations held to what the largest page
// needs as RGBA dots: fields may claim strips of any size (many samples per dot, a page in
// one strip), which libtiff would otherwise try to allocate whole.
TiffHandle OpenTiff(const std::filesystem::path& path, const TiffMessages& messages) {
  if (messages.Options() == nullptr) return nullptr;
  TIFFOpenOptionsSetMaxSingleMemAlloc(messages.Options(), static_cast<tmsize_t>(kMaxDots * 4));
  return TiffHandle(TIFFOpenExt(path.string().c_str(), "r", messages.Options()));
}

bool IsTiff(std::span<const std::uint8_t> start) {
  return start.size() >= 4 &&
         ((start[0] == 'I' && start[1] == 'I') || (start[0] == 'M' && start[1] == 'M'));
}

// Rows already in one of our layouts (one bit, 8-bit gray, 8-bit RGB, in strips), read one at
// a time: a compressed strip is decoded row by row, never whole.
bool ReadTiffRows(TIFF* tiff, bool invert, PageImage& image, std::string& why) {
  if (static_cast<std::size_t>(TIFFScanlineSize(tiff)) != image.format.RowBytes()) {
    why = "its rows are not as its fields say";
    return false;
  }
  image.rows.clear();
  for (std::int32_t y = 0; y < image.format.length; ++y) {
    const auto row = static_cast<std::uint32_t>(y);
    if (TIFFReadScanline(tiff, NextRow(image, row), row) < 0) return false;
  }
  if (invert) {
    for (auto& byte : image.rows) byte = static_cast<std::uint8_t>(~byte);
  }
  return true;
}

// Any other layout, through libtiff's conversion to RGBA dots.
bool ReadTiffRgba(TIFF* tiff, PageImage& image) {
  const auto width = static_cast<std::uint32_t>(image.format.width);
  const auto height = static_cast<std::uint32_t>(image.format.length);
  // Left unfilled: the decoder writes the rows as it reads them, so data that end early touch
  // only what they hold. It stops at the first error, which fails the page: no row left
  // unwritten is ever looked at.
  const std::size_t dots = std::size_t{width} * height;
  const auto rgba = std::make_unique_for_overwrite<std::uint32_t[]>(dots);
  if (!TIFFReadRGBAImageOriented(tiff, width, height, rgba.get(), ORIENTATION_TOPLEFT, 1)) {
    return false;
  }
  image.rows.resize(image.format.RowBytes() * height);
  for (std::size_t i = 0; i < dots; ++i) {
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

// Reads the open file's current page.
bool ReadTiffPage(TIFF* tiff, std::uint64_t fileBytes, std::int32_t dpi, PageImage& image,
                  std::string& why) {
  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, unit = RESUNIT_INCH;
  std::uint16_t compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG;
  float xResolution = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xResolution)) {
    dpi = StatedDpi(unit == RESUNIT_CENTIMETER ? xResolution * 2.54 : xResolution, dpi);
  }
  const std::uint64_t dotBits = std::uint64_t{bits} * samples;
  why = compression == COMPRESSION_NONE
            ? RefusedBytes(width, height, (width * dotBits + 7) / 8, fileBytes)
            : RefusedSize(width, height);
  if (!why.empty()) return false;
  const bool bitonal = bits == 1 && samples == 1;
  image.format = FormatOf(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                          bitonal ? 1 : (samples >= 3 ? 3 : 1), bitonal ? 1 : 8, dpi);
  const bool gray =
      bits == 8 && samples == 1 &&
      (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
  const bool rgb = bits == 8 && samples == 3 && photometric == PHOTOMETRIC_RGB;
  if (bitonal || ((gray || rgb) && planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(tiff))) {
    const bool invert = photometric == (bitonal ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE);
    return ReadTiffRows(tiff, invert, image, why);
  }
  return ReadTiffRgba(tiff, image);
}

bool ReadTiff(const PageSource& source, std::uint64_t fileBytes, std::int32_t dpi, PageImage& image,
              std::string& why) {
  TiffMessages messages;
  const TiffHandle tiff = OpenTiff(source.file, messages);
  bool read = false;
  if (tiff && TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(source.page))) {
    read = ReadTiffPage(tiff.get(), fileBytes, dpi, image, why);
  }
  if (!read && why.empty())
    why = messages.Error().empty() ? "libtiff cannot read it" : messages.Error();
  return read;
}

// The pages of a TIFF file; 1 for any other, and for a TIFF libtiff cannot open (whose read
// then says why).
std::uint32_t PagesOf(const std::filesystem::path& path) {
  std::array<std::uint8_t, 4> start{};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(start.data()), start.size()) || !IsTiff(start)) return 1;
  TiffMessages messages;
  const TiffHandle tiff = OpenTiff(path, messages);
  return tiff ? std::max<std::uint32_t>(TIFFNumberOfDirectories(tiff.get()), 1) : 1;
}

bool ReadKnownImage(const PageSource& source, std::int32_t dpi, PageImage& image,
                    std::vector<std::uint8_t>& file, std::string& why) {
  std::error_code failed;
  // Looked at first: a FIFO or device named like a page would hold the scanner up at its
  // opening.
  if (!std::filesystem::is_regular_file(source.file, failed)) {
    why = failed ? failed.message() : "it is not a regular file";
    return false;
  }
  const auto size = std::filesystem::file_size(source.file, failed);
  if (failed) {
    why = failed.message();
    return false;
  }
  std::ifstream in(source.file, std::ios::binary);
  // Read at its size in one piece: a page image is megabytes, read again for every page.
  file.resize(static_cast<std::size_t>(size));
  if (!in || !in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(size))) {
    why = "it cannot be opened or read";
    return false;
  }
  if (file.size() >= 2 && file[0] == 'P' && file[1] >= '1' && file[1] <= '6')
    return ReadPnm(file, dpi, image, why);
#if KOV_PNG
  if (file.size() >= 8 && png_sig_cmp(file.data(), 0, 8) == 0)
    return ReadPng(file, dpi, image, why);
#endif
  if (IsTiff(file)) return ReadTiff(source, size, dpi, image, why);
  why = "it is not an image of a known kind";
  return false;
}

}  // namespace

bool ReadPageImage(const PageSource& source, std::int32_t dpi, PageImage& image,
                   std::vector<std::uint8_t>& file, std::string& why) {
  why.clear();
  if (ReadKnownImage(source, dpi, image, file, why)) return true;
  // A hostile file may have had much made for it: none of it stays.
  image = PageImage{};
  std::vector<std::uint8_t>().swap(file);
  if (why.empty()) why = "it cannot be read";
  return false;
}

std::optional<PageImage> ReadPageImage(const std::filesystem::path& path, std::int32_t dpi) {
  PageImage image;
  std::vector<std::uint8_t> file;
  std::string why;
  if (!ReadPageImage(PageSource{path}, dpi, image, file, why)) return std::nullopt;
  return image;
}

std::vector<std::filesystem::path> PageImageFiles(const std::filesystem::path& folder) {
  constexpr std::array<std::string_view, 7> kEndings = {".pbm", ".pgm", ".ppm", ".pnm",
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

std::vector<PageSource> PageSources(const std::vector<std::filesystem::path>& files) {
  std::vector<PageSource> pages;
  for (const auto& file : files) {
    const std::uint32_t count = PagesOf(file);
    for (std::uint32_t page = 0; page < count; ++page) pages.push_back({file, page});
  }
  return pages;
}

}  // namespace sim
