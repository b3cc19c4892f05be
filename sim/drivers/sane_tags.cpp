#include "sim/drivers/sane_tags.h"

#include <sane/saneopts.h>

#include <cctype>
#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>

#include "framework/tags.h"

namespace sim {
namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kEndMargin = 0.25;  // dots
// Resolutions offered when the device gives a range: those of them the range holds.
constexpr std::int32_t kUsualResolutions[] = {50, 75, 100, 150, 200, 240, 300, 400, 600, 1200};

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}


bool Holds(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// The device's modes by what they deliver.
struct Modes {
  std::optional<std::string> lineart;
  std::optional<std::string> gray;
  std::optional<std::string> colour;
};

Modes ModesOf(const std::vector<std::string>& names) {
  Modes modes;
  for (const std::string& name : names) {
    const std::string lower = Lower(name);
    if (lower == Lower(SANE_VALUE_SCAN_MODE_LINEART) || lower == "binary") modes.lineart = name;
    if (lower == Lower(SANE_VALUE_SCAN_MODE_GRAY) || lower == "grayscale") modes.gray = name;
    if (lower == Lower(SANE_VALUE_SCAN_MODE_COLOR)) modes.colour = name;
  }
  return modes;
}

std::vector<TagValue> NumberChoices(const std::set<std::int32_t>& numbers) {
  return {numbers.begin(), numbers.end()};
}

}  // namespace

std::int32_t ScanTypeOf(std::string_view source) {
  const std::string lower = Lower(source);
  if (Holds(lower, "duplex")) return 4;
  if (Holds(lower, "adf") || Holds(lower, "feeder")) return 3;
  if (Holds(lower, "flatbed") || Holds(lower, "platen") || Holds(lower, "document table") ||
      lower == "fb") {
    return 2;
  }
  return 0;
}

double SaneTags::Dpi() const {
  const auto resolution = options_.Find(SANE_NAME_SCAN_RESOLUTION);
  const double dpi = resolution ? options_.Number(*resolution).value_or(0) : 0;
  return dpi > 0 ? dpi : 300;
}

std::int32_t SaneTags::ToDots(SANE_Int option, double value) const {
  if (options_.Descriptor(option).unit == SANE_UNIT_PIXEL) {
    return static_cast<std::int32_t>(std::lround(value));
  }
  return static_cast<std::int32_t>(std::lround(value / kMillimetresPerInch * Dpi()));
}
double SaneTags::FromDots(SANE_Int option, double dots) const {
  if (options_.Descriptor(option).unit == SANE_UNIT_PIXEL) return dots;
  return dots * kMillimetresPerInch / Dpi();
}

std::int32_t SaneTags::Number(std::uint16_t number) const {
  const Tag* tag = table_.Find(number);
  const auto* value = tag != nullptr ? std::get_if<std::int32_t>(&tag->value) : nullptr;
  return value != nullptr ? *value : 0;
}

void SaneTags::Put(std::uint16_t number, bool present, TiffType type, TagValue value,
                   std::vector<TagValue> choices, const char* setting) {
  Tag* tag = table_.Find(number);
  const bool fits = tag != nullptr && tag->type == type;
  if (present == fits) {
    if (fits) {
      tag->value = std::move(value);
      tag->choices = std::move(choices);
    }
    return;
  }
  if (!mayReshape_) {
    reshapeDue_ = true;
    return;
  }
  if (present) {
    table_.Define(number, type, std::move(value), std::move(choices), setting);
  } else {
    table_.Remove(number);
  }
}

void SaneTags::Sync() {
  SyncResolution();
  SyncDepth();
  SyncSource();
  SyncArea();
}

void SaneTags::ReshapeNow() {
  reshapeDue_ = true;
  Reshape();
}

void SaneTags::Reshape() {
  if (!reshapeDue_) return;
  reshapeDue_ = false;
  mayReshape_ = true;
  Sync();
  mayReshape_ = false;
}

