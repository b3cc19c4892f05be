#include "api/thread.h"

#include <array>

#include "api/framework_session.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "parms/parm_commands.h"
#include "parms/parm_record.h"
#include "pipeline/driver_loading.h"

namespace {

using CommandRoutine = void (*)();

// Commands whose routine is still null are dispatched to nothing; completion is signalled.
constexpr std::array<CommandRoutine, 13> kCommandRoutines = [] {
  std::array<CommandRoutine, 13> routines{};
  routines[CMD_FRAMEWORK_START] = FrameworkStart;
  routines[CMD_FRAMEWORK_STOP] = FrameworkStop;
  routines[CMD_UNLOAD_DRIVER] = UnloadScannerDriver;
  routines[CMD_SET_PARMS] = SetParameter;
  routines[CMD_SEND_PARMS] = SendParameters;
  routines[CMD_QUERY_PARM] = QueryParameter;
  routines[CMD_SEND_PRINT_TEXT] = SendPrintText;
  routines[CMD_COLOUR_TABLE] = FillColourTable;
  return routines;
}();

void RunCommand(std::uint32_t number) {
  if (number < kCommandRoutines.size() && kCommandRoutines[number] != nullptr) {
    kCommandRoutines[number]();
  }
}

std::uint32_t WorkerThread(void* argument) {
  // The thread owns one reference to its link for as long as it runs.
  std::unique_ptr<std::shared_ptr<WorkerLink>> owned(
      static_cast<std::shared_ptr<WorkerLink>*>(argument));
  WorkerLink& link = **owned;
  for (;;) {
    const int signalled = platform::WaitForEitherSemaphore(link.hCmdSem, link.hQuitSem);
    if (signalled == 1) return 0;
    if (signalled != 0) continue;
    const std::uint32_t serial = link.ulPosted.load();
    RunCommand(SCB.ulCommand);
    link.ulDone = serial;
    platform::ReleaseSemaphore(link.hDoneSem);
  }
}

}  // namespace

WorkerLink::~WorkerLink() {
  for (platform::Semaphore* semaphore : {hCmdSem, hDoneSem, hQuitSem}) {
    if (semaphore != nullptr) platform::CloseSemaphore(semaphore);
  }
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
  threadReference.release();  // the thread has it now
  SCB.pWorkerLink = std::move(link);
  SCB.hWorker = worker;
  return true;
}

bool StopWorker(std::uint32_t limitMs) {
  platform::ReleaseSemaphore(SCB.pWorkerLink->hQuitSem);
  const bool ended =
      platform::WaitForThread(SCB.hWorker, limitMs) == platform::WaitResult::Signalled;
  if (!ended) TraceLog("  worker did not end in time; it is left to end on its own");
  platform::CloseThread(SCB.hWorker);
  SCB.hWorker = nullptr;
  SCB.pWorkerLink.reset();  // the semaphores go with the last reference
  return ended;
}

std::int32_t PostCommand(std::uint32_t number, std::uint32_t limitMs) {
  WorkerLink& link = *SCB.pWorkerLink;
  SCB.ulCommand = number;
  const std::uint32_t serial = link.ulPosted.fetch_add(1) + 1;
  platform::ReleaseSemaphore(link.hCmdSem);

  const std::uint32_t start = platform::GetTickCount();
  for (;;) {
    if (limitMs != kNoLimit && platform::GetTickCount() - start >= limitMs) break;
    if (platform::WaitForSemaphore(link.hDoneSem, kPollStepMs) == platform::WaitResult::Signalled &&
        link.ulDone == serial) {
      break;
    }
  }
  return SCB.lWorkerRc;
}
