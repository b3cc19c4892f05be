#include "core/library.h"

#include "core/control_block.h"

bool LibraryAttach(platform::Module* instance) {
  hModuleInstance = instance;
  ApiLock = platform::CreateCriticalSection();
  return ApiLock != nullptr;
}

void LibraryDetach() {
  if (ApiLock == nullptr) return;
  platform::DeleteCriticalSection(ApiLock);
  ApiLock = nullptr;
}
