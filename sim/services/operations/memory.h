// The framework's memory blocks (QelAlloc, QelFree).
#pragma once

#include <cstddef>

namespace sim {

// Blocks allocated and not yet freed: a test's way to find a block the library never freed.
std::size_t LiveBlockCount();

// Sets whether freed blocks are kept for the next allocation of their size (on by default,
// off under AddressSanitizer); when off, every block comes from and goes back to the C heap,
// for measuring what keeping them saves.
void KeepFreedBlocks(bool keep);

}  // namespace sim
