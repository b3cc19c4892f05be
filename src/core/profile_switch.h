// The library's switches in section "KOVZAFT" of the framework profile.
#pragma once

#include <cstddef>

inline constexpr std::size_t kSwitchBufferSize = 128;

// True when the key exists and its value is exactly `expected` (a leading blank counts).
bool ProfileSwitchEquals(const char* key, const char* expected,
                         std::size_t bufferSize = kSwitchBufferSize);
