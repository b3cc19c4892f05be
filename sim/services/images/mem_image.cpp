#include "sim/services/images/mem_image.h"

#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

#include "framework/tags.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"
#include "sim/services/images/run_lists.h"

// Run lists are made on the first request of their kind and kept until the image closes,
// since the records handed out point into them.
struct QelMemImageBody {
  std::mutex mutex;
  bool filled = false;
  sim::BitonalPage page;
  std::optional<sim::RunLists> rows;
  std::optional<sim::RunLists> columns;
};

namespace sim {
namespace {

// Knowing every open image lets the operations refuse a closed or foreign one.
class ImageTable {
 public:
  // Never destroyed, as every process-wide table here: a driver stuck in a call may wake
  // after the exit handlers ran.
  static ImageTable& Instance() {
    static auto* table = new ImageTable;
    return *table;
  }

  QelMemImage Open() {
    auto body = std::make_unique<QelMemImageBody>();
    QelMemImageBody* const image = body.get();
    std::lock_guard lock(mutex_);
    images_.emplace(image, std::move(body));
    return image;
  }

  bool Close(QelMemImage image) {
    std::unique_ptr<QelMemImageBody> closing;
    std::lock_guard lock(mutex_);
    const auto found = images_.find(image);
    if (found == images_.end()) return false;
    closing = std::move(found->second);
    images_.erase(found);
    return true;
  }

  // Null when the image is not open.
  QelMemImageBody* Find(QelMemImage image) {
    std::lock_guard lock(mutex_);
    return images_.contains(image) ? image : nullptr;
  }

  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return images_.size();
  }

 private:
  std::mutex mutex_;
  std::unordered_map<QelMemImage, std::unique_ptr<QelMemImageBody>> images_;
};

constexpr bool FitsSixteenBits(const QelRational& value) {
  return value.lNumerator >= 0 && value.lNumerator <= 0xFFFF && value.lDenominator >= 0 &&
         value.lDenominator <= 0xFFFF;
}

// Numerator in the low 16 bits, denominator in the high 16 bits.
constexpr std::int32_t Packed(const QelRational& value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value.lDenominator) << 16 |
                                   static_cast<std::uint32_t>(value.lNumerator));
}

std::optional<std::int32_t> TagValue(const BitonalPage& page, std::uint32_t tag) {
  switch (tag) {
    case kTagImageWidth:
      return page.width;
    case kTagImageLength:
      return page.height;
    case kTagXResolution:
      return Packed(page.xResolution);
    case kTagYResolution:
      return Packed(page.yResolution);
    default:
      return std::nullopt;
  }
}

}  // namespace

std::int32_t FillMemImage(QelMemImage image, BitonalPage page) noexcept {
  return Guard([&]() -> std::int32_t {
    auto* body = ImageTable::Instance().Find(image);
    if (body == nullptr || !IsWellFormed(page)) return error::kInvalidArgument;
    if (!FitsSixteenBits(page.xResolution) || !FitsSixteenBits(page.yResolution)) {
      return error::kInvalidArgument;
    }
    std::lock_guard lock(body->mutex);
    // Records already handed out must stay as they are.
    if (body->filled) return error::kInvalidArgument;
    body->page = std::move(page);
    body->filled = true;
    return 0;
  });
}

std::optional<BitonalPage> MemImagePage(QelMemImage image) {
  auto* body = ImageTable::Instance().Find(image);
  if (body == nullptr) return std::nullopt;
  std::lock_guard lock(body->mutex);
  if (!body->filled) return std::nullopt;
  return body->page;
}

std::size_t LiveImageCount() {
  return ImageTable::Instance().Count();
}

}  // namespace sim

extern "C" {

std::int32_t QelMemImageOpen(QelMemImage* image) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    const auto failure = EnterOperation(Op::MemImageOpen);
    if (image == nullptr) return error::kInvalidArgument;
    *image = nullptr;
    if (failure < 0) return failure;
    *image = ImageTable::Instance().Open();
    return 0;
  });
}

std::int32_t QelMemImageClose(QelMemImage image) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::MemImageClose); failure < 0) return failure;
    return ImageTable::Instance().Close(image) ? 0 : error::kInvalidArgument;
  });
}

std::int32_t QelMemGetTag(QelMemImage image, std::uint32_t tag, std::int32_t* value) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::MemGetTag); failure < 0) return failure;
    auto* body = ImageTable::Instance().Find(image);
    if (body == nullptr || value == nullptr) return error::kInvalidArgument;
    std::lock_guard lock(body->mutex);
    const auto found = TagValue(body->page, tag);
    if (!found) return error::kTagNotSupported;
    *value = *found;
    return 0;
  });
}

std::int32_t QelMemGetTagArray(QelMemImage image, std::uint32_t request,
                               const std::uint16_t** lines, std::int32_t count) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::MemGetTagArray); failure < 0) return failure;
    auto* body = ImageTable::Instance().Find(image);
    if (body == nullptr) return error::kInvalidArgument;
    if (request != kQelMemRowRuns && request != kQelMemColumnRuns) {
      return error::kTagNotSupported;
    }
    const bool rows = request == kQelMemRowRuns;
    std::lock_guard lock(body->mutex);
    const auto available = rows ? body->page.height : body->page.width;
    if (count < 0 || count > available || (count > 0 && lines == nullptr)) {
      return error::kInvalidArgument;
    }
    auto& made = rows ? body->rows : body->columns;
    if (!made) made = MakeRunLists(body->page, rows ? LineKind::Rows : LineKind::Columns);
    if (!made) return error::kLineTooLong;
    for (std::int32_t i = 0; i < count; ++i) {
      lines[i] = made->Line(static_cast<std::size_t>(i));
    }
    return 0;
  });
}

}  // extern "C"
