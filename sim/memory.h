// The framework's memory blocks (QelAlloc, QelFree).
#pragma once

#include <cstddef>

namespace sim {

// Blocks allocated and not yet freed: a test's way to find a block the library never freed.
std::size_t LiveBlockCount();

}  // namespace sim
