// Steps the worker's record commands share: finishing with a result, keeping a live driver
// as the host last sent it, loading the driver a record names.
#pragma once

#include <cstdint>
#include <memory>

#include "core/command.h"
#include "kovzaft2.h"

// Ends the command with rc, stored for SCANLASTERROR when it is not 0.
void Finish(Command& command, std::int32_t rc);
// Ends with rc for the host alone: SCANLASTERROR does not report it (the user's own choice).
void FinishUnstored(Command& command, std::int32_t rc);
// Ends with the code the failing step stored.
void FinishWithLastCode(Command& command);
void UnloadAndFinish(Command& command, std::int32_t rc);

// Setting, querying and the settings dialog are stateless, but when SCANSETSTATE has left a
// driver loaded they work on that very driver (a load of the same name only counts up). The
// keeper takes the live driver's whole state and the working values before, and puts them
// back after, so the next page is scanned as the host last sent.
class LiveScannerKeeper {
 public:
  LiveScannerKeeper() = default;
  LiveScannerKeeper(const LiveScannerKeeper&) = delete;
  LiveScannerKeeper& operator=(const LiveScannerKeeper&) = delete;
  ~LiveScannerKeeper();
  // False when a live driver's state cannot be taken for want of memory.
  bool Take();
  // Other parameters were sent to the scanner meanwhile: once its tags are put back they are
  // sent again, for a scanner that takes parameters only when they are sent.
  void ResendAfter() { resend_ = true; }

 private:
  std::unique_ptr<ParmRecord> live_;
  bool resend_ = false;
};

// Starts a command that may touch a live driver: false (result set) when it cannot.
bool KeepLiveScanner(Command& command, LiveScannerKeeper& keeper);

// Loads the driver the command's record names (its field read within its 60 bytes): false,
// with the result set, when it cannot be loaded.
bool LoadRecordDriver(Command& command);
