#include "sim/sane_scanner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/messages.h"
#include "sim/error_texts.h"
#include "sim/errors.h"
#include "sim/ini_text.h"
#include "sim/page_flow.h"
#include "sim/profile.h"
#include "sim/sane_frames.h"
#include "sim/sane_options.h"

namespace sim {
namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kEndMargin = 0.25;  // dots
constexpr std::string_view kOptionPrefix = "Option.";
// Resolutions offered when the device gives a range: those of them the range holds.
constexpr std::int32_t kUsualResolutions[] = {50, 75, 100, 150, 200, 240, 300, 400, 600, 1200};

// SANE starts with the first driver and stays for the process: its backends keep their
// state (and memory) in libraries that sane_exit would unload under them. Devices close with
// their drivers.
void StartSane() {
  static std::once_flag started;
  std::call_once(started, [] { sane_init(nullptr, nullptr); });
}

std::int16_t ErrorNumberOf(SANE_Status status) {
  switch (status) {
    case SANE_STATUS_NO_DOCS:
      return error::kNoPaper;
    case SANE_STATUS_JAMMED:
      return error::kPaperJam;
    case SANE_STATUS_COVER_OPEN:
      return error::kCoverOpen;
    case SANE_STATUS_IO_ERROR:
      return error::kDeviceIoError;
    case SANE_STATUS_NO_MEM:
      return error::kDeviceNoMemory;
    case SANE_STATUS_DEVICE_BUSY:
      return error::kDeviceBusy;
    case SANE_STATUS_ACCESS_DENIED:
      return error::kAccessDenied;
    case SANE_STATUS_CANCELLED:
      return error::kCancelledAtDevice;
    default:
      return error::kDeviceFailure;
  }
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The scan type (tag 1300) a source stands for: 4 duplex, 3 feeder, 2 flatbed, 0 none.
std::int32_t ScanTypeOf(std::string_view source) {
  const std::string lower = Lower(source);
  if (lower.find("duplex") != std::string::npos) return 4;
  if (lower.find("adf") != std::string::npos || lower.find("feeder") != std::string::npos) return 3;
  if (lower.find("flatbed") != std::string::npos) return 2;
  return 0;
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

class SaneScanner final : public Driver {
 public:
  SaneScanner(SANE_Handle handle, std::string id)
      : handle_(handle), options_(handle), id_(std::move(id)) {
    ReshapeNow();
    Table().Define(kTagScannerId, TiffType::Ascii, id_);
    Table().Define(kTagCompression, TiffType::Short, 1, {1});
    Table().Define(kTagT4Options, TiffType::Long, 0, {0, 1});
    Table().Define(kTagPlanarConfiguration, TiffType::Short, 1);
    Table().Define(kTagScanAhead, TiffType::Short, 1, {0, 1}, "ScanAhead");
  }
  ~SaneScanner() override {
    sane_cancel(handle_);
    sane_close(handle_);
  }

  // An Option line of the profile; false when the device has no such active option or
  // refuses the value. The tags follow.
  bool SetOption(std::string_view name, std::string_view value) {
    const auto option = options_.Find(name);
    if (!option || options_.SetFromText(*option, value) != SANE_STATUS_GOOD) return false;
    ReshapeNow();
    return true;
  }

  // 16-bit samples are never offered: a device set to them goes to 8 bits; false when it has
  // no other depth.
  bool AvoidSixteenBits() {
    const auto depth = options_.Find(SANE_NAME_BIT_DEPTH);
    if (!depth || options_.Number(*depth).value_or(8) != 16) return true;
    if (options_.SetNumber(*depth, 8) != SANE_STATUS_GOOD) return false;
    ReshapeNow();
    return true;
  }

  // What a fresh start goes back to: the settings as they stand once the load is done.
  void RememberStartingValues() {
    startingValues_.clear();
    for (const Tag& tag : Tags().InOrder()) {
      if (!tag.setting.empty()) startingValues_.emplace_back(tag.number, tag.value);
    }
  }

  std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer) override {
    Reshape();
    if (code == QelDrvFreshStart) return FreshStart();
    if (code == QelDrvPageLoaded) {
      // Whether paper waits shows only when a scan starts: the run answers an empty feeder.
      if (pointer == nullptr) return error::kInvalidArgument;
      *static_cast<std::uint32_t*>(pointer) = kPageReady;
      return 0;
    }
    return Default(code, argument, pointer);
  }

  std::int32_t RunPage(Stage& out) override {
    Reshape();
    const auto aborted = [this] { return AbortPoll() != nullptr && AbortPoll()() < 0; };
    SanePage page;
    const SanePageResult read = ReadSanePage(handle_, aborted, page);
    switch (read.kind) {
      case SanePageResult::Kind::Aborted:
        sane_cancel(handle_);
        return kErrAborted;
      case SanePageResult::Kind::Failed:
        sane_cancel(handle_);
        return MakeFrameworkError(ErrorNumberOf(read.status), 0);
      case SanePageResult::Kind::Unsupported:
        sane_cancel(handle_);
        return MakeFrameworkError(error::kSamplesNotSupported, 0);
      case SanePageResult::Kind::EndedEarly:
        sane_cancel(handle_);
        return MakeFrameworkError(error::kPageEndedEarly, 0);
      case SanePageResult::Kind::Page:
        break;
    }
    const PageFormat format = FormatOf(page);
    PageWriter writer(out);
    const PageTags none;
    if (const auto rc = writer.Begin(format, none); rc < 0) return rc;
    if (const auto rc = writer.DataInRows(page.rows, format.RowBytes(), aborted); rc < 0) {
      return rc;
    }
    return writer.Finish(none);
  }

 protected:
  void Changed(const Tag& tag, const TagValue& before) override {
    Driver::Changed(tag, before);
    ApplyToDevice(tag);
    SyncTags();
  }

 private:
  // The device's options at load (with the profile's Option lines) come back, in the order
  // their tags were declared.
  std::int32_t FreshStart() {
    for (const auto& [number, value] : startingValues_) {
      if (Tag* tag = Table().Find(number); tag != nullptr && tag->value.index() == value.index()) {
        Assign(*tag, value);
      }
    }
    return 0;
  }

  double Dpi() const {
    const auto resolution = options_.Find(SANE_NAME_SCAN_RESOLUTION);
    const double dpi = resolution ? options_.Number(*resolution).value_or(0) : 0;
    return dpi > 0 ? dpi : 300;
  }

  // Geometry in the option's unit and in dots at the current resolution.
  std::int32_t ToDots(SANE_Int option, double value) const {
    if (options_.Descriptor(option).unit == SANE_UNIT_PIXEL) {
      return static_cast<std::int32_t>(std::lround(value));
    }
    return static_cast<std::int32_t>(std::lround(value / kMillimetresPerInch * Dpi()));
  }
  double FromDots(SANE_Int option, double dots) const {
    if (options_.Descriptor(option).unit == SANE_UNIT_PIXEL) return dots;
    return dots * kMillimetresPerInch / Dpi();
  }

  std::int32_t Number(std::uint16_t number) const {
    const Tag* tag = Tags().Find(number);
    const auto* value = tag != nullptr ? std::get_if<std::int32_t>(&tag->value) : nullptr;
    return value != nullptr ? *value : 0;
  }

  // Updates the tag in its place. Declaring a tag or letting one go moves the others, so it
  // waits while a message may hold one of them (a set's Changed) for the next message.
  void Put(std::uint16_t number, bool present, TiffType type, TagValue value,
           std::vector<TagValue> choices, const char* setting) {
    Tag* tag = Table().Find(number);
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
      Table().Define(number, type, std::move(value), std::move(choices), setting);
    } else {
      Table().Remove(number);
    }
  }

  // The tags as the device's options now stand. Values are written directly: a set message
  // reaches the device through Changed, these only follow it.
  void SyncTags() {
    SyncResolution();
    SyncDepth();
    SyncSource();
    SyncArea();
  }

  // The tags as the options stand, outside any message.
  void ReshapeNow() {
    reshapeDue_ = true;
    Reshape();
  }

  // Tags the device's options gained or lost during the last set.
  void Reshape() {
    if (!reshapeDue_) return;
    reshapeDue_ = false;
    mayReshape_ = true;
    SyncTags();
    mayReshape_ = false;
  }

  void SyncResolution() {
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

  void SyncDepth() {
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

  void SyncSource() {
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

  // One direction of the scan area: the SANE options of its start and end, and the tags of
  // its offset and size.
  struct Axis {
    const char* start;
    const char* end;
    std::uint16_t offsetTag;
    std::uint16_t sizeTag;
    const char* offsetSetting;
    const char* sizeSetting;
  };
  static constexpr Axis kAxes[] = {
      {SANE_NAME_SCAN_TL_X, SANE_NAME_SCAN_BR_X, kTagXPosition, kTagImageWidth, "XPosition",
       "ImageWidth"},
      {SANE_NAME_SCAN_TL_Y, SANE_NAME_SCAN_BR_Y, kTagYPosition, kTagImageLength, "YPosition",
       "ImageLength"},
  };

  void SyncArea() {
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
      Tag* size = Table().Find(axis.sizeTag);
      Tag* offset = Table().Find(axis.offsetTag);
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

  // A set message's new value, given to the device.
  void ApplyToDevice(const Tag& tag) {
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

  void ApplyDepth(std::int32_t samples, std::int32_t bits) {
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

  void ApplySource(std::int32_t type) {
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
  void ApplyArea(const Axis& axis) {
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

  PageFormat FormatOf(const SanePage& page) const {
    PageFormat format;
    format.width = page.width;
    format.length = page.length;
    format.samples = page.samples;
    format.bits = page.bits;
    format.photometric = page.samples == 3 ? 2 : (page.bits == 1 ? 0 : 1);
    const Tag* x = Tags().Find(kTagXResolution);
    const Tag* y = Tags().Find(kTagYResolution);
    const auto dpi = static_cast<std::int32_t>(std::lround(Dpi()));
    format.xResolution = x != nullptr ? std::get<QelRational>(x->value) : QelRational{dpi, 1};
    format.yResolution = y != nullptr ? std::get<QelRational>(y->value) : QelRational{dpi, 1};
    return format;
  }

  SANE_Handle handle_;
  SaneOptions options_;
  std::string id_;
  std::vector<std::pair<std::uint16_t, TagValue>> startingValues_;
  bool reshapeDue_ = false;
  bool mayReshape_ = false;
};

// "vendor model" of the device, or its name when SANE does not list it (a name such as
// "test" that its backend takes for its first device).
std::string IdentityOf(const std::string& device) {
  const SANE_Device** devices = nullptr;
  if (sane_get_devices(&devices, SANE_FALSE) == SANE_STATUS_GOOD && devices != nullptr) {
    for (const SANE_Device** entry = devices; *entry != nullptr; ++entry) {
      if (device == (*entry)->name) return std::string((*entry)->vendor) + " " + (*entry)->model;
    }
  }
  return device;
}

}  // namespace

std::int32_t SaneScannerNamed(std::string_view key, std::unique_ptr<Driver>& driver) {
  const auto profile = ReadProfile();
  if (!profile || TrimBlanks(profile->Find(key, "Type").value_or("")) != "SaneScanner") {
    return error::kDriverNotFound;
  }
  const std::string device(TrimBlanks(profile->Find(key, "Device").value_or("")));
  if (device.empty()) return error::kBadDriverSettings;

  StartSane();
  SANE_Handle handle = nullptr;
  if (const SANE_Status status = sane_open(device.c_str(), &handle); status != SANE_STATUS_GOOD) {
    SetErrorSubject(error::kDeviceNotOpened, device + " (" + sane_strstatus(status) + ")");
    return error::kDeviceNotOpened;
  }
  auto scanner = std::make_unique<SaneScanner>(handle, IdentityOf(device));
  for (const auto& [name, value] : profile->Entries(key)) {
    if (name.size() <= kOptionPrefix.size() ||
        Lower(name.substr(0, kOptionPrefix.size())) != Lower(kOptionPrefix)) {
      continue;
    }
    if (!scanner->SetOption(name.substr(kOptionPrefix.size()), TrimBlanks(value))) {
      SetErrorSubject(error::kOptionRefused,
                      std::string(name) + "=" + std::string(TrimBlanks(value)));
      return error::kOptionRefused;
    }
  }
  if (!scanner->AvoidSixteenBits()) return error::kSamplesNotSupported;
  scanner->RememberStartingValues();
  driver = std::move(scanner);
  return 0;
}

}  // namespace sim
