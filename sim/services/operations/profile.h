// The framework profile: an ini file at $ZAFT_PROFILE, else zaft.ini beside the stand-in.
#pragma once

#include <filesystem>
#include <optional>

#include "sim/services/text/ini_text.h"

namespace sim {

// Where the profile is read from now; the variable is looked at on every call.
std::filesystem::path ProfilePath();

// The profile as it is now; none when it cannot be read.
std::optional<IniText> ReadProfile();

}  // namespace sim
