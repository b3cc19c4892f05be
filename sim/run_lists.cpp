#include "sim/run_lists.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <mutex>
#include <utility>

namespace sim {

// Positions and the byte length travel in 16-bit words.
inline constexpr std::int64_t kMaxLineLength = 0xFFFF;
inline constexpr std::size_t kMaxRecordWords = 0xFFFF / 2;
inline constexpr std::size_t kExpectedWordsPerLine = 32;

// The words of run lists given up are kept for the next ones, a few at a time: every page
// makes and drops its lists, and fresh memory costs a page fault for every 4 KiB of them.
class SpareWords {
 public:
  static RunWords Take() {
    std::lock_guard lock(Mutex());
    auto& spares = Spares();
    if (spares.empty()) return {};
    RunWords words = std::move(spares.back());
    spares.pop_back();
    words.clear();
    return words;
  }
  static void GiveBack(RunWords&& words) {
    if (words.capacity() == 0) return;
    std::lock_guard lock(Mutex());
    auto& spares = Spares();
    if (spares.size() < kKept) spares.push_back(std::move(words));
  }

 private:
  static constexpr std::size_t kKept = 4;
  // Never destroyed: an image still open at exit gives its words back after this file's
  // statics would be gone.
  static std::mutex& Mutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
  }
  static std::vector<RunWords>& Spares() {
    static auto* spares = new std::vector<RunWords>;
    return *spares;
  }
};

RunLists::RunLists() : words_(SpareWords::Take()) {}

RunLists::~RunLists() {
  SpareWords::GiveBack(std::move(words_));
}

// Appends records one line at a time, each written in place: room for the most a line can
// have (a change at every dot) is made behind the last record, the scan writes into it, and
// the record is then cut to what it holds.
class RunListWriter {
 public:
  RunListWriter(std::size_t lines, std::size_t length) : length_(length) {
    lists_.starts_.reserve(lines);
    // Room for a page of text's runs at once, so the records are seldom moved as they grow.
    lists_.words_.reserve(lines * kExpectedWordsPerLine + length + 4);
  }

  // Where the next line's boundaries go.
  std::uint16_t* Scratch() {
    auto& words = lists_.words_;
    start_ = words.size();
    words.resize(start_ + 1 + length_ + 3);
    return words.data() + start_ + 1;
  }

  // Closes the record of the line whose boundaries before its end were written up to `end`.
  // False when the record does not fit its 16-bit length.
  bool Add(const std::uint16_t* end, std::size_t length) {
    auto& words = lists_.words_;
    const auto count = static_cast<std::size_t>(end - (words.data() + start_ + 1));
    const auto size = count + 4;
    if (size > kMaxRecordWords) return false;
    words[start_] = static_cast<std::uint16_t>(size * 2);
    std::uint16_t* tail = words.data() + start_ + 1 + count;
    tail[0] = static_cast<std::uint16_t>(length);
    tail[1] = 0;
    tail[2] = 0;
    words.resize(start_ + size);
    lists_.starts_.push_back(start_);
    return true;
  }

  RunLists Take() && { return std::move(lists_); }

 private:
  RunLists lists_;
  std::size_t length_;
  std::size_t start_ = 0;
};

