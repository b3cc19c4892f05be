// What a virtual scanner's feeder holds: the images of its folder in name order, or blank
// pages, each with the page values a sidecar file gives it.
//
// Sidecar: a text file named after the image with ".txt" added ("page1.png.txt"; every page
// of a multi-page TIFF has its file's), lines of key=value: barcodes (texts separated by ";",
// tag 1735), level (1766), jobsep (1448), side (1791), df1 (1763), df2text (1769), df2a
// (1772), df2b (1771). Unknown keys and malformed lines are skipped.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/drivers/page_images.h"
#include "sim/services/driver_model/page_flow.h"

namespace sim {

struct FedPage {
  std::span<const std::uint8_t> rows;  // uncompressed, in the format asked for; valid until
                                       // the next Peek
  std::map<std::string, std::string> sidecar;
};

class PageFeed {
 public:
  // Blank pages.
  explicit PageFeed(std::uint32_t blankPages = 0) : blank_(blankPages) {}
  // The pages of a folder's images; `dpi` for files that carry no resolution.
  PageFeed(std::vector<PageSource> images, std::int32_t dpi);

  std::uint32_t Waiting() const;
  // The next page as a scanner set to `format` delivers it; none when the feeder is empty or
  // the image cannot be read, which the text of error kPageImageUnreadable then tells. The
  // page leaves the feeder only through Take.
  std::optional<FedPage> Peek(const PageFormat& format);
  void Take();
  // The folder's pages wait `rounds` more times after those waiting now.
  void Repeat(std::uint32_t rounds);

 private:
  std::uint32_t blank_ = 0;
  std::vector<PageSource> images_;
  std::size_t next_ = 0;   // pages taken
  std::size_t total_ = 0;  // pages the feeder holds in all
  std::int32_t dpi_ = 300;
  // The last image read and its last rendering: a batch of one image runs without reading
  // or rendering again. A failed read keeps nothing.
  std::optional<PageSource> cached_;
  PageImage cachedImage_;
  std::vector<std::uint8_t> file_;  // its file's bytes
  std::optional<PageFormat> renderedFormat_;
  std::vector<std::uint8_t> rendered_;
};

}  // namespace sim
