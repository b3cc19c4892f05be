#include "sim/services/operations/error_texts.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"
#include "sim/services/text/text_copy.h"

namespace sim {
namespace {

struct ErrorEntry {
  std::int16_t number;
  std::string_view text;
};

// Counted by the compiler, so an added text needs no count changed.
constexpr auto kErrorTexts = std::to_array<ErrorEntry>({
    {error::kDriverFailure, "The driver reported a general failure"},
    {error::kDriverNotFound, "The driver was not found"},
    {error::kBadDriverSettings, "The driver's section of the profile is not valid"},
    {error::kNoScannerSelected, "No scanner is selected"},
    {error::kNotStarted, "The framework has not been started"},
    {error::kNoPaper, "No paper in the document feeder"},
    {error::kTagNotSupported, "The driver does not support this tag"},
    {error::kValueNotAllowed, "The driver does not allow this value for the tag"},
    {error::kWrongTagType, "The tag has another type"},
    {error::kNoChoices, "The tag has no list of choices"},
    {error::kNoSuchChoice, "The tag has no such choice"},
    {error::kMessageNotSupported, "The driver does not support this message"},
    {error::kKindNotRead, "This build does not read these kinds of barcode"},
    {error::kInvalidArgument, "Invalid argument"},
    {error::kNoErrorText, "No text is known for this error"},
    {error::kBufferTooSmall, "The text does not fit the buffer"},
    {error::kLineTooLong, "An image line is too long for a run list"},
    {error::kNoPipe, "No pipe can convert between these formats"},
    {error::kNoOutput, "The driver has nowhere to send its page"},
    {error::kBadImage, "The page's data cannot be read or converted as asked"},
    {error::kRationalWithoutDenominator, "Rational value without a denominator"},
    {error::kPageImageUnreadable, "The page image cannot be read"},
    {error::kNoMemory, "Out of memory"},
    {error::kSettingMissing, "A setting is missing from the saved settings"},
    {error::kAborted, "The operation was aborted by the application"},
    {error::kFileNotFound, "The file was not found"},
    {error::kFileNotCreated, "The file could not be created"},
    {error::kFileWriteFailed, "The file could not be written"},
    {error::kInvalidFileHandle, "Invalid file handle"},
    {error::kFileSeekFailed, "The file position could not be set"},
    {error::kTooManyFiles, "Too many open files"},
    {error::kProfileKeyMissing, "The key is not in the profile"},
    {error::kStringNotFound, "The string is not in the string table"},
    {error::kDeviceNotOpened, "The scanner device could not be opened"},
    {error::kPaperJam, "The document feeder is jammed"},
    {error::kCoverOpen, "The scanner cover is open"},
    {error::kDeviceIoError, "The scanner could not be reached (input/output error)"},
    {error::kDeviceNoMemory, "The scanner ran out of memory"},
    {error::kDeviceBusy, "The scanner is busy"},
    {error::kAccessDenied, "Access to the scanner was denied"},
    {error::kCancelledAtDevice, "The scan was cancelled at the scanner"},
    {error::kDeviceFailure, "The scanner reported an error"},
    {error::kSamplesNotSupported, "The scanner delivers 16-bit samples, which are not supported"},
    {error::kOptionRefused, "The scanner refused an option of its profile section"},
    {error::kPageEndedEarly, "The scanner ended the page before all its lines came"},
    {error::kDoubleFeed, "The document feeder took two sheets at once"},
});

class DetailRegistry {
 public:
  static DetailRegistry& Instance() {
    static auto* registry = new DetailRegistry;  // never destroyed, as the driver table
    return *registry;
  }

  void Set(QelMessageEntry entry, std::uint16_t detail, std::string text) {
    std::lock_guard lock(mutex_);
    texts_.insert_or_assign(Key{Address(entry), detail}, std::move(text));
  }

  void Clear(QelMessageEntry entry) {
    std::lock_guard lock(mutex_);
    const auto driver = Address(entry);
    std::erase_if(texts_, [driver](const auto& item) { return item.first.first == driver; });
  }

  std::optional<std::string> Find(QelMessageEntry entry, std::uint16_t detail) {
    std::lock_guard lock(mutex_);
    const auto found = texts_.find(Key{Address(entry), detail});
    if (found == texts_.end()) return std::nullopt;
    return found->second;
  }

 private:
  using Key = std::pair<std::uintptr_t, std::uint16_t>;
  static std::uintptr_t Address(QelMessageEntry entry) {
    return reinterpret_cast<std::uintptr_t>(entry);
  }

  std::mutex mutex_;
  std::map<Key, std::string> texts_;
};

class SubjectRegistry {
 public:
  static SubjectRegistry& Instance() {
    static auto* registry = new SubjectRegistry;  // never destroyed, as the driver table
    return *registry;
  }
  void Set(std::int16_t number, std::string subject) {
    std::lock_guard lock(mutex_);
    subjects_.insert_or_assign(number, std::move(subject));
  }
  std::optional<std::string> Find(std::int16_t number) {
    std::lock_guard lock(mutex_);
    const auto found = subjects_.find(number);
    if (found == subjects_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::mutex mutex_;
  std::map<std::int16_t, std::string> subjects_;
};

std::optional<std::string> TextFor(const DriverRecord* context, std::int32_t value) {
  if (context != nullptr && HighWordOf(value) == kDetailRequestWord) {
    return DriverDetailTexts::Find(context->pfnEntry, LowWordOf(value));
  }
  const std::int16_t number = ErrorNumberOf(value);
  const auto text = FrameworkErrorText(number);
  if (!text) return std::nullopt;
  if (const auto subject = SubjectRegistry::Instance().Find(number)) {
    return std::string(*text) + ": " + *subject;
  }
  return std::string(*text);
}

}  // namespace

std::optional<std::string_view> FrameworkErrorText(std::int16_t number) {
  const auto found = std::ranges::find(kErrorTexts, number, &ErrorEntry::number);
  if (found == kErrorTexts.end()) return std::nullopt;
  return found->text;
}

void SetErrorSubject(std::int16_t number, std::string subject) {
  SubjectRegistry::Instance().Set(number, std::move(subject));
}

void DriverDetailTexts::Set(QelMessageEntry entry, std::uint16_t detail, std::string text) {
  DetailRegistry::Instance().Set(entry, detail, std::move(text));
}

void DriverDetailTexts::Clear(QelMessageEntry entry) {
  DetailRegistry::Instance().Clear(entry);
}

std::optional<std::string> DriverDetailTexts::Find(QelMessageEntry entry, std::uint16_t detail) {
  return DetailRegistry::Instance().Find(entry, detail);
}

}  // namespace sim

extern "C" std::int32_t QelErrorText(std::int32_t /*reserved*/, const DriverRecord* context,
                                     std::int32_t value, char* buffer, std::int32_t bufferSize) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::ErrorText); failure < 0) return failure;
    if (buffer == nullptr || bufferSize <= 0) return error::kInvalidArgument;
    const auto text = TextFor(context, value);
    if (!text) return error::kNoErrorText;
    return CopyCut(*text, buffer, bufferSize);
  });
}
