// The scan's progress on the error stream: on a terminal one line rewritten in place with every
// page; elsewhere (a log file, a pipe) a line of its own every few seconds, never a run of
// carriage returns.
#pragma once

#include <chrono>

#include "tools/kovscan/batch.h"

namespace kovscan {

class ProgressLine {
 public:
  // Nothing at all when quiet.
  explicit ProgressLine(bool quiet);
  void Show(const Batch& batch);
  // What follows starts on a line of its own.
  void End();

 private:
  using Clock = std::chrono::steady_clock;
  bool shown_;
  bool terminal_;
  bool open_ = false;  // a terminal line not ended yet
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastLine_{};
};

}  // namespace kovscan
