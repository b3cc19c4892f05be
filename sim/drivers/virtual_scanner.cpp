// The virtual scanner: a driver described by the profile section named by its driver name
// with Type=VirtualScanner, or, for the name VSCAN without such a section, by the defaults
// alone (sim/virtual_scanner_config.cpp reads it); docs/configuration.md lists the keys.
#include "sim/drivers/virtual_scanner.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/messages.h"
#include "sim/dialogs/image_dialog.h"
#include "sim/drivers/driver_catalog.h"
#include "sim/drivers/page_feed.h"
#include "sim/drivers/virtual_scanner_config.h"
#include "sim/pipes/codecs.h"
#include "sim/services/driver_model/driver_registry.h"
#include "sim/services/faults/errors.h"
#include "sim/services/operations/profile.h"
#include "sim/services/text/ini_text.h"

namespace sim {
namespace {

constexpr std::string_view kDefaultName = "VSCAN";

// The preferred value when the list has it, else the list's first.
std::int32_t PreferOr(const std::vector<std::int32_t>& list, std::int32_t preferred) {
  return std::ranges::count(list, preferred) > 0 ? preferred : list.front();
}

std::vector<TagValue> SampleChoices(const std::vector<BitDepth>& depths) {
  std::vector<std::int32_t> seen;
  for (const auto& depth : depths) {
    if (std::ranges::count(seen, depth.samples) == 0) seen.push_back(depth.samples);
  }
  return {seen.begin(), seen.end()};
}

// The scanner's depths are pairs: the bits a sample it offers depend on the samples a dot
// set, as a scanner's gray and colour modes have depths of their own.
std::vector<TagValue> BitChoices(const std::vector<BitDepth>& depths, std::int32_t samples) {
  std::vector<std::int32_t> seen;
  for (const auto& depth : depths) {
    if (depth.samples == samples && std::ranges::count(seen, depth.bits) == 0) {
      seen.push_back(depth.bits);
    }
  }
  return {seen.begin(), seen.end()};
}

// Rounded to the nearest dot, in 64 bits: a resolution restored from a record may be any
// pair of 32-bit numbers. A length beyond the 32-bit range of a tag is held at its end.
std::int32_t Dots(MilliInches length, const QelRational& resolution) {
  if (resolution.lDenominator <= 0 || resolution.lNumerator <= 0) return 0;
  const std::int64_t denominator = resolution.lDenominator;
  const std::int64_t dots =
      (std::int64_t{length} * resolution.lNumerator + 500 * denominator) / (1000 * denominator);
  return static_cast<std::int32_t>(std::min<std::int64_t>(dots, INT32_MAX));
}

// 0 white is zero (bilevel), 1 black is zero (gray), 2 RGB.
std::int32_t Photometric(std::int32_t samples, std::int32_t bits) {
  if (samples == 3) return 2;
  return bits == 1 ? 0 : 1;
}

// The settings the scanner saves, in the order restoring needs: resolutions before the page,
// the page before the exact width and length.
TagTable StartingTags(const Config& config) {
  TagTable tags;
  const QelRational resolution{PreferOr(config.resolutions, 300), 1};
  std::vector<TagValue> resolutions;
  for (const auto dpi : config.resolutions) resolutions.emplace_back(QelRational{dpi, 1});
  const BitDepth depth = config.depths.front();
  const auto maxWidth = Dots(config.maxWidth, resolution);
  const auto maxLength = Dots(config.maxLength, resolution);
  PageDots start{maxWidth, maxLength};
  if (!config.pages.empty()) {
    start = {Dots(config.pages.front().width, resolution),
             Dots(config.pages.front().length, resolution)};
  }
  const auto numbers = [](const std::vector<std::int32_t>& list) {
    return std::vector<TagValue>(list.begin(), list.end());
  };

  using enum TiffType;
  tags.Define(kTagXResolution, Rational, resolution, resolutions, "XResolution");
  tags.Define(kTagYResolution, Rational, resolution, resolutions, "YResolution");
  tags.Define(kTagSamplesPerPixel, Short, depth.samples, SampleChoices(config.depths),
              "SamplesPerPixel");
  tags.Define(kTagBitsPerSample, Short, depth.bits, BitChoices(config.depths, depth.samples),
              "BitsPerSample");
  if (!config.pages.empty()) {
    std::vector<TagValue> names;
    for (const auto& page : config.pages) names.emplace_back(page.name);
    tags.Define(kTagPageSize, Ascii, config.pages.front().name, names, "PageSize");
  }
  Tag& width = tags.Define(kTagImageWidth, Long, start.width, {}, "ImageWidth");
  width.maximum = maxWidth;
  width.step = config.widthStep;
  Tag& length = tags.Define(kTagImageLength, Long, start.length, {}, "ImageLength");
  length.maximum = maxLength;
  length.step = config.lengthStep;
  tags.Define(kTagXPosition, Short, 0, {}, "XPosition");
  tags.Define(kTagYPosition, Short, 0, {}, "YPosition");
  if (!config.scanTypes.empty()) {
    tags.Define(tag_scantype, Short, PreferOr(config.scanTypes, 3), numbers(config.scanTypes),
                "ScanType");
  }
  tags.Define(kTagJobSeparators, Short, PreferOr(config.jobSeparators, 0),
              numbers(config.jobSeparators), "JobSeparator");
  tags.Define(kTagScanAhead, Short, config.scanAhead, numbers({0, 1}), "ScanAhead");

  tags.Define(kTagScannerId, Ascii, config.id);
  tags.Define(kTagCompression, Short, config.compressions.front(), numbers(config.compressions));
  tags.Define(kTagT4Options, Long, 0, numbers({0, 1}));
  tags.Define(kTagPhotometricInterpretation, Short, Photometric(depth.samples, depth.bits));
  tags.Define(kTagPlanarConfiguration, Short, 1);
  tags.Define(kTagFeederStatus, Long, config.feederStatus);
  if (config.sendParams != 0) {
    tags.Define(kTagSendParams, Long, 0);
    tags.Define(kTagSendParamsMode, Long, 0);
    // The data fields of the page scanned last.
    tags.Define(kTagDataField1, Long, 0);
    tags.Define(kTagDataField2Text, Ascii, std::string());
    tags.Define(kTagDataField2First, Long, 0);
    tags.Define(kTagDataField2Second, Long, 0);
  }
  if (config.pageLevelTag != 0) tags.Define(kTagPageLevel, Short, 1);
  if (config.pageSideTag != 0) tags.Define(kTagPageSide, Long, 0);
  if (config.keyQualifier) tags.Define(kTagKeyQualifier, Short, *config.keyQualifier);
  if (config.keyQualifierAlt) tags.Define(kTagKeyQualifierAlt, Short, *config.keyQualifierAlt);
  return tags;
}

// One direction of the scan area: its size and offset tags and the bed's extent.
struct Axis {
  std::uint16_t resolution;
  std::uint16_t size;
  std::uint16_t offset;
  MilliInches Config::*extent;
};
constexpr std::array<Axis, 2> kAxes{{
    {kTagXResolution, kTagImageWidth, kTagXPosition, &Config::maxWidth},
    {kTagYResolution, kTagImageLength, kTagYPosition, &Config::maxLength},
}};

// The paper is the scanner's, not its driver's: a driver loaded again under the same name
// finds the feeder as the last one left it. Forgotten with the drivers (ForgetFeeds).
struct Feeder {
  std::filesystem::path folder;
  std::int32_t dpi = 0;
  PageFeed feed;
};

struct Feeders {
  std::mutex mutex;
  std::map<std::string, std::unique_ptr<Feeder>, std::less<>> byKey;
};

// Never destroyed: a scanner stuck reading a page may wake after the exit handlers ran.
Feeders& TheFeeders() {
  static auto* feeders = new Feeders;
  return *feeders;
}

PageFeed& FeedOf(std::string_view key, const Config& config) {
  std::lock_guard lock(TheFeeders().mutex);
  auto& feeder = TheFeeders().byKey[std::string(key)];
  if (!feeder || feeder->folder != config.imageFolder || feeder->dpi != config.imageDpi) {
    feeder = std::make_unique<Feeder>(
        Feeder{config.imageFolder, config.imageDpi,
               config.imageFolder.empty()
                   ? PageFeed(static_cast<std::uint32_t>(config.feederPages))
                   : PageFeed(PageSources(PageImageFiles(config.imageFolder)), config.imageDpi)});
  }
  return feeder->feed;
}

class VirtualScanner final : public ImageDialogDriver {
 public:
  VirtualScanner(std::string_view key, Config config)
      : ImageDialogDriver(StartingTags(config)),
        config_(std::move(config)),
        feed_(FeedOf(key, config_)) {
    PullInPage();
  }