namespace {

// 64 dots of a line from `bytes` on, the first in the most significant bit; only `available`
// bytes belong to the line.
std::uint64_t LoadWord(const std::uint8_t* bytes, std::size_t available) {
  std::uint64_t word = 0;
  if (available >= 8) {
    std::memcpy(&word, bytes, 8);
  } else {
    std::memcpy(&word, bytes, available);
  }
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word;
}

// Writes the boundaries of one line of `length` dots, but its end, and answers where it
// stopped; `wordAt(i)` gives the line's 64-dot word i, its first dot in the top bit. A word's
// changes of colour are all found at once: the word against itself moved by one dot; each is
// then taken by counting leading zeros.
template <typename WordAt>
std::uint16_t* ScanWords(std::size_t length, std::uint16_t* out, WordAt wordAt) {
  constexpr auto kFirstDot = std::uint64_t{1} << 63;
  std::uint64_t before = 0;  // the dot before the word, in the top bit; white before the line
  for (std::size_t first = 0; first < length; first += 64) {
    const std::uint64_t word = wordAt(first / 64);
    auto changes = word ^ (word >> 1 | before);
    before = word << 63;
    // Dots past the line are padding.
    if (length - first < 64) changes &= ~(~std::uint64_t{0} >> (length - first));
    while (changes != 0) {
      const auto bit = std::countl_zero(changes);
      *out++ = static_cast<std::uint16_t>(first + static_cast<std::size_t>(bit));
      changes ^= kFirstDot >> bit;
    }
  }
  return out;
}

// A line packed from `bytes` on, one bit a dot.
std::uint16_t* ScanLine(const std::uint8_t* bytes, std::size_t length, std::uint16_t* out) {
  const std::size_t byteCount = (length + 7) / 8;
  return ScanWords(length, out,
                   [&](std::size_t i) { return LoadWord(bytes + 8 * i, byteCount - 8 * i); });
}

// One step of turning a block: in every square of 2j x 2j dots, the top right and bottom left
// quarters change places. A constant j lets the compiler unroll the loops.
template <std::size_t j, std::uint64_t kMask>
void TransposeStep(std::array<std::uint64_t, 64>& block) {
  for (std::size_t k = 0; k < 64; k += 2 * j) {
    for (std::size_t i = k; i < k + j; ++i) {
      const auto swap = (block[i] ^ (block[i + j] >> j)) & kMask;
      block[i] ^= swap;
      block[i + j] ^= swap << j;
    }
  }
}

// Rows become columns: row r, dot c moves to row c, dot r (first dot in the top bit).
void Transpose(std::array<std::uint64_t, 64>& block) {
  TransposeStep<32, 0x00000000FFFFFFFFull>(block);
  TransposeStep<16, 0x0000FFFF0000FFFFull>(block);
  TransposeStep<8, 0x00FF00FF00FF00FFull>(block);
  TransposeStep<4, 0x0F0F0F0F0F0F0F0Full>(block);
  TransposeStep<2, 0x3333333333333333ull>(block);
  TransposeStep<1, 0x5555555555555555ull>(block);
}

std::optional<RunLists> ScanRows(const BitonalPage& page) {
  const auto width = static_cast<std::size_t>(page.width);
  RunListWriter out(static_cast<std::size_t>(page.height), width);
  for (std::size_t y = 0; y < static_cast<std::size_t>(page.height); ++y) {
    const auto end = ScanLine(page.bits.data() + y * page.stride, width, out.Scratch());
    if (!out.Add(end, width)) return std::nullopt;
  }
  return std::move(out).Take();
}

// Columns are turned into rows in 64 x 64 blocks and read by the row scanner. Eight blocks
// side by side share their rows' cache lines, so a band of 512 columns is turned before it
// is scanned: each byte of the page is fetched once. Blocks without black are not turned.
constexpr std::size_t kBlocksPerBand = 8;

std::optional<RunLists> ScanColumns(const BitonalPage& page) {
  const auto width = static_cast<std::size_t>(page.width);
  const auto height = static_cast<std::size_t>(page.height);
  const auto rowBytes = (width + 7) / 8;
  const auto columnWords = (height + 63) / 64;
  // The band's columns, each as its 64-dot words: turned blocks go in as they are.
  std::vector<std::uint64_t> band(64 * kBlocksPerBand * columnWords);
  std::array<std::uint64_t, 64> block{};
  RunListWriter out(width, height);
  for (std::size_t band0 = 0; band0 < width; band0 += 64 * kBlocksPerBand) {
    const auto bandColumns = std::min<std::size_t>(64 * kBlocksPerBand, width - band0);
    for (std::size_t y0 = 0; y0 < height; y0 += 64) {
      const auto rows = std::min<std::size_t>(64, height - y0);
      for (std::size_t b0 = 0; b0 < bandColumns; b0 += 64) {
        const auto x0 = band0 + b0;
        const auto columns = std::min<std::size_t>(64, bandColumns - b0);
        std::uint64_t any = 0;
        for (std::size_t r = 0; r < rows; ++r) {
          block[r] =
              LoadWord(page.bits.data() + (y0 + r) * page.stride + x0 / 8, rowBytes - x0 / 8);
          any |= block[r];
        }
        std::uint64_t* column = band.data() + b0 * columnWords + y0 / 64;
        if (any == 0) {
          for (std::size_t c = 0; c < columns; ++c) column[c * columnWords] = 0;
          continue;
        }
        // Rows left over from the block above land past the column's end, where the scan
        // does not look.
        Transpose(block);
        for (std::size_t c = 0; c < columns; ++c) column[c * columnWords] = block[c];
      }
    }
    for (std::size_t c = 0; c < bandColumns; ++c) {
      const std::uint64_t* column = band.data() + c * columnWords;
      const auto end =
          ScanWords(height, out.Scratch(), [column](std::size_t i) { return column[i]; });
      if (!out.Add(end, height)) return std::nullopt;
    }
  }
  return std::move(out).Take();
}

struct LineShape {
  std::int32_t lines;
  std::int32_t length;
};

LineShape ShapeOf(const BitonalPage& page, LineKind kind) {
  return kind == LineKind::Rows ? LineShape{page.height, page.width}
                                : LineShape{page.width, page.height};
}

}  // namespace

std::optional<RunLists> MakeRunLists(const BitonalPage& page, LineKind kind) {
  if (ShapeOf(page, kind).length > kMaxLineLength) return std::nullopt;
  return kind == LineKind::Rows ? ScanRows(page) : ScanColumns(page);
}

std::optional<RunLists> MakeRunListsDotByDot(const BitonalPage& page, LineKind kind) {
  const auto [lines, length] = ShapeOf(page, kind);
  if (length > kMaxLineLength) return std::nullopt;
  const auto size = static_cast<std::size_t>(length);
  RunListWriter out(static_cast<std::size_t>(lines), size);
  for (std::int32_t line = 0; line < lines; ++line) {
    auto* end = out.Scratch();
    bool black = false;
    for (std::int32_t dot = 0; dot < length; ++dot) {
      const bool isBlack =
          kind == LineKind::Rows ? IsBlack(page, dot, line) : IsBlack(page, line, dot);
      if (isBlack == black) continue;
      *end++ = static_cast<std::uint16_t>(dot);
      black = isBlack;
    }
    if (!out.Add(end, size)) return std::nullopt;
  }
  return std::move(out).Take();
}

}  // namespace sim
