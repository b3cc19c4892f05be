// Memory images: their tags, and the run lists they give for rows and columns.
#include "sim/services/images/mem_image.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "framework/tags.h"
#include "sim/kit/page_generator.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/switches.h"
#include "sim/services/images/run_lists.h"

namespace {

using sim::Op;
using Record = std::vector<std::uint16_t>;

Record Whole(const std::uint16_t* record) {
  return Record(record, record + record[0] / 2);
}

// An open image holding a page, closed at the end of the scope.
class FilledImage {
 public:
  explicit FilledImage(sim::BitonalPage page) {
    EXPECT_EQ(QelMemImageOpen(&image_), 0);
    EXPECT_EQ(sim::FillMemImage(image_, std::move(page)), 0);
  }
  ~FilledImage() { QelMemImageClose(image_); }
  FilledImage(const FilledImage&) = delete;
  FilledImage& operator=(const FilledImage&) = delete;

  QelMemImage Get() const { return image_; }

  std::int32_t Tag(std::uint16_t tag) const {
    std::int32_t value = -1;
    EXPECT_EQ(QelMemGetTag(image_, tag, &value), 0) << tag;
    return value;
  }

  // Every row's or column's record.
  std::vector<Record> Lines(std::uint32_t request) const {
    const auto count = Tag(request == kQelMemRowRuns ? kTagImageLength : kTagImageWidth);
    std::vector<const std::uint16_t*> lines(static_cast<std::size_t>(count));
    EXPECT_EQ(QelMemGetTagArray(image_, request, lines.data(), count), 0);
    std::vector<Record> records;
    for (const auto* line : lines) records.push_back(Whole(line));
    return records;
  }

