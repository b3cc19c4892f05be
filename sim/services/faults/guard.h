// Keeps exceptions inside the stand-in: its operations are called from C.
#pragma once

#include <cstdint>
#include <new>

#include "sim/services/faults/errors.h"

namespace sim {

template <class Body>
std::int32_t Guard(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return error::kNoMemory;
  } catch (...) {
    return error::kDriverFailure;
  }
}

}  // namespace sim
