#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/platform.h"

namespace platform {

namespace {

// Shared by the handle and the running thread, so either may go first.
struct ThreadState {
  std::mutex lock;
  std::condition_variable ended;
  bool finished = false;
};

}  // namespace

struct Thread {
  std::thread thread;
  std::shared_ptr<ThreadState> state;
};

Thread* CreateThread(ThreadProc proc, void* argument) {
  try {
    auto handle = std::make_unique<Thread>();
    handle->state = std::make_shared<ThreadState>();
    handle->thread = std::thread([proc, argument, state = handle->state] {
      proc(argument);
      {
        std::lock_guard lock(state->lock);
        state->finished = true;
      }
      state->ended.notify_all();
    });
    return handle.release();
  } catch (const std::exception&) {
    return nullptr;  // no memory or no thread: the caller reports it
  }
}

WaitResult WaitForThread(Thread* thread, std::uint32_t timeoutMs) {
  ThreadState& state = *thread->state;
  std::unique_lock lock(state.lock);
  auto finished = [&state] { return state.finished; };
  if (timeoutMs == kInfinite) {
    state.ended.wait(lock, finished);
    return WaitResult::Signalled;
  }
  return state.ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), finished)
             ? WaitResult::Signalled
             : WaitResult::TimedOut;
}

void CloseThread(Thread* thread) {
  std::unique_ptr<Thread> owned(thread);
  bool finished;
  {
    std::lock_guard lock(owned->state->lock);
    finished = owned->state->finished;
  }
  if (finished) {
    owned->thread.join();  // returns at once: the thread is past its last step
  } else {
    owned->thread.detach();
  }
}

}  // namespace platform
