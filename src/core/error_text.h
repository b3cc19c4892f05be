// Framework failures are not mapped onto fixed codes: their text is built from the
// framework's own error texts, stored, and reported as RC_SCAN_ZAFT_ERROR.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/records.h"

inline constexpr std::size_t kErrorTextSize = 256;

// The last framework error text; it survives SCANFREE and SCANINIT.
extern char szErrorText[kErrorTextSize];

// context: the scanner driver when the failure concerned it, else null.
std::uint16_t FrameworkErrorToText(const DriverRecord* context, std::int32_t value);
