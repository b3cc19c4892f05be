#include "sim/drivers/twain_containers.h"

#include <cmath>
#include <cstring>

namespace sim {
namespace twain {

double ToDouble(Fix32 value) {
  return value.whole + value.frac / 65536.0;
}

Fix32 ToFix32(double value) {
  const auto scaled = static_cast<std::int32_t>(std::lround(value * 65536.0));
  return {static_cast<std::int16_t>(scaled >> 16), static_cast<std::uint16_t>(scaled & 0xFFFF)};
}

}  // namespace twain

namespace {

// Bytes of one item of a container's type; 0 for types the driver does not read.
std::size_t ItemBytes(std::uint16_t itemType) {
  switch (itemType) {
    case twain::kTyInt8:
    case twain::kTyUInt8:
      return 1;
    case twain::kTyInt16:
    case twain::kTyUInt16:
    case twain::kTyBool:
      return 2;
    case twain::kTyInt32:
    case twain::kTyUInt32:
    case twain::kTyFix32:
      return 4;
    default:
      return 0;
  }
}

// The head of a container, when the container holds one.
template <class Head>
std::optional<Head> HeadOf(const std::uint8_t* bytes, std::size_t size) {
  if (size < sizeof(Head)) return std::nullopt;
  Head head{};
  std::memcpy(&head, bytes, sizeof head);
  return head;
}

// Reads the `count` items of a list after its head into values.allowed; false when they are of
// a type the driver does not read or do not fit the container.
bool ReadItems(const std::uint8_t* bytes, std::size_t size, std::size_t headBytes,
               std::uint16_t itemType, std::uint32_t count, CapabilityValues& values) {
  const std::size_t itemBytes = ItemBytes(itemType);
  if (itemBytes == 0 || count > (size - headBytes) / itemBytes) return false;
  values.itemType = itemType;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t item = 0;
    std::memcpy(&item, bytes + headBytes + i * itemBytes, itemBytes);
    values.allowed.push_back(item);
  }
  return true;
}

}  // namespace

std::optional<CapabilityValues> ReadContainer(std::uint16_t type, const void* container,
                                              std::size_t size) {
  CapabilityValues values;
  const auto* bytes = static_cast<const std::uint8_t*>(container);
  switch (type) {
    case twain::kOnOneValue: {
      const auto one = HeadOf<twain::OneValue>(bytes, size);
      if (!one || ItemBytes(one->itemType) == 0) return std::nullopt;
      values.itemType = one->itemType;
      values.current = one->item;
      return values;
    }
    case twain::kOnRange: {
      const auto range = HeadOf<twain::Range>(bytes, size);
      if (!range || ItemBytes(range->itemType) == 0) return std::nullopt;
      values.itemType = range->itemType;
      values.current = range->currentValue;
      values.range = range;
      return values;
    }
    case twain::kOnEnumeration: {
      const auto head = HeadOf<twain::EnumerationHead>(bytes, size);
      if (!head || head->currentIndex >= head->numItems ||
          !ReadItems(bytes, size, sizeof *head, head->itemType, head->numItems, values)) {
        return std::nullopt;
      }
      values.current = values.allowed[head->currentIndex];
      return values;
    }
    case twain::kOnArray: {
      const auto head = HeadOf<twain::ArrayHead>(bytes, size);
      if (!head || !ReadItems(bytes, size, sizeof *head, head->itemType, head->numItems, values)) {
        return std::nullopt;
      }
      return values;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace sim
