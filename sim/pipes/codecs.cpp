#include "sim/pipes/codecs.h"

#include <jpeglib.h>
#include <tiffio.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // before jpeglib.h, which needs FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "sim/pipes/tiff_messages.h"

namespace sim {
namespace {

// The framework's compression codes (TIFF's, with 6 for JPEG).
constexpr std::int32_t kUncompressed = 1;
constexpr std::int32_t kCcittGroup3 = 3;
constexpr std::int32_t kCcittGroup4 = 4;
constexpr std::int32_t kJpeg = 6;

bool IsCcitt(std::int32_t compression) {
  return compression == kCcittGroup3 || compression == kCcittGroup4;
}

bool CcittShaped(const PageFormat& format) {
  return CompressionFits(format.compression, format.samples, format.bits) && format.width > 0 &&
         format.length > 0;
}

constexpr int kJpegQuality = 75;

// A TIFF file held in memory, for libtiff's codecs.
class MemoryTiff {
 public:
  explicit MemoryTiff(std::vector<std::uint8_t> bytes = {}) : bytes_(std::move(bytes)) {}

  // Opened in mode "w" or "r"; null when libtiff refuses.
  TIFF* Open(const char* mode) {
    position_ = 0;
    return TIFFClientOpenExt("page", mode, this, Read, Write, Seek, Close, Size, Map, Unmap,
                             messages_.Options());
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  static MemoryTiff& Of(thandle_t handle) { return *static_cast<MemoryTiff*>(handle); }
  static tmsize_t Read(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryTiff& file = Of(handle);
    // At most what the file holds, so it fits a size_t.
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(size),
        file.bytes_.size() - std::min<std::uint64_t>(file.position_, file.bytes_.size())));
    if (count == 0) return 0;  // nothing to copy, perhaps from an empty file's null data
    std::memcpy(buffer, file.bytes_.data() + file.position_, count);
    file.position_ += count;
    return static_cast<tmsize_t>(count);
  }
  static tmsize_t Write(thandle_t handle, void* buffer, tmsize_t size) {
    if (size <= 0) return 0;  // libtiff writes an empty strip from a null buffer
    MemoryTiff& file = Of(handle);
    const auto end = file.position_ + static_cast<std::uint64_t>(size);
    // A 32-bit build cannot hold a file past its address space: the write fails.
    if (end > file.bytes_.max_size()) return 0;
    if (end > file.bytes_.size()) file.bytes_.resize(static_cast<std::size_t>(end));
    std::memcpy(file.bytes_.data() + file.position_, buffer, static_cast<std::size_t>(size));
    file.position_ = end;
    return size;
  }
  static toff_t Seek(thandle_t handle, toff_t offset, int whence) {
    MemoryTiff& file = Of(handle);
    const std::uint64_t base = whence == SEEK_CUR   ? file.position_
                               : whence == SEEK_END ? file.bytes_.size()
                                                    : 0;
    file.position_ = base + offset;
    return file.position_;
  }
  static int Close(thandle_t) { return 0; }
  static toff_t Size(thandle_t handle) { return Of(handle).bytes_.size(); }
  static int Map(thandle_t, void**, toff_t*) { return 0; }
  static void Unmap(thandle_t, void*, toff_t) {}

  std::vector<std::uint8_t> bytes_;
  std::uint64_t position_ = 0;
  TiffMessages messages_;  // a failed page's messages stay off the host's terminal
};

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Describes the page to libtiff as one strip of one-bit dots, ready for CCITT coding.
void SetCcittFields(TIFF* tiff, const PageFormat& format) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(format.width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(format.length));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(format.length));
  TIFFSetField(tiff, TIFFTAG_COMPRESSION,
               format.compression == kCcittGroup3 ? COMPRESSION_CCITTFAX3 : COMPRESSION_CCITTFAX4);
  if (format.compression == kCcittGroup3) {
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS,
                 (format.t4Options & 1) != 0 ? GROUP3OPT_2DENCODING : 0u);
  }
}

std::optional<std::vector<std::uint8_t>> EncodeCcitt(const PageFormat& format,
                                                     std::span<const std::uint8_t> rows) {
  MemoryTiff file;
  TiffHandle tiff(file.Open("w"));
  if (!tiff) return std::nullopt;
  SetCcittFields(tiff.get(), format);
  if (TIFFWriteEncodedStrip(tiff.get(), 0, const_cast<std::uint8_t*>(rows.data()),
                            static_cast<tmsize_t>(rows.size())) < 0) {
    return std::nullopt;
  }
  // The strip went into the file as it was coded; libtiff knows where.
  std::uint64_t* offsets = nullptr;
  std::uint64_t* counts = nullptr;
  if (!TIFFGetField(tiff.get(), TIFFTAG_STRIPOFFSETS, &offsets) ||
      !TIFFGetField(tiff.get(), TIFFTAG_STRIPBYTECOUNTS, &counts) || offsets == nullptr ||
      counts == nullptr) {
    return std::nullopt;
  }
  const auto& bytes = file.Bytes();
  if (offsets[0] + counts[0] > bytes.size()) return std::nullopt;
  return std::vector<std::uint8_t>(
      bytes.begin() + static_cast<std::ptrdiff_t>(offsets[0]),
      bytes.begin() + static_cast<std::ptrdiff_t>(offsets[0] + counts[0]));
}

