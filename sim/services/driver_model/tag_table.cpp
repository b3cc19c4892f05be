#include "sim/services/driver_model/tag_table.h"

#include <algorithm>
#include <charconv>

namespace sim {

std::optional<std::int32_t> ParseNumber(std::string_view text) {
  std::int32_t number = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (failure != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return number;
}

TagValue ZeroValue(TiffType type) {
  switch (type) {
    case TiffType::Rational:
      return QelRational{0, 1};
    case TiffType::Ascii:
      return std::string();
    default:
      return std::int32_t{0};
  }
}

std::string ValueText(const TagValue& value) {
  if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
  if (const auto* rational = std::get_if<QelRational>(&value)) {
    return std::to_string(rational->lNumerator) + "/" + std::to_string(rational->lDenominator);
  }
  return std::get<std::string>(value);
}

std::optional<TagValue> ParseValue(TiffType type, std::string_view text) {
  switch (type) {
    case TiffType::Ascii:
      return std::string(text);
    case TiffType::Rational: {
      const auto slash = text.find('/');
      if (slash == std::string_view::npos) return std::nullopt;
      const auto numerator = ParseNumber(text.substr(0, slash));
      const auto denominator = ParseNumber(text.substr(slash + 1));
      if (!numerator || !denominator) return std::nullopt;
      return QelRational{*numerator, *denominator};
    }
    default:
      if (const auto number = ParseNumber(text)) return *number;
      return std::nullopt;
  }
}

Tag& TagTable::Declare(std::uint16_t number, TiffType type) {
  if (Tag* known = Find(number); known != nullptr && known->type == type) return *known;
  return Define(number, type, ZeroValue(type));
}

Tag& TagTable::Define(std::uint16_t number, TiffType type, TagValue value,
                      std::vector<TagValue> choices, std::string setting) {
  Tag* tag = Find(number);
  if (tag == nullptr) tag = &tags_.emplace_back();
  *tag = Tag{number, type, std::move(value), std::move(choices), {}, {}, std::move(setting)};
  return *tag;
}

void TagTable::Remove(std::uint16_t number) {
  std::erase_if(tags_, [number](const Tag& tag) { return tag.number == number; });
}

Tag* TagTable::Find(std::uint16_t number) {
  const auto found = std::ranges::find(tags_, number, &Tag::number);
  return found == tags_.end() ? nullptr : &*found;
}

const Tag* TagTable::Find(std::uint16_t number) const {
  return const_cast<TagTable*>(this)->Find(number);
}

}  // namespace sim
