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

// "1, 8, 24"; "none" for an empty list.
template <typename Number>
std::string ListText(const std::vector<Number>& numbers) {
  std::string text;
  for (const Number number : numbers) text += (text.empty() ? "" : ", ") + std::to_string(number);
  return text.empty() ? "none" : text;
}

}  // namespace kovscan
