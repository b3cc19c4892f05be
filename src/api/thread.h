// The worker thread that does all framework work, and the command handshake with it.
#pragma once

#include <cstdint>
#include <memory>

#include "core/command.h"
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

// The time an exported call may wait for the worker, from the moment the call began; one
// limit covers waiting for an earlier command to end and waiting for the call's own.
class CallDeadline {
 public:
  explicit CallDeadline(std::uint32_t limitMs);
  bool Passed() const;
  // The wait for the next poll step: 100 ms, or what is left when that is less.
  std::uint32_t NextStepMs() const;

 private:
  std::uint32_t start_;
  std::uint32_t limit_;
};

// Creates the semaphores and the thread; false (nothing left behind) when one cannot be made.
bool StartWorker();
// Releases the quit semaphore and waits up to limitMs for the worker to end. A worker still
// running then (stuck in a driver) is left to end on its own: it finishes its own command,
// then stops the framework itself when SCANFREE could not have it stopped, and ends. True
// when it ended in time.
bool StopWorker(std::uint32_t limitMs);
// True while a worker left running by StopWorker has not ended yet.
bool StrandedWorkerRunning();
// At unload of the library: tells a worker still there to end and waits briefly for it.
void EndWorkerAtUnload();

// Waits until the worker has no command, in poll steps, up to the deadline: true when it has
// none. The worker's state in SCB may be read on the host's thread only after this.
bool WaitForIdleWorker(const CallDeadline& deadline);
// The same as a check of an exported call: 0, or RC_SCAN_ALREADY_BUSY stored and traced.
std::uint16_t AwaitIdleWorker(const CallDeadline& deadline);

// A new command, or null (RC_SCAN_NOT_ENOUGH_MEMORY stored and traced) when memory is short.
std::shared_ptr<Command> NewCommand(std::uint32_t number);

struct CommandOutcome {
  bool bCompleted = false;  // the command ran and its results may go to the host
  std::uint16_t rc = 0;     // its result, or the call's own refusal
};

// What a post does when the worker is busy past the deadline.
enum class WhenBusy {
  // A command with a result for the host: RC_SCAN_ALREADY_BUSY when an earlier command held
  // the worker throughout (this one is never run), RC_SCAN_TIMEOUT when this one did not
  // finish in time (the worker finishes it and it is forgotten); both stored and traced.
  Refuse,
  // Housekeeping that ends the host's use (SCANCLOSE, SCANFREE): the worker runs it after
  // the command it runs now, or finishes it, without the call waiting longer; answer 0.
  Defer,
};

// Posts the command once the worker is idle and waits for it, polling every 100 ms, up to
// the deadline. Completed: the command's result, with its stored code and text published
// for SCANLASTERROR. Not completed: as whenBusy says.
CommandOutcome PostCommand(const std::shared_ptr<Command>& command, const CallDeadline& deadline,
                           WhenBusy whenBusy = WhenBusy::Refuse);
