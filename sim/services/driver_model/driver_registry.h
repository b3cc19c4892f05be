// Drivers loaded through the framework: the context each loaded driver gets, and what the
// loads of a driver name leave for a test to see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "framework/records.h"
#include "sim/services/driver_model/driver.h"

namespace sim {

// Driver names are file names of at most eight characters; case does not matter.
inline constexpr std::size_t kMaxDriverName = 8;

struct DriverMessage {
  std::uint32_t code = 0;
  std::uint16_t tag = 0;  // the low 16 bits of the argument
  bool operator==(const DriverMessage&) const = default;
};

// What the loads of one driver name did, kept across its loads.
struct DriverBook {
  std::uint32_t loads = 0;
  std::uint32_t unloads = 0;
  std::uint32_t inits = 0;
  std::optional<std::uintptr_t> lastSetup;
  std::deque<DriverMessage> messages;  // the latest kMessageLogSize, oldest first
};
inline constexpr std::size_t kMessageLogSize = 4096;

// Keeps a made driver as loaded and fills the caller's record. A named driver's messages come
// through the registry's entry and go into its name's book; an in-process driver gives its own.
void KeepNamed(std::string key, std::unique_ptr<Driver> driver, DriverRecord& record);
void KeepWithEntry(std::unique_ptr<Driver> driver, QelMessageEntry entry, DriverRecord& record);

// The upper-case name, or none for a name no driver can have. Reads at most one character
// past the longest name.
std::optional<std::string> DriverKey(const char* name);

DriverBook BookOf(std::string_view key);
void ClearMessages(std::string_view key);

// Runs `read` on the driver loaded last under the name, while the driver's messages wait.
// False when no driver of that name is loaded.
bool ReadLoaded(std::string_view key, const std::function<void(const Driver&)>& read);
// The same, for a test that changes what the driver holds.
bool ChangeLoaded(std::string_view key, const std::function<void(Driver&)>& change);

// Runs `use` on the loaded driver that owns the instance, while its messages wait. False
// when none does.
bool UseLoaded(const void* instance, const std::function<void(Driver&)>& use);

// Drops every loaded driver (their records go stale) and every book.
void ForgetDrivers();

}  // namespace sim
