#include <dlfcn.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace platform {

std::uint32_t GetTickCount() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);  // counts suspended time too, as a tick count does
  const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

std::uint32_t GetCurrentThreadId() {
  return static_cast<std::uint32_t>(gettid());
}

Module* ThisModule() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ThisModule), &info) == 0) return nullptr;
  return static_cast<Module*>(info.dli_fbase);
}

std::size_t GetModuleFileName(Module* module, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) return 0;
  buffer[0] = '\0';
  Dl_info info{};
  if (module == nullptr || dladdr(module, &info) == 0 || info.dli_fname == nullptr ||
      info.dli_fname[0] == '\0') {
    return 0;
  }
  char resolved[PATH_MAX];
  const char* name = realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
  const std::size_t length = std::min(std::strlen(name), bufferSize - 1);
  std::memcpy(buffer, name, length);
  buffer[length] = '\0';
  return length;
}

void* AllocatePages(std::size_t bytes) {
  void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return pages == MAP_FAILED ? nullptr : pages;
}

}  // namespace platform
