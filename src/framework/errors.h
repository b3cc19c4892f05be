// Framework error values. A failure is negative: its high 16 bits, read as a signed number,
// are the error number, and its low 16 bits a detail number of the driver that failed. A
// plain negative number (high 16 bits all ones) carries the error number in its low 16 bits
// instead; the numbers below are also used that way, as whole values.
#pragma once

#include <cstdint>

inline constexpr std::int32_t kErrNoDriver = -4100;       // a record without a loaded driver
inline constexpr std::int32_t kErrNoPage = -4401;         // no page in the feeder
inline constexpr std::int32_t kErrNoDenominator = -4433;  // rational text without denominator
inline constexpr std::int32_t kErrNoMemory = -4500;
inline constexpr std::int32_t kErrSettingMissing = -4502;  // tag missing from the settings text
inline constexpr std::int32_t kErrAborted = -4526;         // the abort poll's answer after a kill

constexpr std::int32_t MakeFrameworkError(std::int32_t number, std::uint16_t detail) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(number) << 16 | detail);
}

// The high 16 bits as a signed number; for a plain negative number this is -1.
constexpr std::int32_t ErrorNumberOf(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint32_t>(value) >> 16);
}

constexpr std::uint16_t ErrorDetailOf(std::int32_t value) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
}

// True for a plain negative number, whose error number is its low 16 bits.
constexpr bool IsPlainError(std::int32_t value) {
  return static_cast<std::uint32_t>(value) >> 16 == 0xFFFFu;
}

// The high words the page run tests for and the storage filter answers with.
static_assert(static_cast<std::uint32_t>(MakeFrameworkError(kErrNoPage, 7)) >> 16 == 0xEECFu);
static_assert(static_cast<std::uint32_t>(MakeFrameworkError(kErrNoMemory, 7)) >> 16 == 0xEE6Cu);
