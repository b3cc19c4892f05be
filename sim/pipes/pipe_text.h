// The text that describes a conversion pipe. QelMakePipe writes it and the pipe loader reads
// it:
//
//   convert from=<tag>:<value>,<tag>:<value>,... to=<tag>:<value>,...
//
// one "<tag>:<value>" in decimal for each (tag, value) pair of the source and the wanted
// format, in the order the caller gave them. A format without Compression (259) is
// uncompressed, as in TIFF.
#pragma once

#include <cstdint>

namespace sim {

// Compression codes the stand-in encodes and decodes: 1 none, 3 (CCITT G3), 4 (CCITT G4) and
// 6 (JPEG).
bool CodecAvailable(std::int32_t compression);

}  // namespace sim