void SaneTags::SyncResolution() {
  const auto option = options_.Find(SANE_NAME_SCAN_RESOLUTION);
  const auto dpi = static_cast<std::int32_t>(std::lround(Dpi()));
  std::set<std::int32_t> allowed;
  if (option) {
    for (double value : options_.Numbers(*option)) {
      allowed.insert(static_cast<std::int32_t>(std::lround(value)));
    }
    if (const auto range = options_.Range(*option)) {
      for (std::int32_t usual : kUsualResolutions) {
        const bool onStep =
            range->quant <= 0 || std::fmod(usual - range->minimum, range->quant) == 0;
        if (usual >= range->minimum && usual <= range->maximum && onStep) allowed.insert(usual);
      }
    }
    allowed.insert(dpi);
  }
  std::vector<TagValue> choices;
  for (std::int32_t value : allowed) choices.emplace_back(QelRational{value, 1});
  Put(kTagXResolution, option.has_value(), TiffType::Rational, QelRational{dpi, 1}, choices,
      "XResolution");
  Put(kTagYResolution, option.has_value(), TiffType::Rational, QelRational{dpi, 1}, choices,
      "YResolution");
}

void SaneTags::SyncDepth() {
  const auto modeOption = options_.Find(SANE_NAME_SCAN_MODE);
  const auto depthOption = options_.Find(SANE_NAME_BIT_DEPTH);
  const Modes modes = modeOption ? ModesOf(options_.Texts(*modeOption)) : Modes{};
  std::set<double> depths;
  if (depthOption) {
    const auto listed = options_.Numbers(*depthOption);
    depths.insert(listed.begin(), listed.end());
  }
  const auto hasDepth = [&](double bits) { return !depthOption || depths.count(bits) != 0; };

  std::set<std::int32_t> samples = {1};
  std::set<std::int32_t> bits;
  if (modes.lineart || (modes.gray && depthOption && depths.count(1) != 0)) bits.insert(1);
  if ((modes.gray && hasDepth(8)) || (modes.colour && hasDepth(8))) bits.insert(8);
  if (modes.colour && hasDepth(8)) samples.insert(3);
  if (!modeOption) bits.insert(8);  // a device without modes scans gray

  const std::string mode = modeOption ? options_.Text(*modeOption).value_or("") : "";
  const auto depth =
      static_cast<std::int32_t>(depthOption ? options_.Number(*depthOption).value_or(8) : 8);
  std::int32_t nowSamples = 1;
  std::int32_t nowBits = depth;
  if (modes.lineart && mode == *modes.lineart) nowBits = 1;
  if (modes.colour && mode == *modes.colour) nowSamples = 3;

  Put(kTagSamplesPerPixel, true, TiffType::Short, nowSamples, NumberChoices(samples),
      "SamplesPerPixel");
  Put(kTagBitsPerSample, true, TiffType::Short, nowBits, NumberChoices(bits), "BitsPerSample");
  Put(kTagPhotometricInterpretation, true, TiffType::Short,
      nowSamples == 3 ? 2 : (nowBits == 1 ? 0 : 1), {}, "");
}

void SaneTags::SyncSource() {
  const auto option = options_.Find(SANE_NAME_SCAN_SOURCE);
  std::set<std::int32_t> types;
  if (option) {
    for (const std::string& source : options_.Texts(*option)) {
      if (const std::int32_t type = ScanTypeOf(source)) types.insert(type);
    }
  }
  const std::int32_t now = option ? ScanTypeOf(options_.Text(*option).value_or("")) : 0;
  Put(tag_scantype, !types.empty() && now != 0, TiffType::Short, now, NumberChoices(types),
      "ScanType");
  std::int32_t status = 0;
  if (types.count(3) != 0 || types.count(4) != 0) status |= 1;
  if (types.empty() || types.count(2) != 0) status |= 2;
  Put(kTagFeederStatus, true, TiffType::Long, status, {}, "");
}

const SaneTags::Axis SaneTags::kAxes[2] = {
    {SANE_NAME_SCAN_TL_X, SANE_NAME_SCAN_BR_X, kTagXPosition, kTagImageWidth, "XPosition",
     "ImageWidth"},
    {SANE_NAME_SCAN_TL_Y, SANE_NAME_SCAN_BR_Y, kTagYPosition, kTagImageLength, "YPosition",
     "ImageLength"},
};

