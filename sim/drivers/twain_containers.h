// TWAIN's capability values: the kinds of container and item, the containers' layout (2-byte
// packing) and their reading, within the bytes a source allocated. Nothing here holds a
// pointer, so it reads alike in any build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim::twain {

// Containers of capability values.
inline constexpr std::uint16_t kOnArray = 3;
inline constexpr std::uint16_t kOnEnumeration = 4;
inline constexpr std::uint16_t kOnOneValue = 5;
inline constexpr std::uint16_t kOnRange = 6;

// Item types.
inline constexpr std::uint16_t kTyInt8 = 0;
inline constexpr std::uint16_t kTyInt16 = 1;
inline constexpr std::uint16_t kTyInt32 = 2;
inline constexpr std::uint16_t kTyUInt8 = 3;
inline constexpr std::uint16_t kTyUInt16 = 4;
inline constexpr std::uint16_t kTyUInt32 = 5;
inline constexpr std::uint16_t kTyBool = 6;
inline constexpr std::uint16_t kTyFix32 = 7;

#pragma pack(push, 2)

struct Fix32 {
  std::int16_t whole;
  std::uint16_t frac;
};

struct OneValue {
  std::uint16_t itemType;
  std::uint32_t item;
};

struct Range {
  std::uint16_t itemType;
  std::uint32_t minValue;
  std::uint32_t maxValue;
  std::uint32_t stepSize;
  std::uint32_t defaultValue;
  std::uint32_t currentValue;
};

// Followed by numItems items of the item type.
struct EnumerationHead {
  std::uint16_t itemType;
  std::uint32_t numItems;
  std::uint32_t currentIndex;
  std::uint32_t defaultIndex;
};

// Followed by numItems items of the item type.
struct ArrayHead {
  std::uint16_t itemType;
  std::uint32_t numItems;
};

#pragma pack(pop)

static_assert(sizeof(Fix32) == 4 && offsetof(Fix32, frac) == 2);
static_assert(sizeof(OneValue) == 6 && offsetof(OneValue, item) == 2);
static_assert(sizeof(Range) == 22 && offsetof(Range, minValue) == 2 &&
              offsetof(Range, maxValue) == 6 && offsetof(Range, stepSize) == 10 &&
              offsetof(Range, defaultValue) == 14 && offsetof(Range, currentValue) == 18);
static_assert(sizeof(EnumerationHead) == 14 && offsetof(EnumerationHead, numItems) == 2 &&
              offsetof(EnumerationHead, currentIndex) == 6 &&
              offsetof(EnumerationHead, defaultIndex) == 10);
static_assert(sizeof(ArrayHead) == 6 && offsetof(ArrayHead, numItems) == 2);

// A fixed-point value as a double, and back (rounded to the nearest 1/65536).
double ToDouble(Fix32 value);
Fix32 ToFix32(double value);

}  // namespace sim::twain

namespace sim {

// A capability's values as the source answers a get: the current one, and what it allows (a
// list, or a range).
struct CapabilityValues {
  std::uint16_t itemType = 0;
  std::uint32_t current = 0;           // items of up to four bytes, as they lie in memory
  std::vector<std::uint32_t> allowed;  // a list's items; empty for a single value or range
  std::optional<twain::Range> range;
};

// The values of a container of that kind (TWON_*) in `size` bytes; none for a container the
// driver does not read or that does not fit.
std::optional<CapabilityValues> ReadContainer(std::uint16_t type, const void* container,
                                              std::size_t size);

}  // namespace sim
