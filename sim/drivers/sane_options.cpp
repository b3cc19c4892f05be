#include "sim/drivers/sane_options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace sim {
namespace {

bool IsNumeric(const SANE_Option_Descriptor& descriptor) {
  return descriptor.type == SANE_TYPE_INT || descriptor.type == SANE_TYPE_FIXED;
}

double FromWord(const SANE_Option_Descriptor& descriptor, SANE_Word word) {
  return descriptor.type == SANE_TYPE_FIXED ? SANE_UNFIX(word) : static_cast<double>(word);
}

// To the nearest fixed-point value (SANE_FIX cuts, so 51.477333 mm would lose a dot), as
// scanimage reads a value.
SANE_Word ToWord(const SANE_Option_Descriptor& descriptor, double value) {
  const double scaled =
      descriptor.type == SANE_TYPE_FIXED ? value * (1 << SANE_FIXED_SCALE_SHIFT) : value;
  return static_cast<SANE_Word>(std::lround(scaled));
}

// The words an option's value takes: one for a single value, more for an array.
std::size_t WordCount(const SANE_Option_Descriptor& descriptor) {
  return std::max<std::size_t>(1, static_cast<std::size_t>(descriptor.size) / sizeof(SANE_Word));
}

}  // namespace

SaneOptions::SaneOptions(SANE_Handle handle) : handle_(handle) {
  Reload();
}

