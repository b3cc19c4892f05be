// Loading and unloading the library.
#pragma once

#include "platform/platform.h"

// Process attach: create ApiLock and keep the module instance. False when the lock cannot be
// made, so the loader refuses the library instead of handing out calls that would crash.
bool LibraryAttach(platform::Module* instance);
// Process detach: delete ApiLock. The worker is not stopped here; hosts call SCANFREE first.
void LibraryDetach();
