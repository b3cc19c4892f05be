#include "sim/drivers/twain_tags.h"

#include <cmath>
#include <cstring>
#include <set>
#include <variant>

#include "framework/tags.h"

namespace sim {
namespace {

constexpr double kCentimetresPerInch = 2.54;
constexpr std::uint16_t kUnCentimeters = 1;
// Resolutions offered when the source gives a range: those of them the range holds.
constexpr std::int32_t kUsualResolutions[] = {50, 75, 100, 150, 200, 240, 300, 400, 600, 1200};

twain::Fix32 AsFix32(std::uint32_t item) {
  twain::Fix32 value{};
  std::memcpy(&value, &item, sizeof value);
  return value;
}

std::uint32_t ItemOf(twain::Fix32 value) {
  std::uint32_t item = 0;
  std::memcpy(&item, &value, sizeof value);
  return item;
}

// A capability's item as a number, whatever its type.
double NumberOf(std::uint16_t itemType, std::uint32_t item) {
  switch (itemType) {
    case twain::kTyFix32:
      return twain::ToDouble(AsFix32(item));
    case twain::kTyInt8:
      return static_cast<std::int8_t>(item & 0xFF);
    case twain::kTyInt16:
      return static_cast<std::int16_t>(item & 0xFFFF);
    case twain::kTyInt32:
      return static_cast<std::int32_t>(item);
    default:
      return item;
  }
}

std::vector<TagValue> NumberChoices(const std::set<std::int32_t>& numbers) {
  return {numbers.begin(), numbers.end()};
}

// The values a capability allows, as numbers: its list, or the usual resolutions its range
// holds.
std::set<std::int32_t> AllowedNumbers(const CapabilityValues& values, bool resolution) {
  std::set<std::int32_t> allowed;
  for (std::uint32_t item : values.allowed) {
    allowed.insert(static_cast<std::int32_t>(std::lround(NumberOf(values.itemType, item))));
  }
  if (values.range && resolution) {
    const double low = NumberOf(values.itemType, values.range->minValue);
    const double high = NumberOf(values.itemType, values.range->maxValue);
    const double step = NumberOf(values.itemType, values.range->stepSize);
    for (std::int32_t usual : kUsualResolutions) {
      const bool onStep = step <= 0 || std::fmod(usual - low, step) == 0;
      if (usual >= low && usual <= high && onStep) allowed.insert(usual);
    }
  }
  allowed.insert(static_cast<std::int32_t>(std::lround(NumberOf(values.itemType, values.current))));
  return allowed;
}

}  // namespace

TwainTags::TwainTags(TwainSession& session, TagTable& table) : session_(session), table_(table) {
  if (session_.Set(twain::kICapUnits, twain::kTyUInt16, twain::kUnInches) != twain::kRcSuccess) {
    if (const auto units = session_.Get(twain::kICapUnits)) {
      units_ = static_cast<std::uint16_t>(units->current);
    }
  }
  Sync();
}

void TwainTags::Put(std::uint16_t number, TiffType type, TagValue value,
                    std::vector<TagValue> choices, const char* setting) {
  if (Tag* tag = table_.Find(number); tag != nullptr) {
    tag->value = std::move(value);
    tag->choices = std::move(choices);
    return;
  }
  table_.Define(number, type, std::move(value), std::move(choices), setting);
}

std::int32_t TwainTags::Number(std::uint16_t number) const {
  const Tag* tag = table_.Find(number);
  const auto* value = tag != nullptr ? std::get_if<std::int32_t>(&tag->value) : nullptr;
  return value != nullptr ? *value : 0;
}

double TwainTags::Inches(double value) const {
  if (units_ == kUnCentimeters) return value / kCentimetresPerInch;
  return value;
}

double TwainTags::Units(double inches) const {
  if (units_ == kUnCentimeters) return inches * kCentimetresPerInch;
  return inches;
}

void TwainTags::Sync() {
  SyncResolution();
  SyncPixels();
  SyncFrame();
  SyncFeeder();
}

void TwainTags::SyncResolution() {
  const struct {
    std::uint16_t capability;
    std::uint16_t tag;
    const char* setting;
    double* dpi;
  } axes[] = {{twain::kICapXResolution, kTagXResolution, "XResolution", &dpi_},
              {twain::kICapYResolution, kTagYResolution, "YResolution", &dpiDown_}};
  for (const auto& axis : axes) {
    const auto values = session_.Get(axis.capability);
    if (!values) continue;
    *axis.dpi = NumberOf(values->itemType, values->current);
    if (*axis.dpi <= 0) *axis.dpi = 300;
    std::vector<TagValue> choices;
    for (std::int32_t dpi : AllowedNumbers(*values, true)) {
      if (dpi > 0) choices.emplace_back(QelRational{dpi, 1});
    }
    const auto now = static_cast<std::int32_t>(std::lround(*axis.dpi));
    Put(axis.tag, TiffType::Rational, QelRational{now, 1}, std::move(choices), axis.setting);
  }
}

void TwainTags::SyncPixels() {
  const auto types = session_.Get(twain::kICapPixelType);
  if (!types) return;
  const std::set<std::int32_t> offered = AllowedNumbers(*types, false);
  const auto now = static_cast<std::int32_t>(types->current);
  std::set<std::int32_t> samples;
  std::set<std::int32_t> bits;
  if (offered.count(twain::kPtBw) != 0) {
    samples.insert(1);
    bits.insert(1);
  }
  if (offered.count(twain::kPtGray) != 0) {
    samples.insert(1);
    bits.insert(8);
  }
  if (offered.count(twain::kPtRgb) != 0) {
    samples.insert(3);
    bits.insert(8);
  }
  const std::int32_t nowSamples = now == twain::kPtRgb ? 3 : 1;
  const std::int32_t nowBits = now == twain::kPtBw ? 1 : 8;
  Put(kTagSamplesPerPixel, TiffType::Short, nowSamples, NumberChoices(samples), "SamplesPerPixel");
  Put(kTagBitsPerSample, TiffType::Short, nowBits, NumberChoices(bits), "BitsPerSample");
  Put(kTagPhotometricInterpretation, TiffType::Short, nowSamples == 3 ? 2 : (nowBits == 1 ? 0 : 1),
      {}, "");
}

void TwainTags::SyncFrame() {
  twain::ImageLayout layout{};
  if (session_.Call(twain::kDgImage, twain::kDatImageLayout, twain::kMsgGet, &layout) !=
      twain::kRcSuccess) {
    return;
  }
  const auto dots = [](double inches, double dpi) {
    return static_cast<std::int32_t>(std::lround(inches * dpi));
  };
  const double left = Inches(twain::ToDouble(layout.frame.left));
  const double top = Inches(twain::ToDouble(layout.frame.top));
  const double right = Inches(twain::ToDouble(layout.frame.right));
  const double bottom = Inches(twain::ToDouble(layout.frame.bottom));
  Put(kTagXPosition, TiffType::Long, dots(left, dpi_), {}, "XPosition");
  Put(kTagYPosition, TiffType::Long, dots(top, dpiDown_), {}, "YPosition");
  Put(kTagImageWidth, TiffType::Long, dots(right - left, dpi_), {}, "ImageWidth");
  Put(kTagImageLength, TiffType::Long, dots(bottom - top, dpiDown_), {}, "ImageLength");
  // The physical size bounds the frame.
  const struct {
    std::uint16_t capability;
    std::uint16_t sizeTag;
    std::uint16_t offsetTag;
    double dpi;
  } bounds[] = {{twain::kICapPhysicalWidth, kTagImageWidth, kTagXPosition, dpi_},
                {twain::kICapPhysicalHeight, kTagImageLength, kTagYPosition, dpiDown_}};
  for (const auto& bound : bounds) {
    const auto physical = session_.Get(bound.capability);
    if (!physical) continue;
    const std::int32_t maximum =
        dots(Inches(NumberOf(physical->itemType, physical->current)), bound.dpi);
    table_.Find(bound.sizeTag)->maximum = maximum;
    table_.Find(bound.offsetTag)->maximum = maximum;
  }
}

void TwainTags::SyncFeeder() {
  const auto feeder = session_.Get(twain::kCapFeederEnabled);
  if (!feeder) {
    Put(kTagFeederStatus, TiffType::Long, 2, {}, "");  // a flatbed
    return;
  }
  const auto duplex = session_.Get(twain::kCapDuplexEnabled);
  std::set<std::int32_t> types = {2, 3};
  if (duplex) types.insert(4);
  std::int32_t now = feeder->current != 0 ? 3 : 2;
  if (now == 3 && duplex && duplex->current != 0) now = 4;
  Put(tag_scantype, TiffType::Short, now, NumberChoices(types), "ScanType");
  Put(kTagFeederStatus, TiffType::Long, 1 | 2, {}, "");
}

void TwainTags::Apply(const Tag& tag) {
  switch (tag.number) {
    case kTagXResolution:
    case kTagYResolution: {
      const auto& value = std::get<QelRational>(tag.value);
      if (value.lDenominator == 0) return;
      const double dpi = static_cast<double>(value.lNumerator) / value.lDenominator;
      const std::uint16_t capability =
          tag.number == kTagXResolution ? twain::kICapXResolution : twain::kICapYResolution;
      // The frame stays where it is on the page; its tags follow in dots at the new resolution.
      session_.Set(capability, twain::kTyFix32, ItemOf(twain::ToFix32(dpi)));
      return;
    }
    case kTagSamplesPerPixel:
    case kTagBitsPerSample:
      ApplyPixels();
      return;
    case kTagXPosition:
    case kTagYPosition:
    case kTagImageWidth:
    case kTagImageLength:
      ApplyFrame();
      return;
    case tag_scantype:
      ApplyScanType();
      return;
    default:
      return;
  }
}

void TwainTags::ApplyPixels() {
  const std::int32_t samples = Number(kTagSamplesPerPixel);
  const std::int32_t bits = Number(kTagBitsPerSample);
  const std::uint16_t type =
      samples == 3 ? twain::kPtRgb : (bits == 1 ? twain::kPtBw : twain::kPtGray);
  session_.Set(twain::kICapPixelType, twain::kTyUInt16, type);
  session_.Set(twain::kICapBitDepth, twain::kTyUInt16, type == twain::kPtBw ? 1u : 8u);
}

void TwainTags::ApplyFrame() {
  if (table_.Find(kTagImageWidth) == nullptr) return;
  const auto& x = std::get<QelRational>(table_.Find(kTagXResolution)->value);
  const auto& y = std::get<QelRational>(table_.Find(kTagYResolution)->value);
  const double across =
      x.lDenominator > 0 ? static_cast<double>(x.lNumerator) / x.lDenominator : dpi_;
  const double down =
      y.lDenominator > 0 ? static_cast<double>(y.lNumerator) / y.lDenominator : dpiDown_;
  // A frame the source holds already stays as it is: inches from dots at a low resolution
  // would move it by a fraction of a dot at a higher one.
  twain::ImageLayout now{};
  if (session_.Call(twain::kDgImage, twain::kDatImageLayout, twain::kMsgGet, &now) ==
      twain::kRcSuccess) {
    const auto dots = [&](twain::Fix32 value, double dpi) {
      return static_cast<std::int32_t>(std::lround(Inches(twain::ToDouble(value)) * dpi));
    };
    const std::int32_t nowLeft = dots(now.frame.left, across);
    const std::int32_t nowTop = dots(now.frame.top, down);
    if (nowLeft == Number(kTagXPosition) && nowTop == Number(kTagYPosition) &&
        dots(now.frame.right, across) - nowLeft == Number(kTagImageWidth) &&
        dots(now.frame.bottom, down) - nowTop == Number(kTagImageLength)) {
      return;
    }
  }
  const double left = Number(kTagXPosition) / across;
  const double top = Number(kTagYPosition) / down;
  twain::ImageLayout layout{};
  layout.frame.left = twain::ToFix32(Units(left));
  layout.frame.top = twain::ToFix32(Units(top));
  layout.frame.right = twain::ToFix32(Units(left + Number(kTagImageWidth) / across));
  layout.frame.bottom = twain::ToFix32(Units(top + Number(kTagImageLength) / down));
  layout.documentNumber = 1;
  layout.pageNumber = 1;
  layout.frameNumber = 1;
  session_.Call(twain::kDgImage, twain::kDatImageLayout, twain::kMsgSet, &layout);
}

void TwainTags::ApplyScanType() {
  const std::int32_t type = Number(tag_scantype);
  const std::uint32_t feeder = type >= 3 ? 1 : 0;
  session_.Set(twain::kCapFeederEnabled, twain::kTyBool, feeder);
  if (feeder != 0) session_.Set(twain::kCapAutoFeed, twain::kTyBool, 1);
  if (type >= 3) session_.Set(twain::kCapDuplexEnabled, twain::kTyBool, type == 4 ? 1u : 0u);
}

}  // namespace sim
