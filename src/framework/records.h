// Records the framework fills and the library passes back to it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/callconv.h"

// A driver's message entry: (instance, message code, argument, pointer) -> 0 or a negative error.
using QelMessageEntry = std::int32_t(QELCALLBACK*)(void* instance, std::uint32_t code,
                                                   std::int32_t argument, void* pointer);

// 16 bytes as the framework lays it out: word 0 the entry, word 2 the instance. Each slot is
// 8 bytes wide so the layout holds for 32-bit and 64-bit pointers alike.
struct DriverRecord {
  union {
    QelMessageEntry pfnEntry;
    std::uint64_t slot0;
  };
  union {
    void* pInstance;
    std::uint64_t slot1;
  };
};
static_assert(sizeof(DriverRecord) == 16);
static_assert(offsetof(DriverRecord, pfnEntry) == 0);
static_assert(offsetof(DriverRecord, pInstance) == 8);

// Filled by QelDrvLoadInitPipe; opaque to the library.
struct PipeRecord {
  std::uint64_t slot[2];
};
static_assert(sizeof(PipeRecord) == 16);
