// QelDrvLoad: a driver name made into a driver by the first type that knows it, or a driver
// given by its message entry.
#include "sim/drivers/driver_catalog.h"

#include <atomic>

#include "framework/qel.h"
#include "sim/dialogs/image_dialog.h"
#if KOV_SANE
#include "sim/drivers/sane_scanner.h"
#endif
#if KOV_TWAIN
#include "sim/drivers/twain_scanner.h"
#endif
#include "sim/services/driver_model/driver_registry.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"

namespace sim {
namespace {

std::atomic<DriverMaker> testDriverMaker{nullptr};

std::int32_t MakeNamedDriver(std::string_view key, std::unique_ptr<Driver>& driver) {
  if (const DriverMaker maker = testDriverMaker.load(); maker != nullptr && (driver = maker(key)))
    return 0;
  if ((driver = ImageDriverNamed(key))) return 0;
#if KOV_SANE
  if (const auto rc = SaneScannerNamed(key, driver); rc != error::kDriverNotFound) return rc;
#endif
#if KOV_TWAIN
  if (const auto rc = TwainScannerNamed(key, driver); rc != error::kDriverNotFound) return rc;
#endif
  return VirtualScannerNamed(key, driver);
}

std::int32_t LoadByName(const char* name, DriverRecord& record) {
  const auto key = DriverKey(name);
  if (!key) return error::kDriverNotFound;
  std::unique_ptr<Driver> driver;
  if (const auto failure = MakeNamedDriver(*key, driver); failure < 0) return failure;
  const std::int32_t loaded = driver->SetUpAtLoad() ? 1 : 0;
  KeepNamed(*key, std::move(driver), record);
  return loaded;
}

}  // namespace

void UseTestDrivers(DriverMaker maker) {
  testDriverMaker = maker;
}

}  // namespace sim

extern "C" std::int32_t QelDrvLoad(std::int32_t /*reserved*/, const void* nameOrEntry,
                                   DriverRecord* driver, std::int32_t how) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::DrvLoad); failure < 0) return failure;
    if (nameOrEntry == nullptr || driver == nullptr) return error::kInvalidArgument;
    switch (how) {
      case kQelLoadByName:
        return LoadByName(static_cast<const char*>(nameOrEntry), *driver);
      case kQelLoadEntry:
        // An in-process driver keeps no tags of its own: they are the default handling's.
        KeepWithEntry(std::make_unique<ImageDialogDriver>(),
                      reinterpret_cast<QelMessageEntry>(const_cast<void*>(nameOrEntry)), *driver);
        return 0;
      default:
        return error::kInvalidArgument;
    }
  });
}
