// A host that ends without SCANFREE, as hosts do on error paths: it initialises the library
// (and with "scan" also opens the scanner and sends a record), then returns from main. An
// alarm ends it should the exit hang.
#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "kovzaft2.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  alarm(20);
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return 3;
  auto init = reinterpret_cast<decltype(&SCANINIT)>(dlsym(library, "SCANINIT"));
  auto open = reinterpret_cast<decltype(&SCANOPEN)>(dlsym(library, "SCANOPEN"));
  auto setParm = reinterpret_cast<decltype(&SCANSETPARM)>(dlsym(library, "SCANSETPARM"));
  auto setState = reinterpret_cast<decltype(&SCANSETSTATE)>(dlsym(library, "SCANSETSTATE"));
  if (init == nullptr || open == nullptr || setParm == nullptr || setState == nullptr) return 4;
  if (init() != 0) return 5;
  if (std::strcmp(argv[2], "scan") == 0) {
    std::int32_t handle = 0;
    auto record = std::make_unique<ParmRecord>();
    if (open("dev", 0, &handle) != 0) return 6;
    if (setParm("dev", record.get(), SCAN_PARM_INIT, nullptr) != 0) return 7;
    if (setState(handle, record.get()) != 0) return 8;
  }
  return 0;
}
