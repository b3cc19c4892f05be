// What the scanner offers, found as any host can: the exported calls list no choices, so each
// common value is tried on a copy of the record and kept when the scanner takes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kovzaft2.h"

namespace kovscan {

std::vector<std::uint32_t> OfferedResolutions(const ParmRecord& record);
std::vector<std::uint16_t> OfferedDepths(const ParmRecord& record);
// Host compression codes the scanner's pages can be given at the record's depth: the COMP
// setter refuses one that cannot be made.
std::vector<std::uint16_t> OfferedCompressions(const ParmRecord& record);
// The scan types (2 flatbed, 3 one side through the feeder, 4 duplex) the scanner takes in the
// record's "ScanType" setting; none when the record has no such setting.
std::vector<std::int32_t> OfferedScanTypes(const ParmRecord& record);
// "flatbed", "feeder, one side" or "duplex".
std::string ScanTypeName(std::int32_t type);

// "1, 8, 24" (each value as the format gives it); "none" for an empty list.
template <typename Value, typename Format>
std::string ListText(const std::vector<Value>& values, Format format) {
  std::string text;
  for (const Value value : values) text += (text.empty() ? "" : ", ") + format(value);
  return text.empty() ? "none" : text;
}
template <typename Number>
std::string ListText(const std::vector<Number>& numbers) {
  return ListText(numbers, [](Number number) { return std::to_string(number); });
}

}  // namespace kovscan
