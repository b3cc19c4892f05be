#include "tools/kovscan/progress_line.h"

#include <cstdio>

#include "tools/kovscan/platform.h"

namespace kovscan {

namespace {

constexpr auto kLogInterval = std::chrono::seconds(5);

}  // namespace

ProgressLine::ProgressLine(bool quiet)
    : shown_(!quiet), terminal_(!quiet && platform::IsTerminal(stderr)) {}

void ProgressLine::Show(const Batch& batch, std::optional<std::size_t> ocrPending) {
  if (!shown_) return;
  const auto now = Clock::now();
  if (!terminal_ && lastLine_ != Clock::time_point{} && now - lastLine_ < kLogInterval) return;
  lastLine_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  char ocr[48] = "";
  if (ocrPending) std::snprintf(ocr, sizeof ocr, "  OCR queue %zu", *ocrPending);
  // Blanks at the end wipe what a longer line left on the terminal.
  std::fprintf(stderr, "%spages %zu  %.0f pages/min  %.1f MB%s%s", terminal_ ? "\r" : "",
               batch.pages.size(),
               seconds > 0 ? static_cast<double>(batch.pages.size()) * 60.0 / seconds : 0.0,
               static_cast<double>(batch.bytes) / 1e6, ocr, terminal_ ? "   " : "\n");
  std::fflush(stderr);
  open_ = terminal_;
}

void ProgressLine::End() {
  if (!open_) return;
  std::fputc('\n', stderr);
  open_ = false;
}

}  // namespace kovscan
