// The scan's progress on the error stream: on a terminal one line rewritten in place with every
// page; elsewhere (a log file, a pipe) a line of its own every few seconds, never a run of
// carriage returns.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>

#include "tools/kovscan/batch.h"

namespace kovscan {

class ProgressLine {
 public:
  // Nothing at all when quiet.
  explicit ProgressLine(bool quiet);
  // With the pages waiting for OCR, when it reads them.
  void Show(const Batch& batch, std::optional<std::size_t> ocrPending);
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
