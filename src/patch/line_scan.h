// Walking the runs of one line of a run list, forwards (rows) or backwards (columns).
#pragma once

#include <cstdint>

#include "patch/patch_classifier.h"

namespace patch {

// Runs a scan may examine: n = (length in bytes) / 2 - 4.
inline std::int32_t RunCount(const std::uint16_t* runs) {
  return runs[0] / 2 - 4;
}

// Visits runs from the line's start, alternately looking for a bar and a gap, beginning
// with a bar. onEdge(position, isBar) is called for each accepted edge (a run's start);
// a nonzero answer ends the scan with it. 0 when the line ends.
template <typename OnEdge>
std::int32_t ScanForward(const std::uint16_t* runs, const LineLimits& limits, OnEdge&& onEdge) {
  const std::int32_t n = RunCount(runs);
  bool lookingForBar = true;
  for (std::int32_t i = 0; i < n;) {
    const bool isBar = i % 2 == 0;  // a run from an odd word to the next is a bar
    if (isBar != lookingForBar) {
      ++i;
      continue;
    }
    const std::uint32_t start = runs[i + 1];
    const std::uint32_t end = runs[i + 2];
    if (end - start <= limits.minimumRun) {
      ++i;
      continue;
    }
    if (start < static_cast<std::uint32_t>(limits.margin)) {
      i += 2;
      continue;
    }
    if (const std::int32_t result = onEdge(static_cast<std::int32_t>(start), isBar)) {
      return result;
    }
    lookingForBar = !lookingForBar;
    ++i;
  }
  return 0;
}

// Visits runs from the line's end towards its start in the same way; the edges are the runs'
// ends. Runs near the line's end are the margin here. 0 when the line ends.
template <typename OnEdge>
std::int32_t ScanBackward(const std::uint16_t* runs, const LineLimits& limits, OnEdge&& onEdge) {
  const std::int32_t n = RunCount(runs);
  const std::int32_t first = n % 2 != 0 ? n - 2 : n - 1;
  if (first <= 0) return 0;
  const auto marginStart = static_cast<std::uint32_t>(runs[n + 1] - limits.margin);
  bool lookingForBar = true;
  for (std::int32_t j = first; j >= 1;) {
    const bool isBar = j % 2 != 0;
    if (isBar != lookingForBar) {
      --j;
      continue;
    }
    const std::uint32_t start = runs[j];
    const std::uint32_t end = runs[j + 1];
    if (end - start <= limits.minimumRun) {
      --j;
      continue;
    }
    if (end > marginStart) {
      j -= 2;
      continue;
    }
    if (const std::int32_t result = onEdge(static_cast<std::int32_t>(end), isBar)) {
      return result;
    }
    lookingForBar = !lookingForBar;
    --j;
  }
  return 0;
}

}  // namespace patch
