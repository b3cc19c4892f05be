// The Windows build: no image library for rotating pages is cross-built for it, so the scan
// refuses --deskew before it starts.
#include <stdexcept>

#include "tools/kovscan/page_straightening.h"

namespace kovscan {

bool StraighteningAvailable() {
  return false;
}

Skew Straighten(const std::filesystem::path&, const KOV_PAGEHEADER&, std::vector<std::uint8_t>&,
                WrittenFiles&) {
  // The scan asks StraighteningAvailable first, so this is never called.
  throw std::logic_error("no page straightening in this build");
}

}  // namespace kovscan
