// The compressions pages travel in: CCITT Group 3 and Group 4 through libtiff's codecs,
// JPEG through libjpeg. Uncompressed data are rows of whole bytes, samples interleaved;
// one-bit rows are TIFF WhiteIsZero (1 is black), most significant bit first.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/services/driver_model/page_flow.h"

namespace sim {

// Whether the compression can carry samples of that shape: CCITT one bit of one sample, JPEG
// 8-bit gray or RGB; other codes any.
bool CompressionFits(std::int32_t compression, std::int32_t samples, std::int32_t bits);

// The page's uncompressed rows in `format.compression`; none when that is not a compression
// the stand-in encodes or the format does not suit it (CCITT takes one bit, JPEG 8-bit gray
// or RGB). Group 3 codes two-dimensionally when bit 0 of format.t4Options is set.
std::optional<std::vector<std::uint8_t>> EncodePage(const PageFormat& format,
                                                    std::span<const std::uint8_t> rows);

// The uncompressed rows of data in format.compression; none when they do not decode.
std::optional<std::vector<std::uint8_t>> DecodePage(const PageFormat& format,
                                                    std::span<const std::uint8_t> data);

}  // namespace sim
