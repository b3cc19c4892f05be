#include "tools/kovscan/page_files.h"

#include <tiffio.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace kovscan {

namespace {

constexpr std::uint32_t kT4TwoDimensional = 1;

bool WriteDirectory(TIFF* tiff, const KOV_PAGEHEADER& header, std::span<const std::uint8_t> data) {
  const PageLayout layout = LayoutOf(header);
  const bool bitonal = layout.bitsPerSample == 1 && layout.samplesPerPixel == 1;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, layout.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, layout.length);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression);
  // One bit: 1 is black, as the library delivers it.
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
               bitonal ? PHOTOMETRIC_MINISWHITE
                       : (layout.samplesPerPixel == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK));
  TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, layout.length);
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, layout.xDpi);
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, layout.yDpi);
  if (layout.compression == COMPRESSION_CCITTFAX3) {
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, layout.t4Options);
  }
  TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  // The bytes as delivered: compressed data are never decoded and coded again.
  if (TIFFWriteRawStrip(tiff, 0, const_cast<std::uint8_t*>(data.data()),
                        static_cast<tmsize_t>(data.size())) < 0) {
    return false;
  }
  return TIFFWriteDirectory(tiff) == 1;
}

}  // namespace

PageLayout LayoutOf(const KOV_PAGEHEADER& header) {
  PageLayout layout;
  layout.samplesPerPixel = header.usBpp == 24 ? 3 : 1;
  layout.bitsPerSample = header.usBpp == 24 ? 8 : header.usBpp;
  const std::uint32_t bitsPerRow = static_cast<std::uint32_t>(header.usBytesPerLine) * 8u;
  layout.width = header.usBpp == 0 ? 0 : bitsPerRow / header.usBpp;
  layout.length = header.usLines;
  switch (header.usCompression) {
    case SCAN_COMP_G3_1D:
      layout.compression = COMPRESSION_CCITTFAX3;
      break;
    case SCAN_COMP_G3_2D:
      layout.compression = COMPRESSION_CCITTFAX3;
      layout.t4Options = kT4TwoDimensional;
      break;
    case SCAN_COMP_G4:
      layout.compression = COMPRESSION_CCITTFAX4;
      break;
    case SCAN_COMP_JPEG:
      layout.compression = COMPRESSION_JPEG;
      break;
    default:
      layout.compression = COMPRESSION_NONE;
  }
  if (header.ulXResDenom != 0) layout.xDpi = double(header.ulXResNum) / header.ulXResDenom;
  if (header.ulYResDenom != 0) layout.yDpi = double(header.ulYResNum) / header.ulYResDenom;
  return layout;
}

std::string CompressionName(std::uint16_t hostCode) {
  switch (hostCode) {
    case SCAN_COMP_NONE:
      return "none";
    case SCAN_COMP_G3_1D:
      return "g3";
    case SCAN_COMP_G3_2D:
      return "g3-2d";
    case SCAN_COMP_G4:
      return "g4";
    case SCAN_COMP_JPEG:
      return "jpeg";
    default: {
      char text[16];
      std::snprintf(text, sizeof text, "0x%x", hostCode);
      return text;
    }
  }
}

bool IsJpeg(const KOV_PAGEHEADER& header) {
  return header.usCompression == SCAN_COMP_JPEG;
}

std::vector<std::uint8_t> ReadDeliveredData(const std::filesystem::path& path) {
  errno = 0;
  if (path.extension() == ".jpg") {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    if (!file && !file.eof()) throw FileErrorFromErrno("read", path);
    return bytes;
  }
  // "c": one strip as stored, not chopped into pieces as libtiff reads large uncompressed ones.
  const std::unique_ptr<tiff, TiffCloser> tiff(TIFFOpen(path.string().c_str(), "rc"));
  if (!tiff) throw FileErrorFromErrno("read", path);
  const tmsize_t size = TIFFRawStripSize(tiff.get(), 0);
  std::vector<std::uint8_t> bytes(size > 0 ? static_cast<std::size_t>(size) : 0);
  if (size <= 0 || TIFFReadRawStrip(tiff.get(), 0, bytes.data(), size) != size)
    throw FileErrorFromErrno("read", path);
  return bytes;
}

void TiffCloser::operator()(tiff* file) const {
  TIFFClose(file);
}

TiffFile::TiffFile(const std::filesystem::path& path, WrittenFiles* written)
    : file_(path, written) {
  errno = 0;
  tiff_.reset(TIFFOpen(file_.Temporary().string().c_str(), "w"));
  if (!tiff_) throw FileErrorFromErrno("write", file_.Path());
}

void TiffFile::Add(const KOV_PAGEHEADER& header, std::span<const std::uint8_t> data) {
  errno = 0;
  if (!WriteDirectory(tiff_.get(), header, data)) throw FileErrorFromErrno("write", file_.Path());
}

void TiffFile::Commit() {
  CommitAs(file_.Path());
}

void TiffFile::CommitAs(const std::filesystem::path& path) {
  errno = 0;
  if (TIFFFlush(tiff_.get()) != 1) throw FileErrorFromErrno("write", file_.Path());
  tiff_.reset();
  file_.CommitAs(path);
}

}  // namespace kovscan
