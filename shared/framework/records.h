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

// The framework's context of a loaded driver: the instance its record carries, so the first
// argument of each message it receives. It starts with the driver's own entry and instance,
// laid out as DriverRecord, so that the driver can send messages to itself through it. The
// storage filter reads its driver number and its data handler at these offsets too (8-byte
// slots, so they hold for 32-bit and 64-bit pointers alike).
struct DriverContext {
  DriverRecord self;
  std::uint8_t reserved1[28];
  std::uint16_t usDriverId;  // names the driver in the detail of its error values
  std::uint8_t reserved2[18];
  union {
    QelMessageEntry pfnDataHandler;  // also gets each data message; null for none
    std::uint64_t slot8;
  };
  union {
    void* pDataHandlerInstance;
    std::uint64_t slot9;
  };
};
static_assert(offsetof(DriverContext, self) == 0);
static_assert(offsetof(DriverContext, usDriverId) == 44);
static_assert(offsetof(DriverContext, pfnDataHandler) == 64);
static_assert(offsetof(DriverContext, pDataHandlerInstance) == 72);

// Filled by QelDrvLoadInitPipe; opaque to the library.
struct PipeRecord {
  std::uint64_t slot[2];
};
static_assert(sizeof(PipeRecord) == 16);
