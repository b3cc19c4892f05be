// Framework error values. A failure is negative. A driver's failure carries the error
// number in its high 16 bits (read as signed) and a detail number of its own in the low 16
// bits; a plain negative number (high 16 bits all ones) carries the number in its low 16
// bits. A detail request (high 16 bits 0xFF80) asks a driver for its text of a detail.
#pragma once

#include <cstdint>

inline constexpr std::int16_t kErrDriverFailure = -10;
inline constexpr std::int16_t kErrNoDriver = -4100;         // a record without a loaded driver
inline constexpr std::int16_t kErrNoPage = -4401;           // no page in the feeder
inline constexpr std::int16_t kErrValueNotAllowed = -4411;  // a value the tag cannot take
inline constexpr std::int16_t kErrNoDenominator = -4433;    // rational text without denominator
inline constexpr std::int16_t kErrNoMemory = -4500;
inline constexpr std::int16_t kErrSettingMissing = -4502;  // tag missing from the settings text
inline constexpr std::int16_t kErrAborted = -4526;         // the abort poll's answer after a kill

inline constexpr std::uint16_t kPlainErrorWord = 0xFFFF;
inline constexpr std::uint16_t kDetailRequestWord = 0xFF80;

constexpr std::uint16_t HighWordOf(std::int32_t value) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) >> 16);
}

constexpr std::uint16_t LowWordOf(std::int32_t value) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
}

constexpr bool IsPlainError(std::int32_t value) {
  return HighWordOf(value) == kPlainErrorWord;
}

// The error number a value carries, in either layout.
constexpr std::int16_t ErrorNumberOf(std::int32_t value) {
  return static_cast<std::int16_t>(IsPlainError(value) ? LowWordOf(value) : HighWordOf(value));
}

// A driver's error value.
constexpr std::int32_t MakeFrameworkError(std::int16_t number, std::uint16_t detail) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(static_cast<std::uint16_t>(number)) << 16 | detail);
}

constexpr std::int32_t DetailRequest(std::uint16_t detail) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(kDetailRequestWord) << 16 | detail);
}

static_assert(ErrorNumberOf(-10) == -10);
static_assert(ErrorNumberOf(MakeFrameworkError(-10, 3)) == -10);
static_assert(HighWordOf(DetailRequest(3)) == kDetailRequestWord);
// The high words the page run tests for and the storage filter answers with.
static_assert(HighWordOf(MakeFrameworkError(kErrNoPage, 7)) == 0xEECFu);
static_assert(HighWordOf(MakeFrameworkError(kErrNoMemory, 7)) == 0xEE6Cu);
