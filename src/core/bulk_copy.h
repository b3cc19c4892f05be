// Copies of page data too large for the processor's caches.
#pragma once

#include <cstddef>

// Copies `count` bytes that are read much later or on another thread: past the caches where
// the processor can, so that a page of tens of megabytes neither pushes everything else out
// of them nor leaves its reader to fetch each line from the writer's cache. The bytes are in
// memory, ordered before the caller's later stores, when it returns.
void CopyPastCaches(void* to, const void* from, std::size_t count);