  std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer) override {
    if (code == QelDrvFreshStart) return FreshStart();
    if (code == QelDrvPageLoaded) return PageLoaded(pointer);
    if (code == sendparams && config_.sendParams != 0) return TakeParams(pointer);
    return Default(code, argument, pointer);
  }

  void LoadFeeder(std::uint32_t pages) {
    feed_ = PageFeed(pages);
    PullInPage();
  }
  void RepeatFeeder(std::uint32_t rounds) {
    feed_.Repeat(rounds);
    PullInPage();
  }

  // The rows of the page delivered last, before any compression; valid until the next run.
  std::span<const std::uint8_t> LastPage() const { return lastPage_; }

  std::int32_t RunPage(Stage& out) override {
    // The job's abort callback is asked before the page and between its pieces.
    const auto aborted = [this] { return AbortPoll() != nullptr && AbortPoll()() < 0; };
    if (aborted()) return kErrAborted;
    const PageFormat format = Format();
    // An area of no dot or no line is no page: refused, not scanned as an empty one.
    if (format.width <= 0 || format.length <= 0) {
      return MakeFrameworkError(error::kValueNotAllowed, 0);
    }
    const auto page = feed_.Peek(format);
    if (!page) {
      return MakeFrameworkError(
          feed_.Waiting() == 0 ? error::kNoPaper : error::kPageImageUnreadable, 0);
    }
    std::optional<std::vector<std::uint8_t>> coded;
    if (format.compression != 1) {
      coded = EncodePage(format, page->rows);
      if (!coded) return MakeFrameworkError(error::kBadImage, 0);
    }
    const PageTags tags = TagsOf(page->sidecar);
    TakeDataFields(tags);
    PageWriter writer(out);
    if (const auto rc = writer.Begin(format, tags); rc < 0) return rc;
    const std::span<const std::uint8_t> data =
        coded ? std::span<const std::uint8_t>(*coded) : page->rows;
    if (const auto rc = writer.DataInRows(data, format.RowBytes(), aborted); rc < 0) return rc;
    if (const auto rc = writer.Finish(tags); rc < 0) return rc;
    sent_ = page->rows;
    return 0;
  }

