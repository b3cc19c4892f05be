// What a test can do to a loaded virtual scanner.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace sim {

// Puts that many pages in the feeder of the virtual scanner loaded last under the name, in
// place of those waiting. False when no virtual scanner of that name is loaded.
bool SetFeederPages(std::string_view name, std::uint32_t pages);

// Lets the images of the scanner's folder wait `rounds` more times, for long batches.
bool RepeatFeeder(std::string_view name, std::uint32_t rounds);

// The rows of the page the virtual scanner loaded last under the name delivered last, as it
// rendered them before any compression; empty before its first page. None when no virtual
// scanner of that name is loaded.
std::optional<std::vector<std::uint8_t>> LastScannedPage(std::string_view name);

}  // namespace sim
