// The compressions a page is delivered in, each as the framework's tags say it and as the
// host codes it: one table that every conversion between the two reads.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "kovzaft2.h"

// TIFF Compression values (tag 259).
inline constexpr std::int32_t kTiffUncompressed = 1;
inline constexpr std::int32_t kTiffCcittG3 = 3;
inline constexpr std::int32_t kTiffCcittG4 = 4;
inline constexpr std::int32_t kTiffJpeg = 6;
// TIFF T4Options (tag 292) bit 0: G3 with 2-D coding.
inline constexpr std::int32_t kT4TwoD = 1;

struct Compression {
  std::int32_t tiff;       // TIFF Compression
  std::int32_t t4Options;  // TIFF T4Options; told apart for G3 only
  std::uint16_t host;      // SCAN_COMP_ code
};

inline constexpr Compression kUncompressed{kTiffUncompressed, 0, SCAN_COMP_NONE};
inline constexpr Compression kG3OneD{kTiffCcittG3, 0, SCAN_COMP_G3_1D};
inline constexpr Compression kG3TwoD{kTiffCcittG3, kT4TwoD, SCAN_COMP_G3_2D};
inline constexpr Compression kG4{kTiffCcittG4, 0, SCAN_COMP_G4};
inline constexpr Compression kJpeg{kTiffJpeg, 0, SCAN_COMP_JPEG};
inline constexpr std::array kCompressions = {kUncompressed, kG3OneD, kG3TwoD, kG4, kJpeg};

// The compression the tags name (T4 options looked at for G3 only, bit 0), if any.
std::optional<Compression> CompressionOfTags(std::int32_t tiff, std::int32_t t4Options);
// The compression of a host code, if any.
std::optional<Compression> CompressionOfHostCode(std::uint16_t host);
// The host's code for the tags; uncompressed for tags that name no compression.
std::uint16_t HostCompressionCode(std::int32_t compression, std::int32_t t4Options);

// The working compression, SCB.lCurCompression with lCurT4Options, if it names one.
std::optional<Compression> WorkingCompression();
// Makes it the working compression; T4 options are replaced for G3 only.
void SetWorkingCompression(const Compression& compression);
