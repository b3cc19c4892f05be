// The library's entry: the system calls it when the library is loaded into a process and
// when it is unloaded again.
#include "api/thread.h"
#include "core/library.h"
#include "platform/platform.h"

#ifdef _WIN32

// The loader's DllMain, declared with the platform's plain types: process attach and detach
// only; thread attach and detach need nothing. A worker is not waited for here: at process
// end the system has ended it already, and a wait under the loader's lock could never end.
extern "C" int __stdcall DllMain(platform::Module* instance, std::uint32_t reason, void*) {
  switch (reason) {
    case platform::kProcessAttach:
      return LibraryAttach(instance) ? 1 : 0;
    case platform::kProcessDetach:
      LibraryDetach();
      return 1;
    default:
      return 1;
  }
}

#else

namespace {

// A shared object's constructor and destructor stand in for process attach and detach. A
// host that ends (or unloads the library) without SCANFREE leaves its worker waiting: it is
// told to end so that no code of ours runs after the unload; one stuck in a driver is left
// to the end of the process, which never waits for it.
__attribute__((constructor)) void OnProcessAttach() {
  LibraryAttach(platform::ThisModule());
}

__attribute__((destructor)) void OnProcessDetach() {
  EndWorkerAtUnload();
  LibraryDetach();
}

}  // namespace

#endif
