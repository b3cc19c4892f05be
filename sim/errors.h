// Error numbers of the stand-in framework and the two layouts of an error value.
//
// The stand-in's own operations fail with the plain negative number, whose high 16 bits are
// all ones. A driver puts the number in the high 16 bits and a detail number of its own in the
// low 16 bits. A detail value (high 16 bits 0xFF80) asks for a driver's text for that detail.
#pragma once

#include <cstdint>

namespace sim::error {

inline constexpr std::int16_t kDriverFailure = -10;
inline constexpr std::int16_t kDriverNotFound = -4100;
inline constexpr std::int16_t kNotStarted = -4300;
inline constexpr std::int16_t kNoPaper = -4401;
inline constexpr std::int16_t kTagNotSupported = -4410;
inline constexpr std::int16_t kValueNotAllowed = -4411;
inline constexpr std::int16_t kInvalidArgument = -4420;
inline constexpr std::int16_t kNoErrorText = -4421;
inline constexpr std::int16_t kRationalWithoutDenominator = -4433;
inline constexpr std::int16_t kNoMemory = -4500;
inline constexpr std::int16_t kSettingMissing = -4502;
inline constexpr std::int16_t kAborted = -4526;
inline constexpr std::int16_t kFileNotFound = -4600;
inline constexpr std::int16_t kFileNotCreated = -4601;
inline constexpr std::int16_t kFileWriteFailed = -4602;
inline constexpr std::int16_t kInvalidFileHandle = -4603;
inline constexpr std::int16_t kFileSeekFailed = -4604;
inline constexpr std::int16_t kTooManyFiles = -4605;
inline constexpr std::int16_t kProfileKeyMissing = -4610;
inline constexpr std::int16_t kStringNotFound = -4611;

// A driver's error value: number in the high 16 bits, detail in the low 16 bits.
constexpr std::int32_t WithDetail(std::int16_t number, std::uint16_t detail) {
  return static_cast<std::int32_t>(
      (static_cast<std::uint32_t>(static_cast<std::uint16_t>(number)) << 16) | detail);
}

constexpr std::uint16_t kDetailMarker = 0xFF80;
constexpr std::uint16_t kPlainMarker = 0xFFFF;

constexpr std::int32_t DetailValue(std::uint16_t detail) {
  return WithDetail(-128, detail);
}

constexpr std::uint16_t HighWord(std::int32_t value) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) >> 16);
}
constexpr std::uint16_t LowWord(std::int32_t value) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
}

// The error number a value carries, in either layout.
constexpr std::int16_t NumberOf(std::int32_t value) {
  const auto word = HighWord(value) == kPlainMarker ? LowWord(value) : HighWord(value);
  return static_cast<std::int16_t>(word);
}

static_assert(HighWord(DetailValue(3)) == kDetailMarker);
static_assert(NumberOf(-10) == -10);
static_assert(NumberOf(WithDetail(-10, 3)) == -10);

}  // namespace sim::error
