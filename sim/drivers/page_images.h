// Page images a virtual scanner feeds, read from PNM, PNG or TIFF files (rendered for the
// scanner's settings by sim/drivers/page_rendering.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/services/driver_model/page_flow.h"

namespace sim {

// An image as its file holds it: uncompressed rows in `format` (one bit WhiteIsZero, 8-bit
// gray BlackIsZero, or 8-bit RGB).
struct PageImage {
  PageFormat format;
  std::vector<std::uint8_t> rows;
};

// One page of an image file: a multi-page TIFF holds several, in order from 0.
struct PageSource {
  std::filesystem::path file;
  std::uint32_t page = 0;
  bool operator==(const PageSource&) const = default;
};

// The image of a file by its contents (PNM P1 to P6, PNG, TIFF); none when it is none of
// them or cannot be read. A file that carries no resolution gets `dpi`.
std::optional<PageImage> ReadPageImage(const std::filesystem::path& path, std::int32_t dpi);
// The same for one page into `image`, reusing its storage and `file`'s for the file's bytes: a
// scanner reads a page image for every page. False where the other gives none, with the
// reason in `why` and the storage of both given back. Sizes are checked before anything is
// made for them: an uncompressed image claims no more than its file holds, a compressed one
// no more than the largest page (12 x 17 inches at 1200 dpi).
bool ReadPageImage(const PageSource& source, std::int32_t dpi, PageImage& image,
                   std::vector<std::uint8_t>& file, std::string& why);

// The files of a folder a scanner feeds, in name order: PNM, PNG and TIFF by their endings.
std::vector<std::filesystem::path> PageImageFiles(const std::filesystem::path& folder);
// The pages of those files in order: one each, every page of a multi-page TIFF.
std::vector<PageSource> PageSources(const std::vector<std::filesystem::path>& files);

}  // namespace sim
