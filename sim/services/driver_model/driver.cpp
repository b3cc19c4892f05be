#include "sim/services/driver_model/driver.h"

#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "framework/messages.h"
#include "sim/services/faults/errors.h"
#include "sim/services/text/text_copy.h"

namespace sim {
namespace {

template <class T>
void Deliver(const T& value, void* pointer, std::uint16_t textSize) {
  if constexpr (std::is_same_v<T, std::string>) {
    CopyCut(value, static_cast<char*>(pointer), textSize);
  } else {
    std::memcpy(pointer, &value, sizeof value);
  }
}

// The value a set message carries; none for a text past the limit.
template <class T>
std::optional<T> Incoming(const void* pointer) {
  if constexpr (std::is_same_v<T, std::string>) {
    const auto* text = static_cast<const char*>(pointer);
    const auto length = strnlen(text, kMaxTextValue + 1);
    if (length > kMaxTextValue) return std::nullopt;
    return std::string(text, length);
  } else {
    T value;
    std::memcpy(&value, pointer, sizeof value);
    return value;
  }
}

}  // namespace

std::int32_t Driver::Message(std::uint32_t code, std::int32_t argument, void* pointer) {
  return Default(code, argument, pointer);
}

std::int32_t Driver::Init(std::uintptr_t /*setup*/) {
  return 0;
}

std::int32_t Driver::RunPage(Stage& /*out*/) {
  return error::kMessageNotSupported;
}

std::int32_t Driver::Default(std::uint32_t code, std::int32_t argument, void* pointer) {
  const std::uint16_t number = TagOfArg(argument);
  const std::uint16_t high = HighOfArg(argument);
  switch (code) {
    case QelDrvDeclareTag:
      return DeclareTag(high, number);
    case QelDrvGetTag:
      return Get<std::int32_t>(number, high, pointer);
    case QelDrvGetRationalTag:
      return Get<QelRational>(number, high, pointer);
    case QelDrvGetStringTag:
      return Get<std::string>(number, high, pointer);
    case QelDrvSetStringTag:
      return Set<std::string>(number, pointer);
    case QelDrvSetTag:
      if (number == kTagAbortPoll) {
        // Not a value: the callback itself travels in the pointer.
        abortPoll_ = reinterpret_cast<QelAbortPoll>(pointer);
        return 0;
      }
      return Set<std::int32_t>(number, pointer);
    case QelDrvSetRationalTag:
      return Set<QelRational>(number, pointer);
    case QelDrvGetTagType:
      return TypeOf(number, pointer);
    case QelDrvSaveSettings:
      return Save(pointer);
    case QelDrvRestoreSettings:
      return Restore(pointer);
    case QelDrvGetChoiceCount:
      return ChoiceCount(number, pointer);
    case QelDrvShowDialog:
      // The owner travels whole in the pointer: a window handle of the x64 edition does not
      // fit the 32-bit argument.
      return ShowDialog(static_cast<platform::Window*>(pointer));
    case QelDrvGetChoice:
      return Choice<std::int32_t>(number, high, pointer);
    case QelDrvGetRationalChoice:
      return Choice<QelRational>(number, high, pointer);
    case QelDrvGetStringChoice:
      return Choice<std::string>(number, high, pointer);
    case QelDrvSetOutput:
    case QelDrvSetFilterOutput:
      output_ = OutputFrom(pointer);
      return 0;
    // The page protocol: the default handling takes each message; the tags a page brings
    // are kept by the set messages above.
    case QelDrvSetupTags:
    case QelDrvEzone:
    case QelDrvStartPage:
    case QelDrvData:
    case QelDrvBarcodeFound:
      return 0;
    default:
      return error::kMessageNotSupported;
  }
}

std::optional<PageDots> Driver::PageSize(std::string_view /*name*/) const {
  return std::nullopt;
}

std::int32_t Driver::ShowDialog(platform::Window* /*owner*/) {
  return error::kMessageNotSupported;
}

void Driver::Changed(const Tag& tag, const TagValue& /*before*/) {
  if (tag.number != kTagPageSize) return;
  const auto* name = std::get_if<std::string>(&tag.value);
  if (name == nullptr) return;
  if (const auto page = PageSize(*name)) {
    AssignNumber(kTagImageWidth, page->width);
    AssignNumber(kTagImageLength, page->length);
  }
}

void Driver::Assign(Tag& tag, TagValue value) {
  TagValue before = std::exchange(tag.value, std::move(value));
  Changed(tag, before);
}

void Driver::AssignNumber(std::uint16_t number, std::int32_t value) {
  Tag* tag = tags_.Find(number);
  if (tag != nullptr && std::holds_alternative<std::int32_t>(tag->value)) Assign(*tag, value);
}

std::int32_t Driver::TakeParams(const void* pointer) {
  if (pointer == nullptr) {
    ++received_.sends;
    received_.sentTags = tags_;
  } else {
    const auto* text = static_cast<const char*>(pointer);
    received_.imprinterText.emplace(text, strnlen(text, kMaxImprinterText));
  }
  return 0;
}

template <class T>
std::int32_t Driver::Typed(std::uint16_t number, void* pointer, Tag*& tag) {
  tag = tags_.Find(number);
  if (tag == nullptr) return error::kTagNotSupported;
  if (!std::holds_alternative<T>(tag->value)) return error::kWrongTagType;
  if (pointer == nullptr) return error::kInvalidArgument;
  return 0;
}

template <class T>
std::int32_t Driver::Get(std::uint16_t number, std::uint16_t textSize, void* pointer) {
  Tag* tag = nullptr;
  if (const auto failure = Typed<T>(number, pointer, tag); failure < 0) return failure;
  // A text get carries its buffer's size; there is no room even for the end of an empty one.
  if (std::is_same_v<T, std::string> && textSize == 0) return error::kInvalidArgument;
  Deliver(std::get<T>(tag->value), pointer, textSize);
  return 0;
}

template <class T>
std::int32_t Driver::Set(std::uint16_t number, void* pointer) {
  Tag* tag = nullptr;
  if (const auto failure = Typed<T>(number, pointer, tag); failure < 0) return failure;
  auto value = Incoming<T>(pointer);
  if (!value) return error::kInvalidArgument;
  // The library checks a value against the choices itself; the driver takes what it is given.
  Assign(*tag, std::move(*value));
  return 0;
}

template <class T>
std::int32_t Driver::Choice(std::uint16_t number, std::uint16_t index, void* pointer) {
  Tag* tag = nullptr;
  if (const auto failure = Typed<T>(number, pointer, tag); failure < 0) return failure;
  if constexpr (std::is_same_v<T, std::int32_t>) {
    if (index == kChoiceMaximum || index == kChoiceStep) {
      const auto& limit = index == kChoiceMaximum ? tag->maximum : tag->step;
      if (!limit) return error::kNoSuchChoice;
      Deliver(*limit, pointer, 0);
      return 0;
    }
  }
  if (tag->choices.empty()) return error::kNoChoices;
  if (index >= tag->choices.size()) return error::kNoSuchChoice;
  Deliver(std::get<T>(tag->choices[index]), pointer, kStringChoiceSize);
  return 0;
}

std::int32_t Driver::DeclareTag(std::uint16_t type, std::uint16_t number) {
  if (type < static_cast<std::uint16_t>(TiffType::Byte) ||
      type > static_cast<std::uint16_t>(TiffType::Rational)) {
    return error::kInvalidArgument;
  }
  tags_.Declare(number, static_cast<TiffType>(type));
  return 0;
}

std::int32_t Driver::TypeOf(std::uint16_t number, void* pointer) {
  const Tag* tag = tags_.Find(number);
  if (tag == nullptr) return error::kTagNotSupported;
  if (pointer == nullptr) return error::kInvalidArgument;
  Deliver(static_cast<std::int32_t>(tag->type), pointer, 0);
  return 0;
}

std::int32_t Driver::ChoiceCount(std::uint16_t number, void* pointer) {
  const Tag* tag = tags_.Find(number);
  if (tag == nullptr) return error::kTagNotSupported;
  if (tag->choices.empty()) return error::kNoChoices;
  if (pointer == nullptr) return error::kInvalidArgument;
  Deliver(static_cast<std::int32_t>(tag->choices.size()), pointer, 0);
  return 0;
}

// The callbacks may send messages back to this driver, so each tag is looked up afresh and
// nothing of the table is held across a call.
std::int32_t Driver::Save(const void* pointer) {
  const auto* args = static_cast<const QelSaveSettingsArgs*>(pointer);
  if (args == nullptr || args->pfnSave == nullptr) return error::kInvalidArgument;
  for (std::size_t i = 0; i < tags_.InOrder().size(); ++i) {
    const Tag& tag = tags_.InOrder()[i];
    if (tag.setting.empty()) continue;
    const std::string name = tag.setting;
    const std::string text = ValueText(tag.value);
    // A refusal (no room) ends the list: what was saved so far stays.
    const auto answer = args->pfnSave(0, name.c_str(), text.c_str(), args->pRecord);
    if (answer < 0) return answer;
  }
  return 0;
}

std::int32_t Driver::Restore(const void* pointer) {
  const auto* args = static_cast<const QelRestoreSettingsArgs*>(pointer);
  if (args == nullptr || args->pfnRestore == nullptr) return error::kInvalidArgument;
  for (std::size_t i = 0; i < tags_.InOrder().size(); ++i) {
    const Tag& tag = tags_.InOrder()[i];
    if (tag.setting.empty()) continue;
    const std::uint16_t number = tag.number;
    const TiffType type = tag.type;
    const std::string name = tag.setting;
    // The default must fit the buffer, since a missing setting comes back as the default.
    const std::string current = ValueText(tag.value).substr(0, kRestoreBufferSize - 1);
    char buffer[kRestoreBufferSize] = {};
    const auto answer = args->pfnRestore(0, name.c_str(), current.c_str(), buffer,
                                         kRestoreBufferSize, args->pRecord);
    if (answer < 0) return answer;
    buffer[kRestoreBufferSize - 1] = '\0';
    const std::string_view text(buffer);
    // An unchanged value is not set again, so linked tags keep what they hold.
    if (text == current) continue;
    const auto value = ParseValue(type, text);
    Tag* target = tags_.Find(number);
    if (value && target != nullptr && target->type == type) Assign(*target, *value);
  }
  return 0;
}

}  // namespace sim
