// A SANE device's options by name: their descriptors, numeric values in the option's own
// unit, what their constraints allow, and setting them as the device takes them.
#pragma once

#include <sane/sane.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct SaneRange {
  double minimum = 0;
  double maximum = 0;
  double quant = 0;  // 0: any value in between
};

class SaneOptions {
 public:
  explicit SaneOptions(SANE_Handle handle);

  // Reads the descriptors again, as after SANE_INFO_RELOAD_OPTIONS.
  void Reload();

  // The option of that name when the device has it and it is active; none otherwise.
  std::optional<SANE_Int> Find(std::string_view name) const;
  const SANE_Option_Descriptor& Descriptor(SANE_Int option) const;

  // The value of an integer or fixed-point option (its first element); none when it cannot be
  // read or is of another type.
  std::optional<double> Number(SANE_Int option) const;
  std::optional<std::string> Text(SANE_Int option) const;

  // What the constraint allows: a word list's numbers, a range, a string list.
  std::vector<double> Numbers(SANE_Int option) const;
  std::optional<SaneRange> Range(SANE_Int option) const;
  std::vector<std::string> Texts(SANE_Int option) const;

  // The value moved onto the option's range step, down or up, within the range; unchanged
  // when the option has no step.
  enum class Toward { Down, Up };
  double OnStep(SANE_Int option, double value, Toward toward) const;

  // Sets the option, then reads the descriptors again when the device says they changed.
  // SANE_STATUS_GOOD, or the device's refusal.
  SANE_Status SetNumber(SANE_Int option, double value);
  SANE_Status SetText(SANE_Int option, const std::string& value);
  // From a profile's text: "yes"/"no" (or 1/0) for a switch, a number, or a text.
  SANE_Status SetFromText(SANE_Int option, std::string_view text);

 private:
  SANE_Status Set(SANE_Int option, void* value);

  SANE_Handle handle_;
  std::map<std::string, SANE_Int, std::less<>> byName_;
};

}  // namespace sim
