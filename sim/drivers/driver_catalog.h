// Where QelDrvLoad looks for a driver name (upper case), in this order: the drivers tests
// registered, the two image drivers, SANE's scanners (Linux) or TWAIN's (Windows), the virtual
// scanners of the profile.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "sim/services/driver_model/driver.h"

namespace sim {

// Null when the name is not theirs.
using DriverMaker = std::unique_ptr<Driver> (*)(std::string_view key);
std::unique_ptr<Driver> ImageDriverNamed(std::string_view key);

// The test kit, which does not ship, makes the drivers tests register: it hands its maker
// over when it is first used, and QelDrvLoad asks it first from then on.
void UseTestDrivers(DriverMaker maker);

// 0 with the driver; error::kDriverNotFound when the profile has no such scanner;
// error::kBadDriverSettings when its section does not describe one.
std::int32_t VirtualScannerNamed(std::string_view key, std::unique_ptr<Driver>& driver);
// Empties the virtual scanners' feeders, which outlive their drivers.
void ForgetFeeds();

}  // namespace sim