  // The sheet leaves the feeder only once its page reached the chain's end: a run that
  // failed on the way, at a later stage's end of the page too, leaves it for the next run.
  void RunEnded(bool delivered) override {
    const auto sent = std::exchange(sent_, std::nullopt);
    if (!sent || !delivered) return;
    lastPage_ = *sent;
    feed_.Take();
    ++sheetSide_;
    PullInPage();
  }

 protected:
  std::optional<PageDots> PageSize(std::string_view name) const override {
    const auto page = std::ranges::find(config_.pages, name, &Page::name);
    if (page == config_.pages.end()) return std::nullopt;
    return PageDots{Dots(page->width, Resolution(kTagXResolution)),
                    Dots(page->length, Resolution(kTagYResolution))};
  }

  void Changed(const Tag& tag, const TagValue& before) override {
    Driver::Changed(tag, before);
    for (const Axis& axis : kAxes) {
      if (tag.number == axis.resolution) Rescale(axis, std::get<QelRational>(before));
    }
    if (tag.number == kTagScanAhead && Number(kTagScanAhead) != 0) PullInPage();
    if (tag.number == kTagSamplesPerPixel) {
      Table().Find(kTagBitsPerSample)->choices =
          BitChoices(config_.depths, Number(kTagSamplesPerPixel));
    }
    if (tag.number == kTagSamplesPerPixel || tag.number == kTagBitsPerSample) {
      AssignNumber(kTagPhotometricInterpretation,
                   Photometric(Number(kTagSamplesPerPixel), Number(kTagBitsPerSample)));
    }
  }

