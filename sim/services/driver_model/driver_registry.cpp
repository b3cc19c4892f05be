#include "sim/services/driver_model/driver_registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"

namespace sim {
namespace {

struct LoadedDriver {
  DriverContext context{};
  std::string key;  // empty for a driver given by its entry
  std::uint64_t serial = 0;
  std::unique_ptr<Driver> driver;
  // Recursive: a driver's messages may come back to it from inside a callback.
  std::recursive_mutex mutex;
};

using LoadedPtr = std::shared_ptr<LoadedDriver>;

// A message in progress keeps its driver alive through a concurrent unload.
class Registry {
 public:
  // Never destroyed, as every process-wide table here: a driver stuck in a call may wake
  // after the exit handlers ran.
  static Registry& Instance() {
    static auto* registry = new Registry;
    return *registry;
  }

  void Load(std::string key, std::unique_ptr<Driver> driver, QelMessageEntry entry,
            DriverRecord& record) {
    auto loaded = std::make_shared<LoadedDriver>();
    loaded->key = std::move(key);
    loaded->driver = std::move(driver);
    DriverContext& context = loaded->context;
    std::lock_guard lock(mutex_);
    loaded->serial = ++serial_;
    context.self.pfnEntry = entry;
    context.self.pInstance = &context;
    context.usDriverId = static_cast<std::uint16_t>(loaded->serial);
    if (!loaded->key.empty()) ++books_[loaded->key].loads;
    live_.emplace(&context, loaded);
    record.slot0 = 0;
    record.slot1 = 0;
    record.pfnEntry = entry;
    record.pInstance = &context;
  }

  LoadedPtr Find(const void* instance) {
    std::lock_guard lock(mutex_);
    return FindLocked(instance);
  }

  // The driver a message is for; the message goes into its name's book.
  LoadedPtr Receive(const void* instance, std::uint32_t code, std::int32_t argument) {
    std::lock_guard lock(mutex_);
    auto loaded = FindLocked(instance);
    if (loaded && !loaded->key.empty()) {
      auto& messages = books_[loaded->key].messages;
      if (messages.size() == kMessageLogSize) messages.pop_front();
      messages.push_back({code, TagOfArg(argument)});
    }
    return loaded;
  }

  LoadedPtr Init(const void* instance, std::uintptr_t setup) {
    std::lock_guard lock(mutex_);
    auto loaded = FindLocked(instance);
    if (loaded && !loaded->key.empty()) {
      DriverBook& book = books_[loaded->key];
      ++book.inits;
      book.lastSetup = setup;
    }
    return loaded;
  }

  bool Unload(DriverRecord& record) {
    std::lock_guard lock(mutex_);
    const auto found = live_.find(record.pInstance);
    if (found == live_.end()) return false;
    if (!found->second->key.empty()) ++books_[found->second->key].unloads;
    live_.erase(found);
    record.slot0 = 0;
    record.slot1 = 0;
    return true;
  }

  LoadedPtr Latest(std::string_view key) {
    std::lock_guard lock(mutex_);
    LoadedPtr latest;
    for (const auto& [instance, loaded] : live_) {
      if (loaded->key == key && (!latest || loaded->serial > latest->serial)) latest = loaded;
    }
    return latest;
  }

  DriverBook Book(std::string_view key) {
    std::lock_guard lock(mutex_);
    const auto found = books_.find(key);
    return found == books_.end() ? DriverBook{} : found->second;
  }

  void ClearMessages(std::string_view key) {
    std::lock_guard lock(mutex_);
    if (const auto found = books_.find(key); found != books_.end()) found->second.messages.clear();
  }

  void Forget() {
    std::lock_guard lock(mutex_);
    live_.clear();
    books_.clear();
  }

 private:
  LoadedPtr FindLocked(const void* instance) const {
    const auto found = live_.find(instance);
    return found == live_.end() ? nullptr : found->second;
  }

  std::mutex mutex_;
  std::uint64_t serial_ = 0;
  std::map<const void*, LoadedPtr> live_;
  std::map<std::string, DriverBook, std::less<>> books_;
};

std::int32_t QELCALLBACK DriverEntry(void* instance, std::uint32_t code, std::int32_t argument,
                                     void* pointer) noexcept {
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::DriverMessage); failure < 0) return failure;
    const auto loaded = Registry::Instance().Receive(instance, code, argument);
    if (!loaded) return error::kDriverNotFound;
    std::lock_guard lock(loaded->mutex);
    return loaded->driver->Message(code, argument, pointer);
  });
}

}  // namespace

void KeepNamed(std::string key, std::unique_ptr<Driver> driver, DriverRecord& record) {
  Registry::Instance().Load(std::move(key), std::move(driver), &DriverEntry, record);
}

void KeepWithEntry(std::unique_ptr<Driver> driver, QelMessageEntry entry, DriverRecord& record) {
  Registry::Instance().Load({}, std::move(driver), entry, record);
}

std::optional<std::string> DriverKey(const char* name) {
  const auto length = strnlen(name, kMaxDriverName + 1);
  if (length == 0 || length > kMaxDriverName) return std::nullopt;
  std::string key(name, length);
  std::ranges::transform(key, key.begin(),
                         [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return key;
}

DriverBook BookOf(std::string_view key) {
  return Registry::Instance().Book(key);
}

void ClearMessages(std::string_view key) {
  Registry::Instance().ClearMessages(key);
}

bool ReadLoaded(std::string_view key, const std::function<void(const Driver&)>& read) {
  return ChangeLoaded(key, [&](Driver& driver) { read(driver); });
}

bool ChangeLoaded(std::string_view key, const std::function<void(Driver&)>& change) {
  const auto loaded = Registry::Instance().Latest(key);
  if (!loaded) return false;
  std::lock_guard lock(loaded->mutex);
  change(*loaded->driver);
  return true;
}

bool UseLoaded(const void* instance, const std::function<void(Driver&)>& use) {
  const auto loaded = Registry::Instance().Find(instance);
  if (!loaded) return false;
  std::lock_guard lock(loaded->mutex);
  use(*loaded->driver);
  return true;
}

void ForgetDrivers() {
  Registry::Instance().Forget();
}

}  // namespace sim

extern "C" {

std::int32_t QelDrvInit(DriverRecord* driver, std::int32_t /*reserved*/, std::uintptr_t setup) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::DrvInit); failure < 0) return failure;
    if (driver == nullptr) return error::kInvalidArgument;
    const auto loaded = Registry::Instance().Init(driver->pInstance, setup);
    if (!loaded) return error::kDriverNotFound;
    std::lock_guard lock(loaded->mutex);
    return loaded->driver->Init(setup);
  });
}

std::int32_t QelDrvUnload(DriverRecord* driver) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::DrvUnload); failure < 0) return failure;
    if (driver == nullptr) return error::kInvalidArgument;
    return Registry::Instance().Unload(*driver) ? 0 : error::kDriverNotFound;
  });
}

std::int32_t QelDrvDefaultMessage(void* context, std::uint32_t code, std::int32_t argument,
                                  void* pointer) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::DefaultMessage); failure < 0) return failure;
    const auto loaded = Registry::Instance().Find(context);
    if (!loaded) return error::kDriverNotFound;
    std::lock_guard lock(loaded->mutex);
    return loaded->driver->Default(code, argument, pointer);
  });
}

}  // extern "C"
