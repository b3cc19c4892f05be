#include "core/command.h"

#include "core/control_block.h"

namespace {
thread_local Command* pRunningCommand = nullptr;
}

RunningCommandScope::RunningCommandScope(Command& command) {
  pRunningCommand = &command;
}

RunningCommandScope::~RunningCommandScope() {
  pRunningCommand = nullptr;
}

void StoreLastRc(std::uint16_t rc) {
  if (pRunningCommand != nullptr) {
    pRunningCommand->usStoredRc = rc;
  } else {
    usLastRc = rc;
  }
}

std::uint16_t LastRc() {
  return pRunningCommand != nullptr ? pRunningCommand->usStoredRc : usLastRc.load();
}

char* ErrorTextToStore() {
  if (pRunningCommand == nullptr) return szErrorText;
  pRunningCommand->bStoredText = true;
  return pRunningCommand->szErrorText;
}