 private:
  QelRational Resolution(std::uint16_t number) const {
    return std::get<QelRational>(Tags().Find(number)->value);
  }
  std::int32_t Number(std::uint16_t number) const {
    return std::get<std::int32_t>(Tags().Find(number)->value);
  }

  // The settings go back to their values at load, in the order they are saved so that each
  // sizes the next as a restore does. The other tags stay: the library sets the sending mode
  // at load, before it asks for a fresh start.
  std::int32_t FreshStart() {
    const TagTable start = StartingTags(config_);
    for (const Tag& tag : start.InOrder()) {
      Tag* now = Table().Find(tag.number);
      if (!tag.setting.empty() && now != nullptr && now->type == tag.type) Assign(*now, tag.value);
    }
    return 0;
  }

  // A running feeder (tag 1293 at 1) holds the next page at the ready; a stopped one keeps
  // the page it already holds but pulls in no other. A run takes its page either way.
  std::int32_t PageLoaded(void* pointer) const {
    if (pointer == nullptr) return error::kInvalidArgument;
    *static_cast<std::uint32_t*>(pointer) = pageReady_ ? kPageReady : 0;
    return 0;
  }

  void PullInPage() { pageReady_ = feed_.Waiting() > 0 && Number(kTagScanAhead) != 0; }

  PageFormat Format() const {
    PageFormat format;
    format.width = Number(kTagImageWidth);
    format.length = Number(kTagImageLength);
    format.samples = Number(kTagSamplesPerPixel);
    format.bits = Number(kTagBitsPerSample);
    format.compression = Number(kTagCompression);
    format.photometric = Number(kTagPhotometricInterpretation);
    format.t4Options = Number(kTagT4Options);
    format.planar = Number(kTagPlanarConfiguration);
    format.xResolution = Resolution(kTagXResolution);
    format.yResolution = Resolution(kTagYResolution);
    format.xPosition = Number(kTagXPosition);
    format.yPosition = Number(kTagYPosition);
    return format;
  }

  bool Duplex() const {
    const Tag* type = Tags().Find(tag_scantype);
    const auto* value = type != nullptr ? std::get_if<std::int32_t>(&type->value) : nullptr;
    return value != nullptr && *value >= 4 && *value <= 6;
  }

  // The scanner answers the data fields of the page it is scanning.
  void TakeDataFields(const PageTags& tags) {
    for (const auto& [tag, value] : tags.numbers) {
      if (tag != kTagSendParams) AssignNumber(tag, value);
    }
    for (const auto& [tag, text] : tags.texts) {
      if (Tag* found = Table().Find(tag)) Assign(*found, text);
    }
  }

