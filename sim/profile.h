// The framework profile: an ini file at $ZAFT_PROFILE, else zaft.ini beside the stand-in.
#pragma once

#include <filesystem>

namespace sim {

// Where the profile is read from now; the variable is looked at on every call.
std::filesystem::path ProfilePath();

}  // namespace sim
