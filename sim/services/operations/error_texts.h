// Texts for framework error values, and the detail texts drivers supply.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/records.h"

namespace sim {

// The framework's own text for an error number; none for numbers it does not know.
std::optional<std::string_view> FrameworkErrorText(std::int16_t number);

// Records what the last failure of that number concerned (a device's name): the number's
// text names it from then on, as "<text>: <subject>".
void SetErrorSubject(std::int16_t number, std::string subject);

// Detail texts by driver, the driver known by its message entry. A detail value
// (detail | 0xFF800000) asked for with that driver's record as context gets these texts.
class DriverDetailTexts {
 public:
  static void Set(QelMessageEntry entry, std::uint16_t detail, std::string text);
  // Forgets every text of the driver.
  static void Clear(QelMessageEntry entry);
  static std::optional<std::string> Find(QelMessageEntry entry, std::uint16_t detail);
};

}  // namespace sim
