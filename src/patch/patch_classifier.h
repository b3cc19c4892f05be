// Reading one line of a patch: finding its bar and gap edges and judging the bars.
#pragma once

#include <cstdint>

namespace patch {

// Thresholds that follow from the resolution along a line.
struct LineLimits {
  explicit LineLimits(std::int32_t r)
      : minimumRun(static_cast<std::uint16_t>(r / 50)), margin((r / 5) >> 2), wide((2 * r) / 5) {}
  std::uint32_t minimumRun;  // runs no longer than this never start or end an element
  std::int32_t margin;       // marks this close to the line's start (or end, read backwards)
  std::int32_t wide;         // a bar this wide hints at bar-like structure
};

// Judges the edges of a line, bar 1 first, with restarts after noise.
class EdgeJudge {
 public:
  // direction: +1 when edges come in increasing positions, -1 when read backwards.
  // hints: counter of bar-like evidence that did not decode; null when not wanted.
  EdgeJudge(const LineLimits& limits, std::int32_t direction, std::int32_t* hints)
      : limits_(limits), direction_(direction), hints_(hints) {}

  // Records the next edge; the code once the fourth bar is judged, else 0.
  std::int32_t Record(std::int32_t position);
  // For a backward read that ran out at the line's first boundary with seven edges: bar 4
  // ends there. The code, or 0.
  std::int32_t CloseLastBar(std::int32_t lineStart) const;

 private:
  std::int32_t Width(int from, int to) const { return direction_ * (edges_[to] - edges_[from]); }
  void Hint() {
    if (hints_ != nullptr) ++*hints_;
  }
  // Continues with the bar from edges[first] to edges[first + 1] as bar 1.
  void RestartAtBar(int first);
  std::int32_t JudgeLastBar(std::int32_t width) const;

  const LineLimits& limits_;
  std::int32_t direction_;
  std::int32_t* hints_;
  std::int32_t edges_[8] = {};
  int count_ = 0;
  std::int32_t narrow_ = 0;  // narrow-bar width
  std::int32_t gap_ = 0;     // reference gap width
  std::int32_t code_ = 0;
};

}  // namespace patch
