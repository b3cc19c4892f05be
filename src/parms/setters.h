// Changing one parameter of the loaded driver, only to a value the driver offers.
// Each answers 0 (done) or 1 (refused).
#pragma once

#include <cstdint>

// tag: XResolution or YResolution.
std::int32_t SetResolutionIfAllowed(std::uint16_t tag, std::uint32_t dpi);
std::int32_t SetBitDepth(std::uint16_t bpp);
std::int32_t SetScanArea(std::uint16_t width, std::uint16_t length);
std::int32_t SetCompression(std::uint16_t code);
// value: -1 flatbed, 0 or 1 feeder; duplex: the driver scans both sides now.
std::int32_t SetFeeder(std::int16_t value, bool duplex);
