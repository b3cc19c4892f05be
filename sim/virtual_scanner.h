// What a test can do to a loaded virtual scanner.
#pragma once

#include <cstdint>
#include <string_view>

namespace sim {

// Puts that many pages in the feeder of the virtual scanner loaded last under the name, in
// place of those waiting. False when no virtual scanner of that name is loaded.
bool SetFeederPages(std::string_view name, std::uint32_t pages);

}  // namespace sim
