// Pages the benchmarks share, each drawn once: run-list and detection figures then come from
// the same pages and can be set side by side.
#pragma once

#include <cstdint>

#include "sim/services/images/bitonal_page.h"

namespace bench {

enum class PageKind {
  Blank,
  Text,          // body text within one-inch margins
  UprightPatch,  // a Patch II sheet, bars running down the page
  TurnedPatch,   // the same sheet turned a quarter
};

// A letter page of that kind at that resolution, drawn on first use.
const sim::BitonalPage& Page(PageKind kind, std::int32_t dpi);

// The resolutions every page benchmark runs at.
inline constexpr std::int32_t kResolutions[] = {200, 300, 600};

}  // namespace bench
