#include "tools/kovscan/page_files.h"

#include <tiffio.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "tools/kovscan/compressions.h"
#include "tools/kovscan/jpeg_in_tiff.h"

namespace kovscan {

namespace {

constexpr std::uint32_t kT4TwoDimensional = 1;

// A directory's image: a JPEG stream's from its own header, any other page's from the page
// header. Throws std::runtime_error for JPEG data a TIFF cannot hold.
TiffImage ImageOf(const PageLayout& layout, std::span<const std::uint8_t> data) {
  if (layout.compression == COMPRESSION_JPEG) return DescribeJpeg(data);
  TiffImage image;
  image.width = layout.width;
  image.length = layout.length;
  image.samplesPerPixel = layout.samplesPerPixel;
  // One bit: 1 is black, as the library delivers it.
  const bool bitonal = layout.bitsPerSample == 1 && layout.samplesPerPixel == 1;
  image.photometric = bitonal                       ? PHOTOMETRIC_MINISWHITE
                      : layout.samplesPerPixel == 3 ? PHOTOMETRIC_RGB
                                                    : PHOTOMETRIC_MINISBLACK;
  return image;
}

// How a viewer is to show the rows so that the page stands upright, for the clockwise turn it
// needs: the first row the top (1), the right side (6), the bottom (3) or the left side (8).
std::uint16_t OrientationOf(int degrees) {
  switch (degrees) {
    case 90:
      return ORIENTATION_RIGHTTOP;
    case 180:
      return ORIENTATION_BOTRIGHT;
    case 270:
      return ORIENTATION_LEFTBOT;
    default:
      return ORIENTATION_TOPLEFT;
  }
}

// `data` as delivered, or rows for libtiff to code (`encode`) in the header's compression,
// shown turned `degrees` clockwise.
bool WriteDirectory(TIFF* tiff, const KOV_PAGEHEADER& header, std::span<const std::uint8_t> data,
                    bool encode, int degrees) {
  const PageLayout layout = LayoutOf(header);
  const TiffImage image = ImageOf(layout, data);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, image.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, image.length);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, image.samplesPerPixel);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, image.photometric);
  if (image.photometric == PHOTOMETRIC_YCBCR) {
    TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, image.subsampling[0], image.subsampling[1]);
    // JPEG's YCbCr is full range.
    float fullRange[6] = {0, 255, 128, 255, 128, 255};
    TIFFSetField(tiff, TIFFTAG_REFERENCEBLACKWHITE, fullRange);
  }
  if (degrees != 0) TIFFSetField(tiff, TIFFTAG_ORIENTATION, OrientationOf(degrees));
  TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, image.length);
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, layout.xDpi);
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, layout.yDpi);
  if (layout.compression == COMPRESSION_CCITTFAX3) {
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, layout.t4Options);
  }
  TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  // The bytes as delivered (compressed data are never decoded and coded again), or rows that
  // were changed, to code.
  auto* bytes = const_cast<std::uint8_t*>(data.data());
  const auto size = static_cast<tmsize_t>(data.size());
  const tmsize_t stored = encode ? TIFFWriteEncodedStrip(tiff, 0, bytes, size)
                                 : TIFFWriteRawStrip(tiff, 0, bytes, size);
  if (stored < 0) return false;
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
  if (const Compression* compression = CompressionOfCode(header.usCompression)) {
    layout.compression = compression->tiffCode;
    layout.t4Options = compression->twoDimensional ? kT4TwoDimensional : 0;
  }
  if (header.ulXResDenom != 0) layout.xDpi = double(header.ulXResNum) / header.ulXResDenom;
  if (header.ulYResDenom != 0) layout.yDpi = double(header.ulYResNum) / header.ulYResDenom;
  return layout;
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

void TiffFile::Add(const KOV_PAGEHEADER& header, std::span<const std::uint8_t> data,
                   int degrees) {
  AddDirectory(header, data, false, degrees);
}

void TiffFile::AddRows(const KOV_PAGEHEADER& header, std::span<const std::uint8_t> rows) {
  AddDirectory(header, rows, true, 0);
}

void TiffFile::AddDirectory(const KOV_PAGEHEADER& header, std::span<const std::uint8_t> data,
                            bool encode, int degrees) {
  errno = 0;
  bool written = false;
  try {
    written = WriteDirectory(tiff_.get(), header, data, encode, degrees);
  } catch (const std::runtime_error& unfit) {
    throw FileError("cannot write " + file_.Path().string() + ": " + unfit.what());
  }
  if (!written) throw FileErrorFromErrno("write", file_.Path());
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
