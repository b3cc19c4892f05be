// Skewed pages straightened for the documents and the OCR: the skew is found on the page as
// delivered, and only a page found skewed is rotated and coded again, in the compression it
// came in. Patch codes and barcodes were read by the library on the page as delivered.
#pragma once

#include <filesystem>
#include <vector>

#include "kovzaft2.h"
#include "tools/kovscan/written_files.h"

namespace kovscan {

struct Skew {
  double degrees = 0;     // how far the page's lines run from level, as found
  double confidence = 0;  // the skew finder's; kSureSkew and more is acted on
  bool straightened = false;
};

// Below this the page is left as it came; the skew finder's own threshold for acting.
inline constexpr double kLeastSkewDegrees = 0.1;
inline constexpr double kSureSkew = 3.0;

// Whether this build straightens pages.
bool StraighteningAvailable();

// The skew of the page in its file (written as delivered). When it is skewed, the file is
// written again with the page straightened, same size, same compression, and `data` becomes
// the page's bytes as that file holds them. Throws FileError when the file cannot be written.
Skew Straighten(const std::filesystem::path& file, const KOV_PAGEHEADER& header,
                std::vector<std::uint8_t>& data, WrittenFiles& written);

}  // namespace kovscan
