// The host's compression codes for the framework's Compression values.
#pragma once

#include <cstdint>

// The host's code for a TIFF Compression value and its T4 options.
std::uint16_t HostCompressionCode(std::int32_t compression, std::int32_t t4Options);
