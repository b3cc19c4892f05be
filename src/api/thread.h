// The worker thread that does all framework work, and the command handshake with it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/platform.h"

// Worker commands, by the number an exported call posts.
enum WorkerCommand : std::uint32_t {
  CMD_FRAMEWORK_START = 1,
  CMD_FRAMEWORK_STOP = 2,
  CMD_UNLOAD_DRIVER = 3,
  CMD_SET_PARMS = 4,
  CMD_SEND_PARMS = 5,
  CMD_QUERY_PARM = 6,
  CMD_SEND_PRINT_TEXT = 7,
  CMD_SCAN_PAGE = 8,
  CMD_NOTHING = 9,
  CMD_SETTINGS_DIALOG = 10,
  CMD_PAUSE_FEEDER = 11,
  CMD_COLOUR_TABLE = 12,
};

inline constexpr std::uint32_t kNoLimit = platform::kInfinite;
inline constexpr std::uint32_t kPollStepMs = 100;
inline constexpr std::uint32_t kWorkerEndLimitMs = 30000;

// What one worker runs on. SCB and the thread share it, so a worker that outlives SCANFREE
// keeps its semaphores until it ends; whoever lets go last closes them.
struct WorkerLink {
  platform::Semaphore* hCmdSem = nullptr;
  platform::Semaphore* hDoneSem = nullptr;
  platform::Semaphore* hQuitSem = nullptr;
  // Each post is numbered and the worker reports the number it finished, so a completion
  // that arrives after its caller stopped waiting is not taken for a later command's.
  std::atomic<std::uint32_t> ulPosted{0};
  std::atomic<std::uint32_t> ulDone{0};

  WorkerLink() = default;
  WorkerLink(const WorkerLink&) = delete;
  WorkerLink& operator=(const WorkerLink&) = delete;
  ~WorkerLink();
};

// Creates the semaphores and the thread; false (nothing left behind) when one cannot be made.
bool StartWorker();
// Releases the quit semaphore and waits up to limitMs for the worker to end. A worker still
// running then (stuck in a driver) is left to end on its own. True when it ended in time.
bool StopWorker(std::uint32_t limitMs);

// Posts a command with its arguments already in SCB and waits for it, polling every 100 ms,
// up to limitMs or without limit (kNoLimit). Returns lWorkerRc.
std::int32_t PostCommand(std::uint32_t number, std::uint32_t limitMs);
