// The two image drivers: QELMZAFT captures a page into a memory image, FROMQELM plays an
// image back as a driver's output. Until pages flow through them they are plain drivers with
// no tags of their own.
#include <array>
#include <string_view>

#include "sim/driver_catalog.h"

namespace sim {

std::unique_ptr<Driver> ImageDriverNamed(std::string_view key) {
  static constexpr std::array<std::string_view, 2> kNames{"QELMZAFT", "FROMQELM"};
  for (const auto name : kNames) {
    if (key == name) return std::make_unique<Driver>();
  }
  return nullptr;
}

}  // namespace sim
