#include <cstdint>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"

// Digits past the range wrap around, as the 32-bit arithmetic of the framework does.
extern "C" std::int32_t QelTextToNumber(const char* text) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::TextToNumber); failure < 0) return failure;
    if (text == nullptr) return error::kInvalidArgument;
    std::uint32_t number = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
      number = number * 10 + static_cast<std::uint32_t>(*text - '0');
    return static_cast<std::int32_t>(number);
  });
}
