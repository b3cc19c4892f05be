// A host that ends without SCANFREE, as hosts do on error paths: it initialises the library
// (and with "scan" also opens the scanner and sends a record), then returns from main. An
// alarm ends it should the exit hang.
//
// With "stuck" it leaves the framework stuck instead: the profile becomes a FIFO, so the
// driver load of SCANQUERYPARM blocks reading it and the call times out; SCANFREE, then
// main returns. Only once the exit handlers ran is the profile written to the FIFO, and the
// worker goes on with the load.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "kovzaft2.h"

namespace {

char profile[4096];
char profileText[4096];

// Registered before the library is loaded: runs after every exit handler of its. The file
// takes the FIFO's place before the stuck reader is given the text, so that no later reader
// blocks.
void ReleaseStuckLoad() {
  const int fifo = open(profile, O_WRONLY | O_NONBLOCK);
  if (fifo < 0) return;  // no reader: nothing was stuck
  const std::string file = std::string(profile) + ".new";
  std::ofstream(file) << profileText;
  std::rename(file.c_str(), profile);
  const auto written = write(fifo, profileText, std::strlen(profileText));
  close(fifo);
  if (written > 0) sleep(2);  // the worker's time to go on
}

// Swaps the profile for a FIFO holding nobody's writes yet; false when it cannot.
bool BlockTheProfile() {
  const char* path = std::getenv("ZAFT_PROFILE");
  if (path == nullptr || std::strlen(path) >= sizeof profile) return false;
  std::ifstream in(path);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (text.size() >= sizeof profileText) return false;
  std::snprintf(profile, sizeof profile, "%s", path);
  std::snprintf(profileText, sizeof profileText, "%s", text.c_str());
  return std::remove(profile) == 0 && mkfifo(profile, 0600) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const bool stuck = std::strcmp(argv[2], "stuck") == 0;
  alarm(stuck ? 90 : 20);
  if (stuck) std::atexit(ReleaseStuckLoad);
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return 3;
  auto init = reinterpret_cast<decltype(&SCANINIT)>(dlsym(library, "SCANINIT"));
  auto open = reinterpret_cast<decltype(&SCANOPEN)>(dlsym(library, "SCANOPEN"));
  auto setParm = reinterpret_cast<decltype(&SCANSETPARM)>(dlsym(library, "SCANSETPARM"));
  auto setState = reinterpret_cast<decltype(&SCANSETSTATE)>(dlsym(library, "SCANSETSTATE"));
  auto query = reinterpret_cast<decltype(&SCANQUERYPARM)>(dlsym(library, "SCANQUERYPARM"));
  auto scanFree = reinterpret_cast<decltype(&SCANFREE)>(dlsym(library, "SCANFREE"));
  if (init == nullptr || open == nullptr || setParm == nullptr || setState == nullptr ||
      query == nullptr || scanFree == nullptr) {
    return 4;
  }
  if (init() != 0) return 5;
  if (stuck) {
    auto record = std::make_unique<ParmRecord>();
    if (setParm("dev", record.get(), SCAN_PARM_INIT, nullptr) != 0) return 7;
    if (!BlockTheProfile()) return 9;
    std::uint16_t bits = 0;
    if (query(record.get(), SCAN_PARM_BPP, &bits) != RC_SCAN_TIMEOUT) return 10;
    if (scanFree() != 0) return 11;
  }
  if (std::strcmp(argv[2], "scan") == 0) {
    std::int32_t handle = 0;
    auto record = std::make_unique<ParmRecord>();
    if (open("dev", 0, &handle) != 0) return 6;
    if (setParm("dev", record.get(), SCAN_PARM_INIT, nullptr) != 0) return 7;
    if (setState(handle, record.get()) != 0) return 8;
  }
  return 0;
}
