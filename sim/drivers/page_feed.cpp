#include "sim/drivers/page_feed.h"

#include <fstream>

#include "sim/drivers/page_rendering.h"
#include "sim/services/faults/errors.h"
#include "sim/services/operations/error_texts.h"
#include "sim/services/text/ini_text.h"

namespace sim {
namespace {

bool SameFormat(const PageFormat& a, const PageFormat& b) {
  return a.width == b.width && a.length == b.length && a.samples == b.samples && a.bits == b.bits &&
         a.photometric == b.photometric && a.xResolution.lNumerator == b.xResolution.lNumerator &&
         a.xResolution.lDenominator == b.xResolution.lDenominator &&
         a.yResolution.lNumerator == b.yResolution.lNumerator &&
         a.yResolution.lDenominator == b.yResolution.lDenominator && a.xPosition == b.xPosition &&
         a.yPosition == b.yPosition;
}

std::map<std::string, std::string> ReadSidecar(const std::filesystem::path& image) {
  std::map<std::string, std::string> values;
  std::ifstream in(image.string() + ".txt");
  std::string line;
  while (std::getline(in, line)) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const auto key = TrimBlanks(std::string_view(line).substr(0, equals));
    const auto value = TrimBlanks(std::string_view(line).substr(equals + 1));
    if (!key.empty()) values.emplace(std::string(key), std::string(value));
  }
  return values;
}

// The file as its folder names it, and the page of a multi-page file: the host's error text
// has little room, and the folder is the scanner's.
std::string Named(const PageSource& source) {
  const std::string name = source.file.filename().string();
  return source.page == 0 ? name : name + " page " + std::to_string(source.page + 1);
}

}  // namespace

PageFeed::PageFeed(std::vector<PageSource> images, std::int32_t dpi)
    : images_(std::move(images)), total_(images_.size()), dpi_(dpi) {}

std::uint32_t PageFeed::Waiting() const {
  if (images_.empty()) return blank_;
  return static_cast<std::uint32_t>(total_ - next_);
}

void PageFeed::Repeat(std::uint32_t rounds) {
  total_ += images_.size() * rounds;
}

std::optional<FedPage> PageFeed::Peek(const PageFormat& format) {
  if (Waiting() == 0) return std::nullopt;
  if (images_.empty()) {
    if (!renderedFormat_ || !SameFormat(*renderedFormat_, format)) {
      // White: zero bits, or full gray levels.
      rendered_.assign(format.RowBytes() * static_cast<std::size_t>(std::max(format.length, 0)),
                       format.bits == 1 ? 0 : 255);
      renderedFormat_ = format;
    }
    return FedPage{rendered_, {}};
  }
  const auto& source = images_[next_ % images_.size()];
  // Each image is read and rendered into the storage of the one before.
  if (cached_ != source) {
    cached_.reset();
    renderedFormat_.reset();
    std::string why;
    if (!ReadPageImage(source, dpi_, cachedImage_, file_, why)) {
      std::vector<std::uint8_t>().swap(rendered_);
      SetErrorSubject(error::kPageImageUnreadable, Named(source) + " (" + why + ")");
      return std::nullopt;
    }
    cached_ = source;
  }
  if (!renderedFormat_ || !SameFormat(*renderedFormat_, format)) {
    RenderPageImage(cachedImage_, format, rendered_);
    renderedFormat_ = format;
  }
  return FedPage{rendered_, ReadSidecar(source.file)};
}

void PageFeed::Take() {
  if (Waiting() == 0) return;
  if (images_.empty()) {
    --blank_;
  } else {
    ++next_;
  }
}

}  // namespace sim
