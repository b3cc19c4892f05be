#include "api/thread.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "api/api_call.h"
#include "api/framework_session.h"
#include "core/control_block.h"
#include "core/error_text.h"
#include "core/return_codes.h"
#include "core/trace_log.h"
#include "dialogs/settings_dialog.h"
#include "parms/parm_commands.h"
#include "parms/parm_record.h"
#include "pipeline/driver_loading.h"
#include "pipeline/page_reader.h"

namespace {

constexpr std::uint32_t kWorkerEndAtUnloadMs = 2000;
constexpr auto kLookBeforeSleeping = std::chrono::microseconds(200);

// What one worker runs on, shared by the library and the thread: a worker that outlives
// SCANFREE keeps its semaphores and its commands until it ends.
struct WorkerLink {
  platform::Semaphore* hCmdSem = nullptr;
  platform::Semaphore* hDoneSem = nullptr;
  platform::Semaphore* hQuitSem = nullptr;

  std::mutex lock;  // guards the three below
  // The command posted or running; null while the worker is idle. Only an idle worker takes
  // a new command, so no command waits in line and none runs after its caller gave up.
  std::shared_ptr<Command> pCommand;
  // Commands left by SCANCLOSE and SCANFREE while the worker was busy, run after pCommand.
  std::vector<std::shared_ptr<Command>> deferred;
  bool bEnded = false;

  WorkerLink() = default;
  WorkerLink(const WorkerLink&) = delete;
  WorkerLink& operator=(const WorkerLink&) = delete;
  ~WorkerLink() {
    for (platform::Semaphore* semaphore : {hCmdSem, hDoneSem, hQuitSem}) {
      if (semaphore != nullptr) platform::CloseSemaphore(semaphore);
    }
  }
};

// The session's worker, and one left running by SCANFREE until it ends. Never destroyed:
// the unload hook still needs them after the module's static objects are gone.
struct Workers {
  std::shared_ptr<WorkerLink> pWorkerLink;
  platform::Thread* hWorker = nullptr;
  std::shared_ptr<WorkerLink> pStrandedLink;
};

Workers& TheWorkers() {
  static auto* workers = new Workers;
  return *workers;
}

using CommandRoutine = void (*)(Command&);

constexpr std::array<CommandRoutine, 13> kCommandRoutines = [] {
  std::array<CommandRoutine, 13> routines{};
  routines[CMD_FRAMEWORK_START] = [](Command&) { FrameworkStart(); };
  routines[CMD_FRAMEWORK_STOP] = [](Command&) { FrameworkStop(); };
  routines[CMD_UNLOAD_DRIVER] = [](Command&) { UnloadScannerDriver(); };
  routines[CMD_SET_PARMS] = SetParameter;
  routines[CMD_SEND_PARMS] = SendParameters;
  routines[CMD_QUERY_PARM] = QueryParameter;
  routines[CMD_SEND_PRINT_TEXT] = SendPrintText;
  routines[CMD_SCAN_PAGE] = PageReader;
  routines[CMD_SETTINGS_DIALOG] = SettingsDialog;
  routines[CMD_PAUSE_FEEDER] = PauseFeeder;
  routines[CMD_COLOUR_TABLE] = FillColourTable;
  return routines;
}();

void RunCommand(Command& command) {
  RunningCommandScope scope(command);
  const std::uint32_t number = command.ulCommand;
  if (number < kCommandRoutines.size() && kCommandRoutines[number] != nullptr) {
    kCommandRoutines[number](command);
    return;
  }
  command.lWorkerRc = RC_SCAN_FUNC_NOT_SUPPORTED;
  StoreLastRc(RC_SCAN_FUNC_NOT_SUPPORTED);
}

// The next command to run: the posted one first, then those deferred. Null when none is
// left, and the worker is idle from then on.
std::shared_ptr<Command> NextCommand(WorkerLink& link, bool postedDone) {
  std::lock_guard guard(link.lock);
  if (!postedDone && link.pCommand != nullptr) return link.pCommand;
  if (link.deferred.empty()) {
    link.pCommand.reset();
    return nullptr;
  }
  link.pCommand = link.deferred.front();
  link.deferred.erase(link.deferred.begin());
  return link.pCommand;
}

std::uint32_t WorkerThread(void* argument) {
  // The thread owns one reference to its link for as long as it runs.
  std::unique_ptr<std::shared_ptr<WorkerLink>> owned(
      static_cast<std::shared_ptr<WorkerLink>*>(argument));
  WorkerLink& link = **owned;
  for (;;) {
    const int signalled = platform::WaitForEitherSemaphore(link.hCmdSem, link.hQuitSem);
    if (signalled == 1) break;
    if (signalled != 0) continue;
    for (auto command = NextCommand(link, false); command != nullptr;
         command = NextCommand(link, true)) {
      RunCommand(*command);
    }
    platform::ReleaseSemaphore(link.hDoneSem);
  }
  std::lock_guard guard(link.lock);
  link.bEnded = true;
  return 0;
}

bool Idle(WorkerLink& link) {
  std::lock_guard guard(link.lock);
  return link.pCommand == nullptr;
}

bool Holds(WorkerLink& link, const std::shared_ptr<Command>& command) {
  std::lock_guard guard(link.lock);
  return link.pCommand == command;
}

// Polls the completion semaphore until `done` holds or the deadline passes. Most commands
// end within a fraction of a millisecond, a page's among them: the caller looks again for a
// moment before it sleeps, which would cost it a wake-up per page.
template <typename Done>
bool PollUntil(WorkerLink& link, const CallDeadline& deadline, Done done) {
  const auto lookUntil = std::chrono::steady_clock::now() + kLookBeforeSleeping;
  while (std::chrono::steady_clock::now() < lookUntil) {
    if (done()) return true;
    std::this_thread::yield();
  }
  for (;;) {
    if (done()) return true;
    if (deadline.Passed()) return done();
    platform::WaitForSemaphore(link.hDoneSem, deadline.NextStepMs());
  }
}

std::uint16_t RefuseBusy() {
  TraceLog("  the worker is still busy with an earlier command");
  return Refuse(RC_SCAN_ALREADY_BUSY);
}

// Gives the host what the worker left for SCANLASTERROR.
void PublishStoredCode(const Command& command) {
  if (command.bStoredText) std::memcpy(szErrorText, command.szErrorText, sizeof szErrorText);
  if (command.usStoredRc != 0) usLastRc = command.usStoredRc;
}

}  // namespace

