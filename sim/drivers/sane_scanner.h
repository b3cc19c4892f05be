// Scanners reached through SANE (Linux): a profile section of the driver's name with
// Type=SaneScanner, Device=<SANE device name> and any Option.<name>=<value> lines, which are
// set on the device at load, in their order. The device's options become the framework's
// tags: resolution, mode and depth, scan area, source, identification.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "sim/services/driver_model/driver.h"

namespace sim {

// 0 with the driver; error::kDriverNotFound when the profile has no such section;
// error::kBadDriverSettings when it names no device; error::kDeviceNotOpened (its text then
// naming the device) when the device does not open; error::kOptionRefused (naming the line)
// when an Option line names no active option or the device refuses its value;
// error::kSamplesNotSupported when the device delivers 16-bit samples only.
std::int32_t SaneScannerNamed(std::string_view key, std::unique_ptr<Driver>& driver);

}  // namespace sim
