// Open files of the framework's file operations, by handle.
#pragma once

#include <cstddef>

namespace sim {

// Handles are the lowest free slots from 0 up; at most this many files are open at once.
inline constexpr std::size_t kMaxOpenFiles = 64;

// Files currently open through the framework.
std::size_t OpenFileCount();

}  // namespace sim