 private:
  QelMemImage image_ = nullptr;
};

std::vector<Record> DotByDot(const sim::BitonalPage& page, sim::LineKind kind) {
  const auto lists = sim::MakeRunListsDotByDot(page, kind);
  std::vector<Record> records;
  for (std::size_t i = 0; i < lists->Count(); ++i) records.push_back(Whole(lists->Line(i)));
  return records;
}

// Runs of random lengths, so that boundaries fall anywhere in and across words; the bits past
// each row's end are random too and must not show.
sim::BitonalPage RandomPage(std::mt19937& random, std::int32_t width, std::int32_t height,
                            std::size_t extraStride, std::uint32_t meanRun) {
  sim::BitonalPage page;
  page.width = width;
  page.height = height;
  page.stride = (static_cast<std::size_t>(width) + 7) / 8 + extraStride;
  page.bits.resize(page.stride * static_cast<std::size_t>(height));
  for (auto& byte : page.bits) byte = static_cast<std::uint8_t>(random());
  for (std::int32_t y = 0; y < height; ++y) {
    bool black = random() % 2 == 0;
    for (std::int32_t x = 0; x < width;) {
      const auto end = std::min<std::int64_t>(
          width, x + 1 + static_cast<std::int64_t>(random() % (2 * meanRun)));
      for (; x < end; ++x) {
        auto& byte =
            page.bits[static_cast<std::size_t>(y) * page.stride + static_cast<std::size_t>(x / 8)];
        const auto bit = static_cast<std::uint8_t>(0x80u >> (x % 8));
        byte = black ? byte | bit : byte & ~bit;
      }
      black = !black;
    }
  }
  return page;
}

void ExpectBothKindsMatchTheDotByDotReading(const sim::BitonalPage& page, const std::string& name) {
  const auto rows = DotByDot(page, sim::LineKind::Rows);
  const auto columns = DotByDot(page, sim::LineKind::Columns);
  const FilledImage image(page);
  EXPECT_EQ(image.Lines(kQelMemRowRuns), rows) << name;
  EXPECT_EQ(image.Lines(kQelMemColumnRuns), columns) << name;
}

class MemImage : public ::testing::Test {
 protected:
  void SetUp() override { sim::ResetSwitches(); }
  void TearDown() override { sim::ResetSwitches(); }
};

TEST_F(MemImage, RunListsMatchTheDotByDotReadingOnRandomPages) {
  std::mt19937 random(7);
  // 4161 rows: a column's note of which words hold changes takes two words.
  const std::array<std::array<std::int32_t, 2>, 9> sizes{
      {{1, 1}, {7, 3}, {63, 64}, {64, 65}, {65, 63}, {130, 129}, {517, 200}, {64, 1}, {70, 4161}}};
  for (const auto& [width, height] : sizes) {
    for (const std::size_t extraStride : {std::size_t{0}, std::size_t{5}}) {
      for (const std::uint32_t meanRun : {1u, 3u, 40u}) {
        ExpectBothKindsMatchTheDotByDotReading(
            RandomPage(random, width, height, extraStride, meanRun),
            std::to_string(width) + "x" + std::to_string(height) + " stride +" +
                std::to_string(extraStride) + " runs ~" + std::to_string(meanRun));
      }
    }
  }
}

TEST_F(MemImage, RunListsMatchTheDotByDotReadingOnGeneratedPages) {
  ExpectBothKindsMatchTheDotByDotReading(sim::RenderPage(sim::TextPageRecipe(200, 3)), "text");

  sim::PageRecipe mixed;
  mixed.width = 4.1;
  mixed.height = 5.3;
  mixed.xDpi = 203;
  mixed.yDpi = 197;
  mixed.photos = {{0.2, 0.2, 1.5, 1.5}};
  mixed.barcodes = {{2.0, 0.2, 2.0, 0.5}};
  mixed.text = {{0.2, 2.0, 3.5, 1.0}};
  sim::PatchSymbol upright;
  upright.left = 0.3;
  upright.top = 3.1;
  sim::PatchSymbol turned;
  turned.bars = sim::kPatchTBars;
  turned.turn = sim::PatchTurn::Turned;
  turned.left = 1.9;
  turned.top = 3.1;
  mixed.patches = {upright, turned};
  mixed.specks = 40;
  mixed.thinLines = 6;
  ExpectBothKindsMatchTheDotByDotReading(sim::RenderPage(mixed), "mixed");

  // Blocks all black under black change nowhere and are skipped; the columns' runs go on
  // through them.
  auto solid = sim::BlankPage(600, 700, 200, 200);
  sim::FillRect(solid, 10, 20, 580, 650);
  sim::FillRect(solid, 300, 0, 1, 700);
  ExpectBothKindsMatchTheDotByDotReading(solid, "solid");
}

// Black spans of one line, and the record it must give.
struct LineCase {
  std::vector<std::array<std::int32_t, 2>> spans;
  Record record;
};

TEST_F(MemImage, RecordsLayOutTheRunsOfEachLine) {
  constexpr std::int32_t kLength = 130;  // three 64-dot words, the last one partly used
  const std::vector<LineCase> cases{
      {{}, {8, 130, 0, 0}},
      {{{0, 3}}, {12, 0, 3, 130, 0, 0}},
      {{{120, 130}}, {10, 120, 130, 0, 0}},
      {{{0, 130}}, {10, 0, 130, 0, 0}},
      {{{1, 2}, {3, 4}, {63, 64}, {128, 129}}, {24, 1, 2, 3, 4, 63, 64, 128, 129, 130, 0, 0}},
      {{{60, 64}, {65, 129}}, {16, 60, 64, 65, 129, 130, 0, 0}},
      {{{64, 128}}, {12, 64, 128, 130, 0, 0}},
      {{{0, 1}, {129, 130}}, {14, 0, 1, 129, 130, 0, 0}},
  };
  const auto lines = static_cast<std::int32_t>(cases.size());
  auto rows = sim::BlankPage(kLength, lines, 200, 200);
  auto columns = sim::BlankPage(lines, kLength, 200, 200);
  for (std::int32_t line = 0; line < lines; ++line) {
    for (const auto& [from, to] : cases[static_cast<std::size_t>(line)].spans) {
      sim::FillRect(rows, from, line, to - from, 1);
      sim::FillRect(columns, line, from, 1, to - from);
    }
  }
  const FilledImage rowImage(std::move(rows));
  const FilledImage columnImage(std::move(columns));
  const auto rowRecords = rowImage.Lines(kQelMemRowRuns);
  const auto columnRecords = columnImage.Lines(kQelMemColumnRuns);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(rowRecords[i], cases[i].record) << "row " << i;
    EXPECT_EQ(columnRecords[i], cases[i].record) << "column " << i;
  }
}

