// Numbers on the command line: a value that is not a number is told as such, where CLI11's
// range check would call it out of range.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>

namespace kovscan {

// A whole number from `least` to `most`, which --help shows.
CLI::Validator WholeNumberIn(std::uint64_t least, std::uint64_t most);
// A whole number up to `most`, the largest the option's type holds: --help shows the type.
CLI::Validator WholeNumber(std::uint64_t most);

}  // namespace kovscan