CallDeadline::CallDeadline(std::uint32_t limitMs)
    : start_(platform::GetTickCount()), limit_(limitMs) {}

bool CallDeadline::Passed() const {
  return limit_ != kNoLimit && platform::GetTickCount() - start_ >= limit_;
}

std::uint32_t CallDeadline::NextStepMs() const {
  if (limit_ == kNoLimit) return kPollStepMs;
  const std::uint32_t spent = platform::GetTickCount() - start_;
  return spent >= limit_ ? 0 : std::min(kPollStepMs, limit_ - spent);
}

bool StartWorker() {
  std::shared_ptr<WorkerLink> link;
  std::unique_ptr<std::shared_ptr<WorkerLink>> threadReference;
  try {
    link = std::make_shared<WorkerLink>();
    threadReference = std::make_unique<std::shared_ptr<WorkerLink>>(link);
  } catch (const std::bad_alloc&) {
    return false;
  }
  link->hCmdSem = platform::CreateSemaphore();
  link->hDoneSem = platform::CreateSemaphore();
  link->hQuitSem = platform::CreateSemaphore();
  if (link->hCmdSem == nullptr || link->hDoneSem == nullptr || link->hQuitSem == nullptr) {
    return false;
  }
  platform::Thread* worker = platform::CreateThread(WorkerThread, threadReference.get());
  if (worker == nullptr) return false;
  static_cast<void>(threadReference.release());  // the thread has it now
  TheWorkers().pWorkerLink = std::move(link);
  TheWorkers().hWorker = worker;
  return true;
}

