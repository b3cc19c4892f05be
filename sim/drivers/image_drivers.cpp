// The two image drivers. QELMZAFT sits in a chain and captures the page that passes into the
// memory image it was initialised with, as the one-bit image detection works on; FROMQELM
// plays such an image back as a source, one bit a dot, uncompressed.
#include <array>
#include <cstring>
#include <string_view>

#include "framework/messages.h"
#include "sim/dialogs/image_dialog.h"
#include "sim/drivers/driver_catalog.h"
#include "sim/pipes/codecs.h"
#include "sim/services/driver_model/page_flow.h"
#include "sim/services/faults/errors.h"
#include "sim/services/images/mem_image.h"

namespace sim {
namespace {

constexpr std::uint8_t kInkBelow = 128;  // gray levels below this are black on the one-bit image

QelMemImage ImageOf(std::uintptr_t setup) {
  return reinterpret_cast<QelMemImage>(setup);
}

// The dot's darkness, 0 white to 255 black, from uncompressed rows of any layout.
std::uint8_t Darkness(const PageFormat& format, const std::uint8_t* row, std::int32_t x) {
  if (format.bits == 1) return (row[x / 8] >> (7 - x % 8) & 1) != 0 ? 255 : 0;
  if (format.bits != 8) return 0;
  if (format.samples == 3) {
    const std::uint8_t* dot = row + 3 * static_cast<std::size_t>(x);
    return static_cast<std::uint8_t>(255 - (dot[0] * 299 + dot[1] * 587 + dot[2] * 114) / 1000);
  }
  return static_cast<std::uint8_t>(format.photometric == 0 ? row[x] : 255 - row[x]);
}

BitonalPage OneBitPage(const PageFormat& format, const std::vector<std::uint8_t>& rows) {
  BitonalPage page =
      BlankPage(format.width, format.length,
                format.xResolution.lNumerator / std::max(format.xResolution.lDenominator, 1),
                format.yResolution.lNumerator / std::max(format.yResolution.lDenominator, 1));
  page.xResolution = format.xResolution;
  page.yResolution = format.yResolution;
  const std::size_t stride = format.RowBytes();
  for (std::int32_t y = 0; y < format.length; ++y) {
    const std::uint8_t* row = rows.data() + static_cast<std::size_t>(y) * stride;
    if (format.bits == 1) {
      std::memcpy(page.bits.data() + static_cast<std::size_t>(y) * page.stride, row, stride);
      continue;
    }
    for (std::int32_t x = 0; x < format.width; ++x) {
      if (Darkness(format, row, x) > 255 - kInkBelow) FillSpan(page, y, x, x + 1);
    }
  }
  return page;
}

class CaptureDriver final : public ImageDialogDriver {
 public:
  std::int32_t Init(std::uintptr_t setup) override {
    image_ = ImageOf(setup);
    format_ = {};
    data_.clear();
    return 0;
  }

  std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer) override {
    switch (code) {
      case QelDrvSetTag:
      case QelDrvSetRationalTag:
        TrackFormat(format_, code, argument, pointer);
        return 0;
      case QelDrvStartPage:
        data_.clear();
        return 0;
      case QelDrvData:
        if (argument > 0 && pointer != nullptr) {
          const auto* bytes = static_cast<const std::uint8_t*>(pointer);
          data_.insert(data_.end(), bytes, bytes + argument);
        }
        return 0;
      default:
        return Default(code, argument, pointer);
    }
  }

  std::int32_t EndPage() override {
    const auto rows = DecodePage(format_, data_);
    data_.clear();
    // A page whose data did not all arrive (a data message failed on the way) is no image.
    if (!rows || format_.width <= 0 || format_.length <= 0 ||
        rows->size() < format_.RowBytes() * static_cast<std::size_t>(format_.length)) {
      return MakeFrameworkError(error::kBadImage, 0);
    }
    return FillMemImage(image_, OneBitPage(format_, *rows));
  }

 private:
  QelMemImage image_ = nullptr;
  PageFormat format_;
  std::vector<std::uint8_t> data_;
};

class ReplayDriver final : public ImageDialogDriver {
 public:
  ReplayDriver() {
    Table().Define(kTagSamplesPerPixel, TiffType::Short, 1);
    Table().Define(kTagBitsPerSample, TiffType::Short, 1);
    Table().Define(kTagCompression, TiffType::Short, 1);
  }

  std::int32_t Init(std::uintptr_t setup) override {
    image_ = ImageOf(setup);
    return 0;
  }

  std::int32_t RunPage(Stage& out) override {
    const auto page = MemImagePage(image_);
    if (!page) return MakeFrameworkError(error::kNoPaper, 0);
    PageFormat format;
    format.width = page->width;
    format.length = page->height;
    format.xResolution = page->xResolution;
    format.yResolution = page->yResolution;
    PageWriter writer(out);
    const PageTags none;
    if (const auto rc = writer.Begin(format, none); rc < 0) return rc;
    const std::size_t rowBytes = format.RowBytes();
    for (std::int32_t y = 0; y < page->height; ++y) {
      const auto* row = page->bits.data() + static_cast<std::size_t>(y) * page->stride;
      if (const auto rc = writer.Data({row, rowBytes}); rc < 0) return rc;
    }
    return writer.Finish(none);
  }

 private:
  QelMemImage image_ = nullptr;
};

}  // namespace

std::unique_ptr<Driver> ImageDriverNamed(std::string_view key) {
  if (key == "QELMZAFT") return std::make_unique<CaptureDriver>();
  if (key == "FROMQELM") return std::make_unique<ReplayDriver>();
  return nullptr;
}

}  // namespace sim