void SaneOptions::Reload() {
  byName_.clear();
  SANE_Int count = 0;
  if (sane_control_option(handle_, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) {
    return;
  }
  for (SANE_Int option = 1; option < count; ++option) {
    const SANE_Option_Descriptor* descriptor = sane_get_option_descriptor(handle_, option);
    if (descriptor == nullptr || descriptor->name == nullptr || descriptor->name[0] == '\0') {
      continue;
    }
    if (!SANE_OPTION_IS_ACTIVE(descriptor->cap)) continue;
    byName_.emplace(descriptor->name, option);  // the first of a name wins
  }
}

std::optional<SANE_Int> SaneOptions::Find(std::string_view name) const {
  const auto found = byName_.find(name);
  if (found == byName_.end()) return std::nullopt;
  return found->second;
}

const SANE_Option_Descriptor& SaneOptions::Descriptor(SANE_Int option) const {
  return *sane_get_option_descriptor(handle_, option);
}

std::optional<double> SaneOptions::Number(SANE_Int option) const {
  const SANE_Option_Descriptor& descriptor = Descriptor(option);
  if (!IsNumeric(descriptor)) return std::nullopt;
  std::vector<SANE_Word> words(WordCount(descriptor));
  if (sane_control_option(handle_, option, SANE_ACTION_GET_VALUE, words.data(), nullptr) !=
      SANE_STATUS_GOOD) {
    return std::nullopt;
  }
  return FromWord(descriptor, words.front());
}

std::optional<std::string> SaneOptions::Text(SANE_Int option) const {
  const SANE_Option_Descriptor& descriptor = Descriptor(option);
  if (descriptor.type != SANE_TYPE_STRING || descriptor.size <= 0) return std::nullopt;
  std::vector<char> text(static_cast<std::size_t>(descriptor.size) + 1, '\0');
  if (sane_control_option(handle_, option, SANE_ACTION_GET_VALUE, text.data(), nullptr) !=
      SANE_STATUS_GOOD) {
    return std::nullopt;
  }
  return std::string(text.data());
}

std::vector<double> SaneOptions::Numbers(SANE_Int option) const {
  const SANE_Option_Descriptor& descriptor = Descriptor(option);
  std::vector<double> numbers;
  if (descriptor.constraint_type != SANE_CONSTRAINT_WORD_LIST || !IsNumeric(descriptor)) {
    return numbers;
  }
  const SANE_Word* list = descriptor.constraint.word_list;
  for (SANE_Word i = 1; i <= list[0]; ++i) numbers.push_back(FromWord(descriptor, list[i]));
  return numbers;
}

std::optional<SaneRange> SaneOptions::Range(SANE_Int option) const {
  const SANE_Option_Descriptor& descriptor = Descriptor(option);
  if (descriptor.constraint_type != SANE_CONSTRAINT_RANGE || !IsNumeric(descriptor)) {
    return std::nullopt;
  }
  const SANE_Range& range = *descriptor.constraint.range;
  return SaneRange{FromWord(descriptor, range.min), FromWord(descriptor, range.max),
                   FromWord(descriptor, range.quant)};
}

double SaneOptions::OnStep(SANE_Int option, double value, Toward toward) const {
  const auto range = Range(option);
  if (!range || range->quant <= 0) return value;
  // A value a hair off its step (millimetres from dots) counts as on it.
  constexpr double kTolerance = 1e-6;
  const double steps = (value - range->minimum) / range->quant;
  const double whole =
      toward == Toward::Up ? std::ceil(steps - kTolerance) : std::floor(steps + kTolerance);
  return std::clamp(range->minimum + whole * range->quant, range->minimum, range->maximum);
}

std::vector<std::string> SaneOptions::Texts(SANE_Int option) const {
  const SANE_Option_Descriptor& descriptor = Descriptor(option);
  std::vector<std::string> texts;
  if (descriptor.constraint_type != SANE_CONSTRAINT_STRING_LIST) return texts;
  for (const SANE_String_Const* text = descriptor.constraint.string_list; *text != nullptr;
       ++text) {
    texts.emplace_back(*text);
  }
  return texts;
}

SANE_Status SaneOptions::Set(SANE_Int option, void* value) {
  SANE_Int info = 0;
  const SANE_Status status =
      sane_control_option(handle_, option, SANE_ACTION_SET_VALUE, value, &info);
  if (status == SANE_STATUS_GOOD && (info & SANE_INFO_RELOAD_OPTIONS) != 0) Reload();
  return status;
}

SANE_Status SaneOptions::SetNumber(SANE_Int option, double value) {
  const SANE_Option_Descriptor& descriptor = Descriptor(option);
  if (!IsNumeric(descriptor)) return SANE_STATUS_INVAL;
  // Every element of an array takes the value.
  std::vector<SANE_Word> words(WordCount(descriptor), ToWord(descriptor, value));
  return Set(option, words.data());
}

SANE_Status SaneOptions::SetText(SANE_Int option, const std::string& value) {
  const SANE_Option_Descriptor& descriptor = Descriptor(option);
  if (descriptor.type != SANE_TYPE_STRING ||
      value.size() >= static_cast<std::size_t>(std::max(descriptor.size, 0))) {
    return SANE_STATUS_INVAL;
  }
  std::vector<char> text(static_cast<std::size_t>(descriptor.size), '\0');
  value.copy(text.data(), value.size());
  return Set(option, text.data());
}

SANE_Status SaneOptions::SetFromText(SANE_Int option, std::string_view text) {
  const SANE_Option_Descriptor& descriptor = Descriptor(option);
  const std::string value(text);
  switch (descriptor.type) {
    case SANE_TYPE_BOOL: {
      SANE_Bool flag = SANE_FALSE;
      if (value == "yes" || value == "1" || value == "true") {
        flag = SANE_TRUE;
      } else if (value != "no" && value != "0" && value != "false") {
        return SANE_STATUS_INVAL;
      }
      return Set(option, &flag);
    }
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED: {
      char* end = nullptr;
      const double number = std::strtod(value.c_str(), &end);
      if (value.empty() || end == nullptr || *end != '\0') return SANE_STATUS_INVAL;
      return SetNumber(option, number);
    }
    case SANE_TYPE_STRING:
      return SetText(option, value);
    default:
      return SANE_STATUS_INVAL;
  }
}

}  // namespace sim
