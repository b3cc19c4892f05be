// Delivered pages as files ordinary viewers open: TIFF for uncompressed and CCITT data (the
// bytes stored as delivered, described by the TIFF tags the page header implies), JPEG data
// as a JPEG file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/kovscan/scan_session.h"

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
// "none", "g3", "g3-2d", "g4", "jpeg", or the code in hex.
std::string CompressionName(std::uint16_t hostCode);
bool IsJpeg(const KOV_PAGEHEADER& header);

// All pages into one TIFF file, one directory each. False when it cannot be written.
bool WriteTiff(const std::filesystem::path& path, const std::vector<const ScannedPage*>& pages);
bool WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

}  // namespace kovscan
