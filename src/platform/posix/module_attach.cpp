// A shared object's constructor and destructor stand in for process attach and detach.
#include "api/library.h"
#include "platform/platform.h"

namespace {

__attribute__((constructor)) void OnProcessAttach() {
  LibraryAttach(platform::ThisModule());
}

__attribute__((destructor)) void OnProcessDetach() {
  LibraryDetach();
}

}  // namespace
