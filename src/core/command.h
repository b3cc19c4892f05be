// A command for the worker: its number, its own copies of the caller's arguments, and its
// results. The posting call fills it; the worker reads and writes only the command, never the
// host's memory; the posting call hands the results to the host when it is still waiting at
// completion. A command whose caller gave up is finished by the worker and then forgotten.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/error_text.h"
#include "kovzaft2.h"

// The largest usParm value layout (SCAN_RES).
inline constexpr std::size_t kParmValueSize = sizeof(SCAN_RES);
// Entries of an 8-bit colour table.
inline constexpr std::size_t kColourTableSize = 256;

struct Command {
  // The record and the colour table are left as they are here: the posting call fills the
  // record for the commands that read it, and the colour table is written before it is read.
  // Zeroing 58 KiB for every command would cost a page more than its delivery.
  Command() noexcept {}

  std::uint32_t ulCommand = 0;

  // Arguments, copied from the caller.
  ParmRecord Parms;          // commands 4, 5, 6, 10, 12: the caller's record
  std::uint16_t usParm = 0;  // commands 4, 6
  bool bHasValue = false;    // commands 4, 6: the caller gave a value
  std::array<std::uint8_t, kParmValueSize> Value{};  // its bytes, in and out
  std::optional<std::string> PrtText;                // command 7; none for a null text

  // Results.
  std::int32_t lWorkerRc = 0;
  std::uint16_t usStoredRc = 0;  // the code the routine stored for SCANLASTERROR, 0 for none
  bool bStoredText = false;      // szErrorText holds the framework text that goes with it
  char szErrorText[kErrorTextSize] = {};
  std::array<SCAN_CLT_ENTRY, kColourTableSize> Clt;  // command 12
  std::size_t cltEntries = 0;

  // The value buffer as the routines see it: null when the caller gave none.
  void* pValue() { return bHasValue ? Value.data() : nullptr; }
};

// While a worker routine runs, the codes and texts it stores go into its command; elsewhere
// into usLastRc and szErrorText. The worker marks the command it runs with this scope.
class RunningCommandScope {
 public:
  explicit RunningCommandScope(Command& command);
  ~RunningCommandScope();
  RunningCommandScope(const RunningCommandScope&) = delete;
  RunningCommandScope& operator=(const RunningCommandScope&) = delete;
};

// Stores the code SCANLASTERROR reports: in the running command on the worker, else usLastRc.
void StoreLastRc(std::uint16_t rc);
// The code stored last, where StoreLastRc stores it.
std::uint16_t LastRc();
// The buffer (kErrorTextSize bytes) for the framework text that goes with RC_SCAN_ZAFT_ERROR,
// where StoreLastRc stores; marks it as holding a text.
char* ErrorTextToStore();
