// Run lists: the memory image's description of each row or column of a bitonal page.
//
// One record per line, unsigned 16-bit words. Word 0 is the record's length in bytes, L.
// Words 1 to L/2 - 3 are the line's run boundaries in increasing dot positions: the start of
// its first black run, that run's end, the start of the next black run, and so on; the last
// of them is the line's length, which is also the end of a black run reaching the end of the
// line. Two words 0 close the record. So a record holds n = L/2 - 4 runs, black ones starting
// at the odd words; a line without black holds only its length (L = 8).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "sim/services/images/bitonal_page.h"

namespace sim {

// Vectors of words that grow without writing zeros first: the scan writes every word.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <class U>
  explicit UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <class U, class... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
};

using RunWords = std::vector<std::uint16_t, UninitialisedAllocator<std::uint16_t>>;

class RunLists {
 public:
  RunLists();
  ~RunLists();
  RunLists(RunLists&&) noexcept = default;
  RunLists& operator=(RunLists&&) noexcept = default;

  std::size_t Count() const { return starts_.size(); }
  // The record of line i < Count(); it lives as long as this object.
  const std::uint16_t* Line(std::size_t i) const { return words_.data() + starts_[i]; }

 private:
  friend class RunListWriter;
  RunWords words_;  // every record, one after the other
  std::vector<std::size_t> starts_;
};

enum class LineKind { Rows, Columns };

// Empty when a line is longer than 65535 dots or its record longer than 65535 bytes.
// The page must be well formed (IsWellFormed).
std::optional<RunLists> MakeRunLists(const BitonalPage& page, LineKind kind);

// The same records found one dot at a time: the plain reading that checks and measures the
// one above.
std::optional<RunLists> MakeRunListsDotByDot(const BitonalPage& page, LineKind kind);

}  // namespace sim