void SaneTags::SyncArea() {
  for (const Axis& axis : kAxes) {
    const auto start = options_.Find(axis.start);
    const auto end = options_.Find(axis.end);
    const bool present = start && end;
    const double from = present ? options_.Number(*start).value_or(0) : 0;
    const double to = present ? options_.Number(*end).value_or(0) : 0;
    Put(axis.sizeTag, present, TiffType::Long, present ? ToDots(*end, to - from) : 0, {},
        axis.sizeSetting);
    Put(axis.offsetTag, present, TiffType::Long, present ? ToDots(*start, from) : 0, {},
        axis.offsetSetting);
    Tag* size = table_.Find(axis.sizeTag);
    Tag* offset = table_.Find(axis.offsetTag);
    if (!present || size == nullptr || offset == nullptr) continue;
    size->maximum.reset();
    size->step.reset();
    offset->maximum.reset();
    if (const auto range = options_.Range(*end)) {
      size->maximum = ToDots(*end, range->maximum);
      const std::int32_t step = ToDots(*end, range->quant);
      if (step >= 2) size->step = step;
    }
    if (const auto range = options_.Range(*start)) {
      offset->maximum = ToDots(*start, range->maximum);
    }
  }
}

void SaneTags::Apply(const Tag& tag) {
  switch (tag.number) {
    case kTagXResolution:
    case kTagYResolution:
      if (const auto option = options_.Find(SANE_NAME_SCAN_RESOLUTION)) {
        const auto& value = std::get<QelRational>(tag.value);
        if (value.lDenominator != 0) {
          options_.SetNumber(*option, static_cast<double>(value.lNumerator) / value.lDenominator);
        }
      }
      return;
    case kTagSamplesPerPixel:
    case kTagBitsPerSample:
      ApplyDepth(Number(kTagSamplesPerPixel), Number(kTagBitsPerSample));
      return;
    case tag_scantype:
      ApplySource(Number(tag_scantype));
      return;
    default:
      break;
  }
  for (const Axis& axis : kAxes) {
    if (tag.number == axis.sizeTag || tag.number == axis.offsetTag) ApplyArea(axis);
  }
}

void SaneTags::ApplyDepth(std::int32_t samples, std::int32_t bits) {
  const auto modeOption = options_.Find(SANE_NAME_SCAN_MODE);
  if (!modeOption) return;
  const Modes modes = ModesOf(options_.Texts(*modeOption));
  std::optional<std::string> mode;
  std::int32_t depth = 8;
  if (samples == 3) {
    mode = modes.colour;
  } else if (bits == 1 && modes.lineart) {
    mode = modes.lineart;
  } else {
    mode = modes.gray;
    depth = bits == 1 ? 1 : 8;
  }
  if (!mode) return;
  options_.SetText(*modeOption, *mode);
  if (const auto depthOption = options_.Find(SANE_NAME_BIT_DEPTH)) {
    options_.SetNumber(*depthOption, depth);
  }
}

void SaneTags::ApplySource(std::int32_t type) {
  const auto option = options_.Find(SANE_NAME_SCAN_SOURCE);
  if (!option) return;
  for (const std::string& source : options_.Texts(*option)) {
    if (ScanTypeOf(source) == type) {
      options_.SetText(*option, source);
      return;
    }
  }
}

// The area's offset and size in dots, as the tags now hold them, become the start and end.
void SaneTags::ApplyArea(const Axis& axis) {
  const auto start = options_.Find(axis.start);
  const auto end = options_.Find(axis.end);
  if (!start || !end) return;
  // An area the device holds already stays as it is: millimetres from dots at a low
  // resolution would move it by a fraction of a dot at a higher one.
  const double nowFrom = options_.Number(*start).value_or(0);
  const double nowTo = options_.Number(*end).value_or(0);
  if (ToDots(*start, nowFrom) == Number(axis.offsetTag) &&
      ToDots(*end, nowTo - nowFrom) == Number(axis.sizeTag)) {
    return;
  }
  // The end reaches a quarter into the dot after the last, so that a device that cuts its
  // size to whole dots (or rounds it) keeps every dot asked for. A device with a step would
  // round to the nearest one and could lose a dot at each set, so the start goes down and
  // the end up to a step: the area read back never shrinks, and setting it again changes
  // nothing.
  const double from = FromDots(*start, Number(axis.offsetTag));
  const double to = from + FromDots(*end, Number(axis.sizeTag) + kEndMargin);
  options_.SetNumber(*start, options_.OnStep(*start, from, SaneOptions::Toward::Down));
  options_.SetNumber(*end, options_.OnStep(*end, to, SaneOptions::Toward::Up));
}

}  // namespace sim
