// The scanners on Windows: the TWAIN data sources the source manager lists. The library's
// exported calls name only the profile's drivers, so kovscan asks the manager itself,
// loading it at run time as the library's TWAIN driver does.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tools/kovscan/platform.h"

namespace kovscan::platform {

const DeviceKind kDeviceKind = {"TWAIN", "TwainScanner", "Source"};

namespace {

using TwStr32 = char[34];

// The manager reads these by offset: 2-byte packing, as TWAIN lays them out.
#pragma pack(push, 2)
struct TwIdentity {
  std::uint32_t id;
  std::uint16_t majorNum, minorNum, language, country;
  TwStr32 info;
  std::uint16_t protocolMajor, protocolMinor;
  std::uint32_t supportedGroups;
  TwStr32 manufacturer, productFamily, productName;
};
#pragma pack(pop)
static_assert(sizeof(TwIdentity) == 156 && offsetof(TwIdentity, productName) == 122);

using DsmEntry = std::uint16_t(WINAPI*)(TwIdentity* origin, TwIdentity* destination,
                                        std::uint32_t group, std::uint16_t data,
                                        std::uint16_t message, void* argument);

constexpr std::uint32_t kDgControl = 1;
constexpr std::uint16_t kDatIdentity = 3, kDatParent = 4;
constexpr std::uint16_t kMsgGetFirst = 4, kMsgGetNext = 5, kMsgOpenDsm = 0x301,
                        kMsgCloseDsm = 0x302;
constexpr std::uint16_t kRcSuccess = 0;

std::string Text(const TwStr32& field) {
  return std::string(field, strnlen(field, sizeof field));
}

void ListSources(DsmEntry entry, TwIdentity& application, const char* managerName,
                 std::vector<Device>& devices) {
  TwIdentity source{};
  for (std::uint16_t message = kMsgGetFirst;
       entry(&application, nullptr, kDgControl, kDatIdentity, message, &source) == kRcSuccess;
       message = kMsgGetNext) {
    devices.push_back({Text(source.productName), Text(source.manufacturer) + " " +
                                                     Text(source.productFamily) + " (TWAIN, " +
                                                     managerName + ")"});
    source = TwIdentity{};
  }
}

}  // namespace

std::vector<Device> ListDevices() {
  std::vector<Device> devices;
  // TWAIN 2's manager first, as the library's driver takes it: a 64-bit kovscan finds only it.
  const char* managerName = "TWAINDSM.dll";
  HMODULE manager = LoadLibraryA(managerName);
  if (manager == nullptr) manager = LoadLibraryA(managerName = "twain_32.dll");
  if (manager == nullptr) return devices;
  const auto entry = reinterpret_cast<DsmEntry>(
      reinterpret_cast<void (*)()>(GetProcAddress(manager, "DSM_Entry")));
  TwIdentity application{};
  application.majorNum = 1;
  application.language = 13;  // English (USA)
  application.country = 1;    // USA
  application.protocolMajor = 1;
  application.protocolMinor = 9;
  application.supportedGroups = kDgControl;
  std::strcpy(application.productName, "kovscan");
  // The manager wants a window of its application; it is never shown.
  HWND window = CreateWindowA("STATIC", "kovscan", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  if (entry != nullptr && window != nullptr &&
      entry(&application, nullptr, kDgControl, kDatParent, kMsgOpenDsm, &window) == kRcSuccess) {
    ListSources(entry, application, managerName, devices);
    entry(&application, nullptr, kDgControl, kDatParent, kMsgCloseDsm, &window);
  }
  if (window != nullptr) DestroyWindow(window);
  FreeLibrary(manager);
  return devices;
}

}  // namespace kovscan::platform
