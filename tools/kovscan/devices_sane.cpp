// The scanners on Linux: those SANE finds.
#include <sane/sane.h>

#include "tools/kovscan/platform.h"

namespace kovscan::platform {

const DeviceKind kDeviceKind = {"SANE", "SaneScanner", "Device"};

// SANE stays initialised to the end of the program: its backends keep memory that sane_exit
// would leave behind when it unloads them.
std::vector<Device> ListDevices() {
  std::vector<Device> devices;
  if (sane_init(nullptr, nullptr) != SANE_STATUS_GOOD) return devices;
  const SANE_Device** list = nullptr;
  if (sane_get_devices(&list, SANE_FALSE) == SANE_STATUS_GOOD && list != nullptr) {
    for (const SANE_Device** entry = list; *entry != nullptr; ++entry) {
      devices.push_back({(*entry)->name, std::string((*entry)->vendor) + " " + (*entry)->model +
                                             " (" + (*entry)->type + ")"});
    }
  }
  return devices;
}

}  // namespace kovscan::platform
