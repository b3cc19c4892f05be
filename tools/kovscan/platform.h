// What differs between the Linux and Windows builds of kovscan, each build's in files of its
// own: the scanners the system lists, the profile the library reads, the terminal, the
// signals that stop a scan.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace kovscan::platform {

struct Device {
  std::string name;  // as a profile section names it
  std::string description;
};

// How a profile section names one of the system's scanners.
struct DeviceKind {
  const char* system;  // SANE, TWAIN: also the driver name a profile gets by default
  const char* type;    // the section's Type
  const char* key;     // the key that names the device
};

extern const DeviceKind kDeviceKind;

// The scanners the system offers; none when it cannot list them.
std::vector<Device> ListDevices();

// Sets the profile the library reads from now on (its ZAFT_PROFILE).
void UseProfile(const std::filesystem::path& profile);

// Whether the stream goes to a terminal, where a line can be rewritten in place.
bool IsTerminal(std::FILE* stream);

// From now on an interrupt (Ctrl-C), SIGTERM or SIGHUP (Windows: Ctrl-C, Ctrl-Break, the
// console window closed) only asks the scan to stop, so the batch ends in good order with
// what it has; a second one ends the program at once.
void CatchInterrupt();
bool StopRequested();
// What asked the scan to stop ("SIGTERM", ...); empty when nothing did.
std::string StopReason();

// The OCR engine's own threads held to one per engine: its default of one per core for every
// engine made reading several times slower, and the engine reads the limit only from the
// environment the process starts with. Starts the program again with `argv` and the limit
// set to 1 unless a valid limit (a whole number above 0) is set: an empty or invalid one is
// ignored, with a message, and a valid one other than 1 is told. Returns when a valid limit is
// set, or when starting again fails (reading is then slower).
void LimitOcrEngineThreads(char** argv);

// Bytes of memory the system can give without swapping; 0 when it cannot tell.
std::uint64_t AvailableMemory();

}  // namespace kovscan::platform