TEST_F(MemImage, AnImageLeftOpenWithItsRunListsEndsWithTheProgram) {
  // Words of closed images are kept for later ones; an image still open at exit gives its
  // words back while the program's statics go.
  const auto openWithRunLists = [] {
    QelMemImage image = nullptr;
    QelMemImageOpen(&image);
    sim::FillMemImage(image, sim::RenderPage(sim::TextPageRecipe(100)));
    std::vector<const std::uint16_t*> rows(1100);
    QelMemGetTagArray(image, kQelMemRowRuns, rows.data(), 1100);
    return image;
  };
  EXPECT_EXIT(
      {
        QelMemImageClose(openWithRunLists());
        openWithRunLists();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(MemImage, LinesAndRecordsMustFitSixteenBitWords) {
  {
    const FilledImage wide(sim::BlankPage(65536, 2, 200, 200));
    const std::uint16_t* line = nullptr;
    EXPECT_EQ(QelMemGetTagArray(wide.Get(), kQelMemRowRuns, &line, 1), sim::error::kLineTooLong);
    EXPECT_EQ(line, nullptr);
    const auto columns = wide.Lines(kQelMemColumnRuns);
    ASSERT_EQ(columns.size(), 65536u);
    EXPECT_EQ(columns.back(), (Record{8, 2, 0, 0}));
  }
  {
    const FilledImage widest(sim::BlankPage(65535, 1, 200, 200));
    EXPECT_EQ(widest.Lines(kQelMemRowRuns), (std::vector<Record>{{8, 65535, 0, 0}}));
  }
  // Single dots at every odd position: 32764 boundaries fill a record of 65534 bytes when the
  // last dot ends the line, one more boundary does not fit.
  for (const std::int32_t width : {32764, 32765}) {
    auto page = sim::BlankPage(width, 1, 200, 200);
    for (std::int32_t x = 1; x < 32764; x += 2) sim::FillRect(page, x, 0, 1, 1);
    const FilledImage image(std::move(page));
    const std::uint16_t* line = nullptr;
    const auto result = QelMemGetTagArray(image.Get(), kQelMemRowRuns, &line, 1);
    if (width == 32764) {
      ASSERT_EQ(result, 0);
      EXPECT_EQ(line[0], 65534);
      EXPECT_EQ(line[32763], 32763);
      EXPECT_EQ(line[32764], 32764) << "the last dot's end is the end of the line";
      EXPECT_EQ(line[32765], 0);
    } else {
      EXPECT_EQ(result, sim::error::kLineTooLong);
    }
  }
}

TEST_F(MemImage, TagsGiveTheSizeAndPackedResolutions) {
  auto page = sim::BlankPage(2550, 3300, 300, 200);
  page.yResolution = {1200, 7};
  const FilledImage image(std::move(page));
  EXPECT_EQ(image.Tag(kTagImageWidth), 2550);
  EXPECT_EQ(image.Tag(kTagImageLength), 3300);
  EXPECT_EQ(image.Tag(kTagXResolution), 0x0001012C);
  EXPECT_EQ(image.Tag(kTagYResolution), 7 << 16 | 1200);

  std::int32_t value = 42;
  EXPECT_EQ(QelMemGetTag(image.Get(), kTagBitsPerSample, &value), sim::error::kTagNotSupported);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(QelMemGetTag(image.Get(), kTagImageWidth, nullptr), sim::error::kInvalidArgument);
}

TEST_F(MemImage, AnEmptyImageHasNoLines) {
  QelMemImage image = nullptr;
  ASSERT_EQ(QelMemImageOpen(&image), 0);
  std::int32_t width = -1;
  EXPECT_EQ(QelMemGetTag(image, kTagImageWidth, &width), 0);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(QelMemGetTagArray(image, kQelMemRowRuns, nullptr, 0), 0);
  const std::uint16_t* line = nullptr;
  EXPECT_EQ(QelMemGetTagArray(image, kQelMemColumnRuns, &line, 1), sim::error::kInvalidArgument);
  EXPECT_EQ(QelMemImageClose(image), 0);
}

TEST_F(MemImage, RequestsThatCannotBeMetWriteNothing) {
  const FilledImage image(sim::BlankPage(30, 20, 200, 200));
  std::array<const std::uint16_t*, 32> lines{};
  const auto request = [&](std::uint32_t kind, std::int32_t count) {
    lines.fill(nullptr);
    const auto result = QelMemGetTagArray(image.Get(), kind, lines.data(), count);
    EXPECT_EQ(lines, decltype(lines){}) << kind << " " << count;
    return result;
  };
  EXPECT_EQ(request(kQelMemRowRuns, 21), sim::error::kInvalidArgument);
  EXPECT_EQ(request(kQelMemColumnRuns, 31), sim::error::kInvalidArgument);
  EXPECT_EQ(request(kQelMemRowRuns, -1), sim::error::kInvalidArgument);
  EXPECT_EQ(request(kQelMemColumnRuns + 1, 1), sim::error::kTagNotSupported);
  EXPECT_EQ(QelMemGetTagArray(image.Get(), kQelMemRowRuns, nullptr, 1),
            sim::error::kInvalidArgument);
  EXPECT_EQ(QelMemGetTagArray(image.Get(), kQelMemColumnRuns, lines.data(), 30), 0);
}

TEST_F(MemImage, RecordsStayWhereTheyAreUntilTheImageCloses) {
  const FilledImage image(sim::RenderPage(sim::TextPageRecipe(200, 5)));
  const auto height = image.Tag(kTagImageLength);
  std::vector<const std::uint16_t*> first(static_cast<std::size_t>(height));
  ASSERT_EQ(QelMemGetTagArray(image.Get(), kQelMemRowRuns, first.data(), height), 0);
  const auto before = Whole(first[400]);

  std::vector<const std::uint16_t*> columns(static_cast<std::size_t>(image.Tag(kTagImageWidth)));
  ASSERT_EQ(QelMemGetTagArray(image.Get(), kQelMemColumnRuns, columns.data(),
                              static_cast<std::int32_t>(columns.size())),
            0);
  std::vector<const std::uint16_t*> again(10);
  ASSERT_EQ(QelMemGetTagArray(image.Get(), kQelMemRowRuns, again.data(), 10), 0);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), first.begin()));
  EXPECT_EQ(Whole(first[400]), before);
}