bool StopWorker(std::uint32_t limitMs) {
  Workers& workers = TheWorkers();
  platform::ReleaseSemaphore(workers.pWorkerLink->hQuitSem);
  const bool ended =
      platform::WaitForThread(workers.hWorker, limitMs) == platform::WaitResult::Signalled;
  if (!ended) {
    TraceLog("  worker did not end in time; it is left to end on its own");
    workers.pStrandedLink = workers.pWorkerLink;
  }
  platform::CloseThread(workers.hWorker);
  workers.hWorker = nullptr;
  workers.pWorkerLink.reset();  // the semaphores go with the last reference
  return ended;
}

bool StrandedWorkerRunning() {
  Workers& workers = TheWorkers();
  if (workers.pStrandedLink == nullptr) return false;
  {
    std::lock_guard guard(workers.pStrandedLink->lock);
    if (!workers.pStrandedLink->bEnded) return true;
  }
  workers.pStrandedLink.reset();
  return false;
}

void EndWorkerAtUnload() {
  Workers& workers = TheWorkers();
  if (workers.pWorkerLink == nullptr) return;
  // A worker stuck in a driver is left to the end of the process.
  platform::ReleaseSemaphore(workers.pWorkerLink->hQuitSem);
  if (platform::WaitForThread(workers.hWorker, kWorkerEndAtUnloadMs) ==
      platform::WaitResult::Signalled) {
    platform::CloseThread(workers.hWorker);
    workers.hWorker = nullptr;
    workers.pWorkerLink.reset();
  }
}

bool WaitForIdleWorker(const CallDeadline& deadline) {
  WorkerLink& link = *TheWorkers().pWorkerLink;
  return PollUntil(link, deadline, [&] { return Idle(link); });
}

std::uint16_t AwaitIdleWorker(const CallDeadline& deadline) {
  return WaitForIdleWorker(deadline) ? 0 : RefuseBusy();
}

std::shared_ptr<Command> NewCommand(std::uint32_t number) {
  try {
    auto command = std::make_shared<Command>();
    command->ulCommand = number;
    return command;
  } catch (const std::bad_alloc&) {
    Refuse(RC_SCAN_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

CommandOutcome PostCommand(const std::shared_ptr<Command>& command, const CallDeadline& deadline,
                           WhenBusy whenBusy) {
  WorkerLink& link = *TheWorkers().pWorkerLink;
  if (!WaitForIdleWorker(deadline) && whenBusy == WhenBusy::Refuse) return {false, RefuseBusy()};
  {
    std::lock_guard guard(link.lock);
    if (link.pCommand != nullptr) {
      TraceLogInt("  command %d left to the worker", static_cast<std::int32_t>(command->ulCommand));
      link.deferred.push_back(command);
      return {false, 0};
    }
    link.pCommand = command;
  }
  // A completion signalled for an abandoned command must not end this wait at once.
  platform::WaitForSemaphore(link.hDoneSem, 0);
  platform::ReleaseSemaphore(link.hCmdSem);

  if (!PollUntil(link, deadline, [&] { return !Holds(link, command); })) {
    if (whenBusy == WhenBusy::Defer) {
      TraceLogInt("  command %d left to the worker", static_cast<std::int32_t>(command->ulCommand));
      return {false, 0};
    }
    TraceLogInt("  command %d did not finish in time",
                static_cast<std::int32_t>(command->ulCommand));
    return {false, Refuse(RC_SCAN_TIMEOUT)};
  }
  PublishStoredCode(*command);
  const auto rc = static_cast<std::uint16_t>(command->lWorkerRc);
  // A code the worker did not store (a cancelled dialog) is an answer, not a refusal.
  if (command->usStoredRc != 0) TraceLogStr("  refused: %s", ReturnCodeName(rc));
  return {true, rc};
}
