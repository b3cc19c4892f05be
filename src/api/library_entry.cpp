// The library's entry: the system calls it when the library is loaded into a process and
// when it is unloaded again.
#include "core/library.h"
#include "platform/platform.h"

#ifdef _WIN32

// The loader's DllMain, declared with the platform's plain types: process attach and detach
// only; thread attach and detach need nothing.
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

// A shared object's constructor and destructor stand in for process attach and detach.
__attribute__((constructor)) void OnProcessAttach() {
  LibraryAttach(platform::ThisModule());
}

__attribute__((destructor)) void OnProcessDetach() {
  LibraryDetach();
}

}  // namespace

#endif