TEST_F(MemImage, ClosedOrForeignImagesAreRefused) {
  const auto before = sim::LiveImageCount();
  QelMemImage image = nullptr;
  ASSERT_EQ(QelMemImageOpen(&image), 0);
  EXPECT_EQ(sim::LiveImageCount(), before + 1);
  EXPECT_EQ(QelMemImageClose(image), 0);
  EXPECT_EQ(sim::LiveImageCount(), before);

  std::int32_t value = 0;
  const std::uint16_t* line = nullptr;
  EXPECT_EQ(QelMemImageClose(image), sim::error::kInvalidArgument) << "an image closes once";
  EXPECT_EQ(QelMemGetTag(image, kTagImageWidth, &value), sim::error::kInvalidArgument);
  EXPECT_EQ(QelMemGetTagArray(image, kQelMemRowRuns, &line, 0), sim::error::kInvalidArgument);
  EXPECT_EQ(sim::FillMemImage(image, sim::BlankPage(8, 8, 200, 200)), sim::error::kInvalidArgument);
  EXPECT_EQ(QelMemImageOpen(nullptr), sim::error::kInvalidArgument);
  EXPECT_EQ(sim::LiveImageCount(), before);
}

TEST_F(MemImage, FillTakesOneWellFormedPage) {
  QelMemImage image = nullptr;
  ASSERT_EQ(QelMemImageOpen(&image), 0);
  const auto refused = [&](auto change) {
    auto page = sim::BlankPage(100, 10, 200, 200);
    change(page);
    return sim::FillMemImage(image, std::move(page)) == sim::error::kInvalidArgument;
  };
  EXPECT_TRUE(refused([](sim::BitonalPage& page) { page.stride = 12; }));
  EXPECT_TRUE(refused([](sim::BitonalPage& page) { page.bits.pop_back(); }));
  EXPECT_TRUE(refused([](sim::BitonalPage& page) { page.width = -1; }));
  EXPECT_TRUE(refused([](sim::BitonalPage& page) { page.xResolution = {65536, 1}; }));
  EXPECT_TRUE(refused([](sim::BitonalPage& page) { page.yResolution = {200, -1}; }));

  EXPECT_EQ(sim::FillMemImage(image, sim::BlankPage(100, 10, 200, 200)), 0);
  EXPECT_EQ(sim::FillMemImage(image, sim::BlankPage(50, 5, 200, 200)), sim::error::kInvalidArgument)
      << "records handed out must stay valid";
  std::int32_t width = 0;
  EXPECT_EQ(QelMemGetTag(image, kTagImageWidth, &width), 0);
  EXPECT_EQ(width, 100);
  EXPECT_EQ(QelMemImageClose(image), 0);
}

TEST_F(MemImage, SwitchedFailuresLeaveNoTrace) {
  const auto before = sim::LiveImageCount();
  auto image = reinterpret_cast<QelMemImage>(std::uintptr_t{0x10});  // not null
  sim::FailNext(Op::MemImageOpen);
  EXPECT_EQ(QelMemImageOpen(&image), sim::FailureValue(Op::MemImageOpen));
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(sim::LiveImageCount(), before);

  const FilledImage filled(sim::BlankPage(16, 16, 200, 200));
  const std::uint16_t* line = nullptr;
  sim::FailNext(Op::MemGetTagArray);
  EXPECT_EQ(QelMemGetTagArray(filled.Get(), kQelMemRowRuns, &line, 1),
            sim::FailureValue(Op::MemGetTagArray));
  EXPECT_EQ(line, nullptr);
  EXPECT_EQ(QelMemGetTagArray(filled.Get(), kQelMemRowRuns, &line, 1), 0);
  EXPECT_NE(line, nullptr);

  std::int32_t value = 42;
  sim::FailNext(Op::MemGetTag);
  EXPECT_EQ(QelMemGetTag(filled.Get(), kTagImageWidth, &value), sim::FailureValue(Op::MemGetTag));
  EXPECT_EQ(value, 42);

  QelMemImage closing = nullptr;
  ASSERT_EQ(QelMemImageOpen(&closing), 0);
  sim::FailNext(Op::MemImageClose);
  EXPECT_EQ(QelMemImageClose(closing), sim::FailureValue(Op::MemImageClose));
  EXPECT_EQ(QelMemImageClose(closing), 0) << "the failed close kept the image open";
  EXPECT_EQ(sim::CallCount(Op::MemImageClose), 2u);
}

}  // namespace
