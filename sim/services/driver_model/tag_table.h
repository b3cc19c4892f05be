// A driver's typed tags: each with its field type, current value, allowed values and the
// name it is saved under, kept in the order they were declared.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "framework/tags.h"

namespace sim {

// BYTE, SHORT and LONG hold the int, RATIONAL the rational, ASCII the text.
using TagValue = std::variant<std::int32_t, QelRational, std::string>;

struct Tag {
  std::uint16_t number = 0;
  TiffType type = TiffType::Short;
  TagValue value;
  std::vector<TagValue> choices;  // empty: the tag has no list of choices
  std::optional<std::int32_t> maximum;
  std::optional<std::int32_t> step;
  std::string setting;  // empty: not among the driver's saved settings
};

// The value a freshly declared tag of the type holds: 0, 0/1 or the empty text.
TagValue ZeroValue(TiffType type);

// A whole text that is one decimal number, a leading '-' allowed.
std::optional<std::int32_t> ParseNumber(std::string_view text);

// The value as saved-settings text: "%d", "%d/%d" or the text itself.
std::string ValueText(const TagValue& value);

// The value of that type a settings text stands for; none when the text is not one.
std::optional<TagValue> ParseValue(TiffType type, std::string_view text);

class TagTable {
 public:
  // A new tag holds the zero value of its type. Declaring a tag again with the same type keeps
  // it as it is; with another type it starts afresh.
  Tag& Declare(std::uint16_t number, TiffType type);
  // Declares a tag with its value, choices and setting name, replacing one of the same
  // number; the caller may add limits to the tag returned.
  Tag& Define(std::uint16_t number, TiffType type, TagValue value,
              std::vector<TagValue> choices = {}, std::string setting = {});

  // Forgets the tag, when there is one of that number.
  void Remove(std::uint16_t number);

  Tag* Find(std::uint16_t number);
  const Tag* Find(std::uint16_t number) const;

  const std::vector<Tag>& InOrder() const { return tags_; }

 private:
  std::vector<Tag> tags_;
};

}  // namespace sim
