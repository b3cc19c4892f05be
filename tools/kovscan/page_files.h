// Delivered pages as files ordinary viewers open: TIFF for uncompressed and CCITT data (the
// bytes stored as delivered, described by the TIFF tags the page header implies), JPEG data
// as a JPEG file; documents as multi-page TIFF, JPEG pages in them as delivered (compression 7).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tools/kovscan/scan_session.h"
#include "tools/kovscan/whole_file.h"

struct tiff;

namespace kovscan {

// The image a page header describes, in TIFF's terms.
struct PageLayout {
  std::uint32_t width = 0;
  std::uint32_t length = 0;
  std::uint16_t bitsPerSample = 1;
  std::uint16_t samplesPerPixel = 1;
  std::uint16_t compression = 1;  // TIFF code
  std::uint32_t t4Options = 0;
  double xDpi = 0;
  double yDpi = 0;
};

PageLayout LayoutOf(const KOV_PAGEHEADER& header);
bool IsJpeg(const KOV_PAGEHEADER& header);
// A page's data as delivered, from the page file kovscan made of it: a JPEG file whole, a
// TIFF's one strip as stored. Throws FileError.
std::vector<std::uint8_t> ReadDeliveredData(const std::filesystem::path& path);

struct TiffCloser {
  void operator()(tiff* file) const;
};

// A TIFF file written a page at a time, one directory each, and put in place whole by
// Commit; dropped unfinished, it leaves nothing. Each call throws FileError when it fails,
// Add also for JPEG data a TIFF cannot hold (see jpeg_in_tiff.h).
class TiffFile {
 public:
  // With `written`, its names are listed there before they are made.
  explicit TiffFile(const std::filesystem::path& path, WrittenFiles* written = nullptr);
  // `degrees`: the clockwise turn a viewer is to show the page with, 0, 90, 180 or 270; the
  // data stay as they are.
  void Add(const KOV_PAGEHEADER& header, std::span<const std::uint8_t> data, int degrees = 0);
  // A page of uncompressed rows, coded by libtiff in the header's compression (not JPEG).
  void AddRows(const KOV_PAGEHEADER& header, std::span<const std::uint8_t> rows);
  void Commit();
  // Put in place under another name than it was begun with.
  void CommitAs(const std::filesystem::path& path);

 private:
  void AddDirectory(const KOV_PAGEHEADER& header, std::span<const std::uint8_t> data, bool encode,
                    int degrees);

  WholeFile file_;  // declared first: the TIFF is closed before its file is removed
  std::unique_ptr<tiff, TiffCloser> tiff_;
};

}  // namespace kovscan
