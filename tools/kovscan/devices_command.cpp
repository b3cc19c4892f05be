#include "tools/kovscan/devices_command.h"

#include <sane/sane.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <vector>

#include "tools/kovscan/scan_command.h"

namespace kovscan {
namespace {

struct Device {
  std::string name;
  std::string description;
};

// SANE stays initialised to the end of the program: its backends keep memory that sane_exit
// would leave behind when it unloads them.
std::vector<Device> SaneDevices() {
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

// A driver name as the framework takes it: one to eight letters or digits.
bool IsDriverName(const std::string& name) {
  return !name.empty() && name.size() <= 8 &&
         std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c); });
}

}  // namespace

int RunDevices(const DevicesCommand& command) {
  const std::vector<Device> devices = SaneDevices();
  for (const Device& device : devices) {
    std::printf("%-24s %s\n", device.name.c_str(), device.description.c_str());
  }
  if (devices.empty()) std::printf("SANE finds no scanner\n");
  if (!command.profile) return kSuccess;

  if (!IsDriverName(command.driver)) {
    std::fprintf(stderr, "kovscan: %s is no driver name (1 to 8 letters or digits)\n",
                 command.driver.c_str());
    return kBadArguments;
  }
  const std::string device =
      command.device ? *command.device : (devices.empty() ? "" : devices.front().name);
  if (device.empty()) return kLibraryFailure;
  if (std::filesystem::exists(*command.profile)) {
    std::fprintf(stderr, "kovscan: %s exists; name a new profile file\n", command.profile->c_str());
    return kBadArguments;
  }
  std::ofstream profile(*command.profile);
  profile << "[ZAFT]\nScanner=" << command.driver << "\n[" << command.driver
          << "]\nType=SaneScanner\nDevice=" << device << "\n";
  if (!profile.flush()) {
    std::fprintf(stderr, "kovscan: %s cannot be written\n", command.profile->c_str());
    return kFileFailure;
  }
  std::printf("profile %s: scanner %s is SANE's %s\n", command.profile->c_str(),
              command.driver.c_str(), device.c_str());
  return kSuccess;
}

}  // namespace kovscan
