// Scanners reached through TWAIN (Windows): a profile section of the driver's name with
// Type=TwainScanner, Source=<the data source's product name> (empty or missing: the system's
// default source) and any Capability.<NAME>=<value> lines, set on the source at load in their
// order. The source's capabilities become the framework's tags; its own dialog is the driver's
// image-parameter dialog.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "sim/services/driver_model/driver.h"

namespace sim {

// 0 with the driver; error::kDriverNotFound when the profile has no such section;
// error::kDeviceNotOpened (its text naming what) when the manager or the source does not
// open; error::kOptionRefused (naming the line) when a Capability line names no capability
// the source has or the source refuses its value.
std::int32_t TwainScannerNamed(std::string_view key, std::unique_ptr<Driver>& driver);

}  // namespace sim
