// Patch codes: four parallel bars, each narrow or wide, on document-separator sheets.
#pragma once

#include <cstdint>

#include "framework/qel.h"

// Results the page pipeline acts on (bar 1 is bit 3, 1 = wide).
inline constexpr std::int32_t kPatchII = 9;    // W N N W
inline constexpr std::int32_t kPatchIII = 10;  // W N W N
inline constexpr std::int32_t kPatchT = 5;     // N W N W

// The code of the first confirmed pattern on the page's bitonal image (4 to 11), 0 when
// none, -4500 when the line table cannot be had.
std::int32_t DetectPatchCode(QelMemImage image);

// One line, as a run list: word 0 its length in bytes, then the run boundaries (the first
// the start of a bar), the end of the line and two words not read.
// r: the resolution along the line in dots per inch.
std::int32_t ClassifyPatchRow(const std::uint16_t* runs, std::int32_t r, std::int32_t& hints);
std::int32_t ClassifyPatchColumn(const std::uint16_t* runs, std::int32_t r);
// Whether the line holds a bar wider than a wide element: the probe for a turned page.
bool HasWideBar(const std::uint16_t* runs, std::int32_t r);
