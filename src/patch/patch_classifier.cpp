#include "patch/patch_classifier.h"

namespace patch {
namespace {

std::int32_t Low(std::int32_t x) {
  return x - (x >> 2) - (x >> 3);
}
std::int32_t High(std::int32_t x) {
  return x + (x >> 2) + (x >> 3);
}

// y within the tolerance band of x (about 0.625 x to 1.375 x).
bool Matches(std::int32_t y, std::int32_t x) {
  return Low(x) <= y && y <= High(x);
}

// y is about 2.5 times x.
bool TwoAndAHalfTimes(std::int32_t y, std::int32_t x) {
  return Matches((4 * y) / 10, x);
}

}  // namespace

void EdgeJudge::RestartAtBar(int first) {
  edges_[0] = edges_[first];
  edges_[1] = edges_[first + 1];
  narrow_ = Width(0, 1);
  count_ = 2;
}

std::int32_t EdgeJudge::JudgeLastBar(std::int32_t width) const {
  if (Matches(width, narrow_)) return 2 * code_;
  if (TwoAndAHalfTimes(width, narrow_)) return 2 * code_ + 1;
  return 0;
}

std::int32_t EdgeJudge::CloseLastBar(std::int32_t lineStart) const {
  if (count_ != 7) return 0;
  return JudgeLastBar(direction_ * (lineStart - edges_[6]));
}

std::int32_t EdgeJudge::Record(std::int32_t position) {
  const int k = count_;
  edges_[k] = position;
  count_ = k + 1;
  if (k == 0) return 0;
  const std::int32_t d = Width(k - 1, k);
  switch (k) {
    case 1:  // bar 1
      narrow_ = d;
      if (d >= limits_.wide) Hint();
      return 0;
    case 2:  // gap 1
      gap_ = d;
      return 0;
    case 3:  // bar 2: must differ from bar 1
      if (d > narrow_ && TwoAndAHalfTimes(d, narrow_)) {
        code_ = 1;
      } else if (d < narrow_ && TwoAndAHalfTimes(narrow_, d)) {
        code_ = 2;
        narrow_ = d;
      } else {
        RestartAtBar(2);
      }
      if (d >= limits_.wide) Hint();
      return 0;
    case 4:  // gaps 2 and 3: as wide as gap 1, and the narrow bar about the gap's width
    case 6:
      if (Matches(d, gap_) && (gap_ >> 1) <= narrow_ && narrow_ <= gap_ + (gap_ >> 1)) return 0;
      // Go on from the bar before this gap, this gap as the reference.
      edges_[0] = edges_[k - 2];
      edges_[1] = edges_[k - 1];
      edges_[2] = edges_[k];
      gap_ = d;
      narrow_ = Width(0, 1);
      count_ = 3;
      Hint();
      return 0;
    case 5:  // bar 3
      if (Matches(d, narrow_)) {
        code_ = 2 * code_;
      } else if (TwoAndAHalfTimes(d, narrow_)) {
        code_ = 2 * code_ + 1;
      } else {
        RestartAtBar(4);
        Hint();
      }
      return 0;
    default: {  // bar 4
      if (const std::int32_t code = JudgeLastBar(d)) return code;
      RestartAtBar(6);
      Hint();
      return 0;
    }
  }
}

}  // namespace patch
