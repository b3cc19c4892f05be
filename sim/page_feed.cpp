#include "sim/page_feed.h"

#include <fstream>

#include "sim/ini_text.h"

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

}  // namespace

PageFeed::PageFeed(std::vector<std::filesystem::path> images, std::int32_t dpi)
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
  const auto& path = images_[next_ % images_.size()];
  // Each image is read and rendered into the storage of the one before.
  if (cachedPath_ != path) {
    cachedRead_ = ReadPageImage(path, dpi_, cachedImage_, file_);
    cachedPath_ = path;
    renderedFormat_.reset();
  }
  if (!cachedRead_) return std::nullopt;
  if (!renderedFormat_ || !SameFormat(*renderedFormat_, format)) {
    RenderPageImage(cachedImage_, format, rendered_);
    renderedFormat_ = format;
  }
  return FedPage{rendered_, ReadSidecar(path)};
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
