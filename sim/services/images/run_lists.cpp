#include "sim/services/images/run_lists.h"

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
// A record ends in 3 words after its boundaries.
inline constexpr std::size_t kRecordEnd = 3;
// Boundaries are written this many at a time; those written past the last go where the
// record's end then goes.
inline constexpr int kBoundariesAtOnce = 4;
static_assert(kBoundariesAtOnce - 1 <= kRecordEnd);

// Words are loaded as they lie in memory, bytes in order from the lowest.
static_assert(std::endian::native == std::endian::little);

// Processors of the last decade count and find bits in one instruction each; the scans are
// built for them too and the loader picks the build the processor runs. Everything the scans
// call is built into them, so it gets those instructions as well. (gcc only: clang cannot
// combine the two, and its builds are the sanitizers', where speed does not matter.)
#if defined(__x86_64__) && defined(__linux__) && !defined(__clang__)
#define KOV_ALSO_FOR_NEWER_PROCESSORS \
  __attribute__((target_clones("default", "arch=x86-64-v3"), flatten))
#else
#define KOV_ALSO_FOR_NEWER_PROCESSORS
#endif

// The words of run lists given up, and the column scan's working words, are kept for the
// next ones, a few at a time: every page makes and drops them, and fresh memory costs a page
// fault for every 4 KiB of it.
template <class Words>
class Spares {
 public:
  static Words Take() {
    std::lock_guard lock(Mutex());
    auto& spares = Kept();
    if (spares.empty()) return {};
    Words words = std::move(spares.back());
    spares.pop_back();
    words.clear();
    return words;
  }
  static void GiveBack(Words&& words) {
    if (words.capacity() == 0) return;
    std::lock_guard lock(Mutex());
    auto& spares = Kept();
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
  static std::vector<Words>& Kept() {
    static auto* spares = new std::vector<Words>;
    return *spares;
  }
};

RunLists::RunLists() : words_(Spares<RunWords>::Take()) {}

RunLists::~RunLists() {
  Spares<RunWords>::GiveBack(std::move(words_));
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
  // A line's length word, a boundary at every dot, and the record's end.
  std::size_t LineRoom() const { return 1 + length_ + kRecordEnd; }

  RunLists lists_;
  std::size_t length_;
  std::size_t used_ = 0;  // words the closed records hold
};

namespace {

using Word = std::uint64_t;

// The 8 bytes from `bytes` on as one word, the first byte lowest; only `available` bytes
// belong to the line, the rest read as 0. A byte holds its first dot in its top bit, so dot i
// of the 64 sits in bit i ^ 7.
Word LoadBytes(const std::uint8_t* bytes, std::size_t available) {
  if (available >= 8) {
    Word word;
    std::memcpy(&word, bytes, 8);
    return word;
  }
  // Byte by byte, so the word stays out of memory on the common path above.
  Word word = 0;
  for (std::size_t i = 0; i < available; ++i) word |= Word{bytes[i]} << 8 * i;
  return word;
}

// A word whose first `n` bits are set.
Word FirstBits(std::size_t n) {
  return n >= 64 ? ~Word{0} : (Word{1} << n) - 1;
}

// Dot i of a word from LoadBytes, moved to bit i.
Word InDotOrder(Word word) {
  word = (word >> 1 & 0x5555555555555555ull) | (word & 0x5555555555555555ull) << 1;
  word = (word >> 2 & 0x3333333333333333ull) | (word & 0x3333333333333333ull) << 2;
  return (word >> 4 & 0x0F0F0F0F0F0F0F0Full) | (word & 0x0F0F0F0F0F0F0F0Full) << 4;
}

// The changes of colour in a word whose dot i sits in bit i, found all at once: the word
// against itself moved by one dot. `before` holds the dot before the word in bit 0.
Word ChangesIn(Word word, Word before) {
  return word ^ (word << 1 | before);
}

// Writes `first` + i for each bit i set in `changes`, in increasing order, and answers where
// they end. A few at a time without asking after each, as a branch on every change costs
// more than the writes: up to kBoundariesAtOnce - 1 are written past the end, for the next
// ones or the record's end to overwrite.
std::uint16_t* WriteChanges(Word changes, std::size_t first, std::uint16_t* out) {
  const auto count = std::popcount(changes);
  std::uint16_t* at = out;
  do {
    for (int k = 0; k < kBoundariesAtOnce; ++k) {
      // Stored one by one: gathered into a vector by the compiler, they cost more.
      static_cast<volatile std::uint16_t*>(at)[k] =
          static_cast<std::uint16_t>(first + static_cast<std::size_t>(std::countr_zero(changes)));
      changes &= changes - 1;
      // Hidden from the compiler, which would otherwise test it after each write.
      __asm__("" : "+r"(changes));
    }
    at += kBoundariesAtOnce;
  } while (changes != 0);
  return out + count;
}

// No black among the first `length` dots packed from `bytes` on.
bool IsWhite(const std::uint8_t* bytes, std::size_t length) {
  std::uint8_t any = 0;
  for (std::size_t i = 0; i < length / 8; ++i) any |= bytes[i];
  if (length % 8 != 0) any |= static_cast<std::uint8_t>(bytes[length / 8] & (0xFF00 >> length % 8));
  return any == 0;
}

// Writes the boundaries of a line of `length` dots packed from `bytes` on, but its end, and
// answers where they end. Many rows of a page are white, and one look at all their bytes at
// once costs less than taking their words one by one.
std::uint16_t* ScanLine(const std::uint8_t* bytes, std::size_t length, std::uint16_t* out) {
  if (IsWhite(bytes, length)) return out;
  Word before = 0;  // the last dot so far, in bit 0; white before the line
  const auto scan = [&](Word bytes8, std::size_t first, Word inLine) {
    // White after white holds no change: most words of a page of text.
    if ((bytes8 | before) == 0) return;
    const auto word = InDotOrder(bytes8);
    const auto changes = ChangesIn(word, before) & inLine;
    before = word >> 63;
    out = WriteChanges(changes, first, out);
  };
  // Whole words first, so their loop asks nothing about the line's end.
  const std::size_t whole = length / 64;
  for (std::size_t i = 0; i < whole; ++i) scan(LoadBytes(bytes + 8 * i, 8), 64 * i, ~Word{0});
  if (const auto rest = length % 64; rest != 0) {
    // Dots past the line are padding.
    scan(LoadBytes(bytes + 8 * whole, (rest + 7) / 8), 64 * whole, FirstBits(rest));
  }
  return out;
}

// A block is turned in vectors of four rows, which the compiler maps onto the processor's
// vector registers, whatever their width.
using FourRows = Word __attribute__((vector_size(32)));

// One step of turning a block: in every square of 2j x 2j bits, the top right and bottom left
// quarters change places (bits j.. of row i with bits 0.. of row i + j). Here j >= 4, so
// rows i and i + j lie in different vectors.
template <int j, Word kMask>
void TransposeStep(std::array<FourRows, 16>& rows) {
  constexpr std::size_t kApart = j / 4;
  for (std::size_t k = 0; k < 16; k += 2 * kApart) {
    for (std::size_t i = k; i < k + kApart; ++i) {
      const FourRows swap = ((rows[i] >> j) ^ rows[i + kApart]) & kMask;
      rows[i + kApart] ^= swap;
      rows[i] ^= swap << j;
    }
  }
}

// Does the same for j = 2 and 1, within each vector: rows 0 and 1 pair with 2 and 3, then
// rows 0 and 2 with 1 and 3.
void TransposeWithin(FourRows& rows) {
  FourRows swap = ((rows >> 2) ^ __builtin_shufflevector(rows, rows, 2, 3, 0, 1)) &
                  FourRows{0x3333333333333333ull, 0x3333333333333333ull, 0, 0};
  rows ^= (swap << 2) | __builtin_shufflevector(swap, swap, 2, 3, 0, 1);
  swap = ((rows >> 1) ^ __builtin_shufflevector(rows, rows, 1, 0, 3, 2)) &
         FourRows{0x5555555555555555ull, 0, 0x5555555555555555ull, 0};
  rows ^= (swap << 1) | __builtin_shufflevector(swap, swap, 1, 0, 3, 2);
}

// Bit c of row r moves to bit r of row c.
void Transpose(std::array<Word, 64>& block) {
  std::array<FourRows, 16> rows;
  // Vector by vector: one copy of the whole block is a slow string move.
  for (std::size_t v = 0; v < rows.size(); ++v) {
    std::memcpy(&rows[v], &block[4 * v], sizeof rows[v]);
  }
  TransposeStep<32, 0x00000000FFFFFFFFull>(rows);
  TransposeStep<16, 0x0000FFFF0000FFFFull>(rows);
  TransposeStep<8, 0x00FF00FF00FF00FFull>(rows);
  TransposeStep<4, 0x0F0F0F0F0F0F0F0Full>(rows);
  for (auto& four : rows) TransposeWithin(four);
  for (std::size_t v = 0; v < rows.size(); ++v) {
    std::memcpy(&block[4 * v], &rows[v], sizeof rows[v]);
  }
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

// Columns are read in bands of 512, 64 rows at a time: the eight 64 x 64 blocks of a band
// side by side share their rows' cache lines, so each byte of the page is fetched once. The
// rows show which columns of a block change at all (a dot unlike the one above it); a block
// where none does is not turned. In a turned block the changes of colour down all its
// columns are found at once. The masks of changing columns, turned in their turn, tell each
// column which of its words hold changes, and the column is written from those alone.
class ColumnBand {
 public:
  static constexpr std::size_t kBlocks = 8;
  static constexpr std::size_t kColumns = 64 * kBlocks;
  // From one word of the columns' changes to the next: a cache line more than the band, so
  // that a column's words, read one after the other, do not all compete for the same few
  // places in the cache.
  static constexpr std::size_t kChangesStride = kColumns + 8;

  explicit ColumnBand(const BitonalPage& page)
      : page_(page),
        rowBytes_((static_cast<std::size_t>(page.width) + 7) / 8),
        height_(static_cast<std::size_t>(page.height)),
        columnWords_((height_ + 63) / 64),
        presentWords_((columnWords_ + 63) / 64),
        words_(Spares<BandWords>::Take()) {
    // Every word is written before it is read: no zeros first.
    words_.resize(kChangesStride * columnWords_ + 64 * presentWords_ * kBlocks +
                  kColumns * presentWords_);
    changes_ = words_.data();
    changing_ = changes_ + kChangesStride * columnWords_;
    present_ = changing_ + 64 * presentWords_ * kBlocks;
  }
  ~ColumnBand() { Spares<BandWords>::GiveBack(std::move(words_)); }
  ColumnBand(const ColumnBand&) = delete;
  ColumnBand& operator=(const ColumnBand&) = delete;

  // Takes the band of columns from `x0` on, `columns` <= kColumns of them.
  void Read(std::size_t x0, std::size_t columns) {
    std::fill_n(changing_, 64 * presentWords_ * kBlocks, Word{0});
    above_.fill(0);
    const auto blocks = (columns + 63) / 64;
    for (std::size_t y0 = 0; y0 < height_; y0 += 64) {
      const auto rows = std::min<std::size_t>(64, height_ - y0);
      Load(x0, y0, rows);
      const auto differ = Differences(rows);
      for (std::size_t b = 0; b < blocks; ++b) {
        const Word changing =
            InDotOrder(differ[b]) & FirstBits(std::min<std::size_t>(64, columns - 64 * b));
        changing_[y0 / 64 * kBlocks + b] = changing;
        // Where no column changes (white under white, most of a page), nothing is turned.
        if (changing != 0) Turn(b, y0, rows);
      }
      above_ = rows_[rows - 1];
    }
    // Word i, block b's column c: bit c of changing_[i][b] becomes bit i of the column's note.
    std::array<Word, 64> masks;
    for (std::size_t p = 0; p < presentWords_; ++p) {
      for (std::size_t b = 0; b < blocks; ++b) {
        for (std::size_t i = 0; i < 64; ++i) masks[i] = changing_[(64 * p + i) * kBlocks + b];
        Transpose(masks);
        for (std::size_t c = 0; c < 64; ++c) present_[(64 * b + c) * presentWords_ + p] = masks[c];
      }
    }
  }

  // Writes the boundaries of the band's column c, but its end.
  std::uint16_t* Write(std::size_t c, std::uint16_t* out) const {
    const Word* changes = changes_ + (c ^ 7);
    const Word* present = present_ + c * presentWords_;
    for (std::size_t p = 0; p < presentWords_; ++p) {
      for (Word words = present[p]; words != 0; words &= words - 1) {
        const auto i = 64 * p + static_cast<std::size_t>(std::countr_zero(words));
        out = WriteChanges(changes[i * kChangesStride], 64 * i, out);
      }
    }
    return out;
  }

 private:
  // Loads the band's `rows` rows from (x0, y0) on; bytes past a row's end and rows past the
  // page's are white. Most bands lie wholly on the page, their rows copied at a fixed size.
  void Load(std::size_t x0, std::size_t y0, std::size_t rows) {
    const std::uint8_t* first = page_.bits.data() + y0 * page_.stride + x0 / 8;
    const auto available = rowBytes_ - x0 / 8;
    for (std::size_t r = 0; r < rows; ++r) {
      const std::uint8_t* row = first + r * page_.stride;
      if (available >= sizeof rows_[r]) {
        std::memcpy(rows_[r].data(), row, sizeof rows_[r]);
      } else {
        rows_[r].fill(0);
        std::memcpy(rows_[r].data(), row, available);
      }
    }
    for (std::size_t r = rows; r < 64; ++r) rows_[r].fill(0);
  }

  // Per block, the dots (as loaded) that differ from the dot above them in any of the first
  // `rows` rows.
  std::array<Word, kBlocks> Differences(std::size_t rows) const {
    std::array<Word, kBlocks> differ{};
    const BandRow* above = &above_;
    for (std::size_t r = 0; r < rows; above = &rows_[r], ++r) {
      for (std::size_t b = 0; b < kBlocks; ++b) differ[b] |= rows_[r][b] ^ (*above)[b];
    }
    return differ;
  }

  // Finds the changes down the columns of the band's block b in the rows loaded from y0 on,
  // `rows` of them. Every column is taken, whether it changes or not: that is work the
  // compiler can do in vectors, where asking would cost a branch for each.
  void Turn(std::size_t b, std::size_t y0, std::size_t rows) {
    for (std::size_t r = 0; r < 64; ++r) block_[r] = rows_[r][b];
    Transpose(block_);
    // Dot c of a row sat in bit c ^ 7, so column c came out as row c ^ 7, its dots in order,
    // and the dot above it sits in bit c ^ 7 of the row above. A column black on the page's
    // last row does not change after it.
    const Word inPage = FirstBits(rows);
    Word* changes = changes_ + y0 / 64 * kChangesStride + 64 * b;
    for (std::size_t r = 0; r < 64; ++r) {
      changes[r] = ChangesIn(block_[r], above_[b] >> r & 1) & inPage;
    }
  }

  const BitonalPage& page_;
  std::size_t rowBytes_;
  std::size_t height_;
  std::size_t columnWords_;   // 64-dot words down a column
  std::size_t presentWords_;  // words of a column's note of which of them hold changes
  using BandWords = std::vector<Word, UninitialisedAllocator<Word>>;
  BandWords words_;  // the three below, one after the other
  Word* changes_;    // word by word; in each, the band's columns as turned (c ^ 7)
  Word* changing_;   // word by word, block by block: the columns that change there
  Word* present_;    // column by column: the notes
  using BandRow = std::array<Word, kBlocks>;
  std::array<BandRow, 64> rows_{};  // the rows being read, as loaded
  BandRow above_{};                 // the row above them
  std::array<Word, 64> block_{};
};

KOV_ALSO_FOR_NEWER_PROCESSORS std::optional<RunLists> ScanColumns(const BitonalPage& page) {
  const auto width = static_cast<std::size_t>(page.width);
  const auto height = static_cast<std::size_t>(page.height);
  ColumnBand band(page);
  RunListWriter out(width, height);
  for (std::size_t x0 = 0; x0 < width; x0 += ColumnBand::kColumns) {
    const auto columns = std::min(ColumnBand::kColumns, width - x0);
    band.Read(x0, columns);
    for (std::size_t c = 0; c < columns; ++c) {
      if (!out.Add(band.Write(c, out.Scratch()), height)) return std::nullopt;
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
