#include "core/compression_code.h"

#include "core/control_block.h"

std::optional<Compression> CompressionOfTags(std::int32_t tiff, std::int32_t t4Options) {
  for (const Compression& compression : kCompressions) {
    if (compression.tiff != tiff) continue;
    if (tiff != kTiffCcittG3 || compression.t4Options == (t4Options & kT4TwoD)) return compression;
  }
  return std::nullopt;
}

std::optional<Compression> CompressionOfHostCode(std::uint16_t host) {
  for (const Compression& compression : kCompressions) {
    if (compression.host == host) return compression;
  }
  return std::nullopt;
}

std::uint16_t HostCompressionCode(std::int32_t compression, std::int32_t t4Options) {
  return CompressionOfTags(compression, t4Options).value_or(kUncompressed).host;
}

std::optional<Compression> WorkingCompression() {
  return CompressionOfTags(SCB.lCurCompression, SCB.lCurT4Options);
}

void SetWorkingCompression(const Compression& compression) {
  SCB.lCurCompression = compression.tiff;
  if (compression.tiff == kTiffCcittG3) SCB.lCurT4Options = compression.t4Options;
}