  // The page's own values, as far as this scanner answers them.
  PageTags TagsOf(const std::map<std::string, std::string>& sidecar) const {
    const auto number = [&](const char* key) -> std::optional<std::int32_t> {
      const auto found = sidecar.find(key);
      if (found == sidecar.end()) return std::nullopt;
      return ParseNumber(found->second);
    };
    PageTags tags;
    if (const auto found = sidecar.find("barcodes"); found != sidecar.end())
      tags.barcodes = found->second;
    tags.numbers.emplace_back(kTagJobSepLevel, number("jobsep").value_or(0));
    if (config_.pageLevelTag != 0)
      tags.numbers.emplace_back(kTagPageLevel, number("level").value_or(1));
    if (config_.pageSideTag != 0) {
      tags.numbers.emplace_back(kTagPageSide,
                                number("side").value_or(Duplex() ? sheetSide_ % 2 : 0));
    }
    if (config_.sendParams != 0) {
      tags.numbers.emplace_back(kTagDataField1, number("df1").value_or(0));
      tags.numbers.emplace_back(kTagDataField2First, number("df2a").value_or(0));
      tags.numbers.emplace_back(kTagDataField2Second, number("df2b").value_or(0));
      tags.numbers.emplace_back(kTagSendParams, Number(kTagSendParams));
      const auto text = sidecar.find("df2text");
      tags.texts.emplace_back(kTagDataField2Text, text == sidecar.end() ? "" : text->second);
    }
    return tags;
  }

  // The area keeps its place on the bed when the resolution changes, within the bed.
  void Rescale(const Axis& axis, const QelRational& before) {
    const QelRational now = Resolution(axis.resolution);
    const std::int64_t over = std::int64_t{now.lDenominator} * before.lNumerator;
    if (over > 0) {
      const std::int64_t by = std::int64_t{now.lNumerator} * before.lDenominator;
      for (const auto number : {axis.size, axis.offset}) {
        AssignNumber(number, static_cast<std::int32_t>(Number(number) * by / over));
      }
    }
    const auto maximum = Dots(config_.*axis.extent, now);
    Table().Find(axis.size)->maximum = maximum;
    if (Number(axis.size) > maximum) AssignNumber(axis.size, maximum);
  }

  Config config_;
  PageFeed& feed_;
  bool pageReady_ = false;
  std::uint32_t sheetSide_ = 0;             // sides delivered: even a front, odd a back when duplex
  std::span<const std::uint8_t> lastPage_;  // the feed's rendering, kept until its next page
  std::optional<std::span<const std::uint8_t>> sent_;  // the page of the run not yet ended
};

}  // namespace

std::int32_t VirtualScannerNamed(std::string_view key, std::unique_ptr<Driver>& driver) {
  const auto profile = ReadProfile();
  const bool described =
      profile && TrimBlanks(profile->Find(key, "Type").value_or("")) == "VirtualScanner";
  if (!described && key != kDefaultName) return error::kDriverNotFound;
  auto config = ReadConfig(described ? &*profile : nullptr, key);
  if (!config) return error::kBadDriverSettings;
  driver = std::make_unique<VirtualScanner>(key, std::move(*config));
  return 0;
}

void ForgetFeeds() {
  std::lock_guard lock(TheFeeders().mutex);
  TheFeeders().byKey.clear();
}

namespace {

// Runs `use` on the virtual scanner loaded last under the name; false when there is none.
template <typename Use>
bool WithScanner(std::string_view name, Use use) {
  const auto key = DriverKey(std::string(name).c_str());
  bool found = false;
  if (key) {
    ChangeLoaded(*key, [&](Driver& driver) {
      if (auto* scanner = dynamic_cast<VirtualScanner*>(&driver)) {
        use(*scanner);
        found = true;
      }
    });
  }
  return found;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> LastScannedPage(std::string_view name) {
  std::optional<std::vector<std::uint8_t>> page;
  WithScanner(name, [&](const VirtualScanner& scanner) {
    page.emplace(scanner.LastPage().begin(), scanner.LastPage().end());
  });
  return page;
}

bool RepeatFeeder(std::string_view name, std::uint32_t rounds) {
  return WithScanner(name, [&](VirtualScanner& scanner) { scanner.RepeatFeeder(rounds); });
}

bool SetFeederPages(std::string_view name, std::uint32_t pages) {
  return WithScanner(name, [&](VirtualScanner& scanner) { scanner.LoadFeeder(pages); });
}

}  // namespace sim
