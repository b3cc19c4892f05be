#include "sim/services/operations/startup.h"

#include <mutex>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"

namespace sim {
namespace {

struct Startup {
  std::mutex mutex;
  StartupState state;
};

// Never destroyed: a driver stuck in a call may wake after the exit handlers ran.
Startup& Shared() {
  static auto* shared = new Startup;
  return *shared;
}

// Both libraries behave alike; only their fields differ.
std::int32_t Start(Op op, bool StartupState::*flag) {
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(op); failure < 0) return failure;
    std::lock_guard lock(Shared().mutex);
    Shared().state.*flag = true;
    return 0;
  });
}

std::int32_t Stop(Op op, bool StartupState::*flag) {
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(op); failure < 0) return failure;
    std::lock_guard lock(Shared().mutex);
    if (!(Shared().state.*flag)) return error::kNotStarted;
    Shared().state.*flag = false;
    return 0;
  });
}

std::int32_t SetName(Op op, std::string StartupState::*field, const char* name) {
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(op); failure < 0) return failure;
    if (name == nullptr) return error::kInvalidArgument;
    std::string copy(name);
    std::lock_guard lock(Shared().mutex);
    Shared().state.*field = std::move(copy);
    return 0;
  });
}

}  // namespace

StartupState CurrentStartup() {
  std::lock_guard lock(Shared().mutex);
  return Shared().state;
}

void ResetStartup() {
  std::lock_guard lock(Shared().mutex);
  Shared().state = StartupState{};
}

}  // namespace sim

extern "C" {

std::int32_t QelStartup() {
  return sim::Start(sim::Op::Startup, &sim::StartupState::started);
}

std::int32_t QelShutdown() {
  return sim::Stop(sim::Op::Shutdown, &sim::StartupState::started);
}

std::int32_t QelSetAppName(const char* name) {
  return sim::SetName(sim::Op::SetAppName, &sim::StartupState::appName, name);
}

std::int32_t QelMemStartup() {
  return sim::Start(sim::Op::MemStartup, &sim::StartupState::memStarted);
}

std::int32_t QelMemShutdown() {
  return sim::Stop(sim::Op::MemShutdown, &sim::StartupState::memStarted);
}

std::int32_t QelMemSetAppName(const char* name) {
  return sim::SetName(sim::Op::MemSetAppName, &sim::StartupState::memAppName, name);
}

}  // extern "C"
