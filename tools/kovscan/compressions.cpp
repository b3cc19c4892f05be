#include "tools/kovscan/compressions.h"

#include <tiffio.h>

#include <cstdio>

namespace kovscan {

// A record keeps TIFF 6.0's codes, JPEG's the old one (6); TIFF files carry JPEG as 7, each
// page a whole JPEG stream.
const std::array<Compression, 5> kCompressions = {{
    {"none", SCAN_COMP_NONE, 1, false, COMPRESSION_NONE, PdfImage::Encoding::Rows},
    {"g3", SCAN_COMP_G3_1D, 3, false, COMPRESSION_CCITTFAX3, PdfImage::Encoding::Group3},
    {"g3-2d", SCAN_COMP_G3_2D, 3, true, COMPRESSION_CCITTFAX3, PdfImage::Encoding::Group3TwoD},
    {"g4", SCAN_COMP_G4, 4, false, COMPRESSION_CCITTFAX4, PdfImage::Encoding::Group4},
    {"jpeg", SCAN_COMP_JPEG, 6, false, COMPRESSION_JPEG, PdfImage::Encoding::Jpeg},
}};

const Compression* CompressionOfCode(std::uint16_t hostCode) {
  for (const Compression& compression : kCompressions) {
    if (compression.hostCode == hostCode) return &compression;
  }
  return nullptr;
}

const Compression* CompressionOfRecord(const ParmRecord& record) {
  // Only Group 3 reads the T4 options.
  const bool twoDimensional = (record.lT4Options & 1) != 0;
  for (const Compression& compression : kCompressions) {
    if (compression.recordCode == record.lCompression &&
        (compression.tiffCode != COMPRESSION_CCITTFAX3 ||
         compression.twoDimensional == twoDimensional)) {
      return &compression;
    }
  }
  return nullptr;
}

const Compression* CompressionNamed(const std::string& name) {
  for (const Compression& compression : kCompressions) {
    if (name == compression.name) return &compression;
  }
  return nullptr;
}

std::vector<std::string> CompressionNames() {
  std::vector<std::string> names;
  for (const Compression& compression : kCompressions) names.emplace_back(compression.name);
  return names;
}

std::string CompressionName(std::uint16_t hostCode) {
  if (const Compression* compression = CompressionOfCode(hostCode)) return compression->name;
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", hostCode);
  return text;
}

std::string CompressionOf(const ParmRecord& record) {
  if (const Compression* compression = CompressionOfRecord(record)) return compression->name;
  return "code " + std::to_string(record.lCompression);
}

}  // namespace kovscan
