#include "tools/kovscan/devices_command.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "tools/kovscan/platform.h"
#include "tools/kovscan/record_file.h"
#include "tools/kovscan/scan_command.h"

namespace kovscan {

int RunDevices(const DevicesCommand& command) {
  using platform::kDeviceKind;
  const std::vector<platform::Device> devices = platform::ListDevices();
  for (const platform::Device& device : devices) {
    std::printf("%-24s %s\n", device.name.c_str(), device.description.c_str());
  }
  if (devices.empty()) std::printf("%s finds no scanner\n", kDeviceKind.system);
  if (!command.profile) return kSuccess;

  const std::string driver = command.driver.value_or(kDeviceKind.system);
  if (!IsDriverName(driver)) {
    throw ArgumentError(driver + " is no driver name (1 to 8 letters or digits)");
  }
  const std::string device =
      command.device ? *command.device : (devices.empty() ? "" : devices.front().name);
  if (device.empty()) {
    throw Failure(kLibraryFailure,
                  std::string(kDeviceKind.system) + " finds no scanner to write a profile for");
  }
  if (std::filesystem::exists(*command.profile)) {
    throw ArgumentError(command.profile->string() + " exists; name a new profile file");
  }
  std::ofstream profile(*command.profile);
  profile << "[ZAFT]\nScanner=" << driver << "\n[" << driver << "]\nType=" << kDeviceKind.type
          << "\n"
          << kDeviceKind.key << "=" << device << "\n";
  if (!profile.flush()) throw FileError("cannot write " + command.profile->string());
  std::printf("profile %s: scanner %s is %s's %s\n", command.profile->string().c_str(),
              driver.c_str(), kDeviceKind.system, device.c_str());
  return kSuccess;
}

}  // namespace kovscan
