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

// Processors of the last decade count and find bits in one instruction each; the scans are
// built for them too and the loader picks the build the processor runs.
#if defined(__x86_64__) && defined(__linux__)
#define KOV_ALSO_FOR_NEWER_PROCESSORS \
  __attribute__((target_clones("default", "arch=x86-64-v3"), flatten))
#else
#define KOV_ALSO_FOR_NEWER_PROCESSORS
#endif

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
// have (a change at every dot) is kept behind the last record, the scan writes into it, and
// the record then takes what it holds. The words grow by doubling and are cut to the records
// at the end, so a line costs no more than its own words.
class RunListWriter {
 public:
  RunListWriter(std::size_t lines, std::size_t length) : length_(length) {
    lists_.starts_.reserve(lines);
    // Room for a page of text's runs at once, so the records are seldom moved as they grow.
    auto& words = lists_.words_;
    words.resize(std::max(words.capacity(), lines * kExpectedWordsPerLine + LineRoom()));
  }

  // Where the next line's boundaries go.
  std::uint16_t* Scratch() {
    auto& words = lists_.words_;
    if (words.size() - used_ < LineRoom()) words.resize(2 * words.size() + LineRoom());
    return words.data() + used_ + 1;
  }

  // Closes the record of the line whose boundaries before its end were written up to `end`.
  // False when the record does not fit its 16-bit length.
  bool Add(const std::uint16_t* end, std::size_t length) {
    std::uint16_t* record = lists_.words_.data() + used_;
    const auto count = static_cast<std::size_t>(end - (record + 1));
    const auto size = count + 4;
    if (size > kMaxRecordWords) return false;
    record[0] = static_cast<std::uint16_t>(size * 2);
    record[1 + count] = static_cast<std::uint16_t>(length);
    record[2 + count] = 0;
    record[3 + count] = 0;
    lists_.starts_.push_back(used_);
    used_ += size;
    return true;
  }

  RunLists Take() && {
    lists_.words_.resize(used_);
    return std::move(lists_);
  }

 private:
  // A line's length word, a boundary at every dot and the record's end.
  std::size_t LineRoom() const { return 1 + length_ + 3; }

  RunLists lists_;
  std::size_t length_;
  std::size_t used_ = 0;  // words the closed records hold
};

namespace {

// 64 dots of a line from `bytes` on, the first in the most significant bit; only `available`
// bytes belong to the line.
std::uint64_t LoadWord(const std::uint8_t* bytes, std::size_t available) {
  if (available >= 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    return std::endian::native == std::endian::little ? __builtin_bswap64(word) : word;
  }
  // Byte by byte, so the word stays out of memory on the common path above.
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < available; ++i) word |= std::uint64_t{bytes[i]} << (56 - 8 * i);
  return word;
}

// Writes the boundaries of one line of `length` dots, but its end, and answers where it
// stopped; `wordAt(i, bytes)` gives the line's 64-dot word i, its first dot in the top bit,
// of which only the first `bytes` bytes belong to the line (8 but in the last word). A word's
// changes of colour are all found at once: the word against itself moved by one dot; each is
// then taken by counting leading zeros.
template <typename WordAt>
std::uint16_t* ScanWords(std::size_t length, std::uint16_t* out, WordAt wordAt) {
  constexpr auto kFirstDot = std::uint64_t{1} << 63;
  std::uint64_t before = 0;  // the dot before the word, in the top bit; white before the line
  const auto scan = [&](std::uint64_t word, std::size_t first, std::uint64_t inLine) {
    auto changes = (word ^ (word >> 1 | before)) & inLine;
    before = word << 63;
    while (changes != 0) {
      const auto bit = std::countl_zero(changes);
      *out++ = static_cast<std::uint16_t>(first + static_cast<std::size_t>(bit));
      changes ^= kFirstDot >> bit;
    }
  };
  // Whole words first, so their loop asks nothing about the line's end.
  const std::size_t whole = length / 64;
  for (std::size_t i = 0; i < whole; ++i) scan(wordAt(i, 8), 64 * i, ~std::uint64_t{0});
  if (const auto rest = length % 64; rest != 0) {
    // Dots past the line are padding.
    scan(wordAt(whole, (rest + 7) / 8), 64 * whole, ~(~std::uint64_t{0} >> rest));
  }
  return out;
}

// No black among the first `length` dots packed from `bytes` on.
bool IsWhite(const std::uint8_t* bytes, std::size_t length) {
  std::uint8_t any = 0;
  for (std::size_t i = 0; i < length / 8; ++i) any |= bytes[i];
  if (length % 8 != 0) any |= bytes[length / 8] & static_cast<std::uint8_t>(0xFF00 >> length % 8);
  return any == 0;
}

// A line packed from `bytes` on, one bit a dot. Many rows of a page are white, and one look
// at all their bytes at once costs less than taking their words one by one.
std::uint16_t* ScanLine(const std::uint8_t* bytes, std::size_t length, std::uint16_t* out) {
  if (IsWhite(bytes, length)) return out;
  return ScanWords(length, out, [bytes](std::size_t i, std::size_t available) {
    return LoadWord(bytes + 8 * i, available);
  });
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

KOV_ALSO_FOR_NEWER_PROCESSORS std::optional<RunLists> ScanRows(const BitonalPage& page) {
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

KOV_ALSO_FOR_NEWER_PROCESSORS std::optional<RunLists> ScanColumns(const BitonalPage& page) {
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
      const auto end = ScanWords(height, out.Scratch(),
                                 [column](std::size_t i, std::size_t) { return column[i]; });
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
