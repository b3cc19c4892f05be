// The saved-settings callbacks drivers call to write and read a record's settings text.
#pragma once

#include <string_view>

#include "parms/settings_text.h"

// The older format holds names of at most 18 characters: a longer name keeps its first 15
// and gets three hexadecimal digits of the sum of the rest. Returns the name to look up,
// held in `room` when it had to be shortened.
std::string_view ShortenOldName(std::string_view name, char (&room)[kOldNameSize]);
