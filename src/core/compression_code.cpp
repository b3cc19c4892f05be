#include "core/compression_code.h"

#include "kovzaft2.h"

std::uint16_t HostCompressionCode(std::int32_t compression, std::int32_t t4Options) {
  switch (compression) {
    case 3:
      return static_cast<std::uint16_t>(SCAN_COMP_G3_1D + (t4Options & 1));
    case 4:
      return SCAN_COMP_G4;
    case 6:
      return SCAN_COMP_JPEG;
    default:
      return SCAN_COMP_NONE;
  }
}