std::optional<std::vector<std::uint8_t>> DecodeCcitt(const PageFormat& format,
                                                     std::span<const std::uint8_t> data) {
  MemoryTiff file;
  {
    TiffHandle tiff(file.Open("w"));
    if (!tiff) return std::nullopt;
    SetCcittFields(tiff.get(), format);
    if (TIFFWriteRawStrip(tiff.get(), 0, const_cast<std::uint8_t*>(data.data()),
                          static_cast<tmsize_t>(data.size())) < 0) {
      return std::nullopt;
    }
  }
  MemoryTiff written(file.Bytes());
  TiffHandle tiff(written.Open("r"));
  if (!tiff) return std::nullopt;
  std::vector<std::uint8_t> rows(format.RowBytes() * static_cast<std::size_t>(format.length));
  if (TIFFReadEncodedStrip(tiff.get(), 0, rows.data(), static_cast<tmsize_t>(rows.size())) < 0) {
    return std::nullopt;
  }
  return rows;
}

// libjpeg ends a failed call through error_exit; a long jump back to the caller's
// setjmp, in a frame that holds nothing to destroy, is its documented way out.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf failed;
};

[[noreturn]] void FailJpeg(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->failed, 1);
}

void QuietJpeg(j_common_ptr, int) {}

void UseErrors(JpegErrors& errors, jpeg_common_struct& info) {
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = FailJpeg;
  errors.manager.emit_message = QuietJpeg;
}

bool JpegShaped(const PageFormat& format) {
  return CompressionFits(kJpeg, format.samples, format.bits) && format.width > 0 &&
         format.length > 0;
}

// Encodes into `output` (malloc'ed by libjpeg); false when libjpeg failed.
bool CompressJpeg(const PageFormat& format, const std::uint8_t* rows, unsigned char** output,
                  unsigned long* outputSize) {
  jpeg_compress_struct info{};
  JpegErrors errors{};
  UseErrors(errors, *reinterpret_cast<jpeg_common_struct*>(&info));
  if (setjmp(errors.failed) != 0) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, output, outputSize);
  info.image_width = static_cast<JDIMENSION>(format.width);
  info.image_height = static_cast<JDIMENSION>(format.length);
  info.input_components = format.samples;
  info.in_color_space = format.samples == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kJpegQuality, TRUE);
  info.density_unit = 1;  // dots per inch
  info.X_density = static_cast<UINT16>(std::clamp(format.xResolution.lNumerator, 1, 65535));
  info.Y_density = static_cast<UINT16>(std::clamp(format.yResolution.lNumerator, 1, 65535));
  jpeg_start_compress(&info, TRUE);
  const std::size_t stride = format.RowBytes();
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rows + info.next_scanline * stride);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

// Decodes into `rows`, sized for the format; false when the data are no such page.
bool DecompressJpeg(const PageFormat& format, const std::uint8_t* data, std::size_t size,
                    std::uint8_t* rows) {
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  UseErrors(errors, *reinterpret_cast<jpeg_common_struct*>(&info));
  if (setjmp(errors.failed) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = format.samples == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_start_decompress(&info);
  const bool fits = static_cast<std::int32_t>(info.output_width) == format.width &&
                    static_cast<std::int32_t>(info.output_height) == format.length &&
                    info.output_components == format.samples;
  if (fits) {
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = rows + info.output_scanline * format.RowBytes();
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
  }
  jpeg_destroy_decompress(&info);
  return fits;
}

std::optional<std::vector<std::uint8_t>> EncodeJpeg(const PageFormat& format,
                                                    std::span<const std::uint8_t> rows) {
  if (!JpegShaped(format)) return std::nullopt;
  unsigned char* output = nullptr;
  unsigned long outputSize = 0;
  std::optional<std::vector<std::uint8_t>> result;
  if (CompressJpeg(format, rows.data(), &output, &outputSize)) {
    result.emplace(output, output + outputSize);
  }
  std::free(output);
  return result;
}

std::optional<std::vector<std::uint8_t>> DecodeJpeg(const PageFormat& format,
                                                    std::span<const std::uint8_t> data) {
  if (!JpegShaped(format) || data.empty()) return std::nullopt;
  std::vector<std::uint8_t> rows(format.RowBytes() * static_cast<std::size_t>(format.length));
  if (!DecompressJpeg(format, data.data(), data.size(), rows.data())) return std::nullopt;
  return rows;
}

}  // namespace

bool CompressionFits(std::int32_t compression, std::int32_t samples, std::int32_t bits) {
  if (IsCcitt(compression)) return samples == 1 && bits == 1;
  if (compression == kJpeg) return bits == 8 && (samples == 1 || samples == 3);
  return true;
}

std::optional<std::vector<std::uint8_t>> EncodePage(const PageFormat& format,
                                                    std::span<const std::uint8_t> rows) {
  const std::size_t size = format.RowBytes() * static_cast<std::size_t>(std::max(format.length, 0));
  if (rows.size() < size) return std::nullopt;
  if (format.compression == kUncompressed)
    return std::vector<std::uint8_t>(rows.begin(),
                                     rows.begin() + static_cast<std::ptrdiff_t>(size));
  if (IsCcitt(format.compression))
    return CcittShaped(format) ? EncodeCcitt(format, rows) : std::nullopt;
  if (format.compression == kJpeg) return EncodeJpeg(format, rows);
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> DecodePage(const PageFormat& format,
                                                    std::span<const std::uint8_t> data) {
  if (format.compression == kUncompressed)
    return std::vector<std::uint8_t>(data.begin(), data.end());
  if (IsCcitt(format.compression))
    return CcittShaped(format) ? DecodeCcitt(format, data) : std::nullopt;
  if (format.compression == kJpeg) return DecodeJpeg(format, data);
  return std::nullopt;
}

}  // namespace sim
