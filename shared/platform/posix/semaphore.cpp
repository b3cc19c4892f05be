#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/platform.h"

namespace platform {

struct Semaphore {
  int count = 0;
};

namespace {

// One lock and one condition for all semaphores, so a thread can wait for either of two.
// The library has three semaphores at most, so the shared wake-ups cost nothing. Both are
// never destroyed: a worker may still wait on them while the process ends.
std::mutex& CountsLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

std::condition_variable& CountsChanged() {
  static auto* changed = new std::condition_variable;
  return *changed;
}

}  // namespace

Semaphore* CreateSemaphore() {
  return new (std::nothrow) Semaphore;
}

bool ReleaseSemaphore(Semaphore* semaphore) {
  {
    std::lock_guard lock(CountsLock());
    if (semaphore->count >= 1) return false;
    semaphore->count = 1;
  }
  CountsChanged().notify_all();
  return true;
}

WaitResult WaitForSemaphore(Semaphore* semaphore, std::uint32_t timeoutMs) {
  std::unique_lock lock(CountsLock());
  auto signalled = [semaphore] { return semaphore->count > 0; };
  if (timeoutMs == kInfinite) {
    CountsChanged().wait(lock, signalled);
  } else if (!CountsChanged().wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled)) {
    return WaitResult::TimedOut;
  }
  --semaphore->count;
  return WaitResult::Signalled;
}

int WaitForEitherSemaphore(Semaphore* first, Semaphore* second) {
  std::unique_lock lock(CountsLock());
  CountsChanged().wait(lock, [first, second] { return first->count > 0 || second->count > 0; });
  Semaphore* taken = first->count > 0 ? first : second;
  --taken->count;
  return taken == first ? 0 : 1;
}

void CloseSemaphore(Semaphore* semaphore) {
  std::unique_ptr<Semaphore> owned(semaphore);
}

}  // namespace platform
