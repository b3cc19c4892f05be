// Pipe descriptions as QelMakePipe writes them, and the codecs they name.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/qel.h"
#include "sim/pipes/codecs.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/switches.h"

namespace {

using sim::Op;

class MakePipe : public ::testing::Test {
 protected:
  void SetUp() override { sim::ResetSwitches(); }
  void TearDown() override { sim::ResetSwitches(); }

  std::int32_t Make(const std::vector<std::int32_t>& from, const std::vector<std::int32_t>& to,
                    std::int32_t size = 256) {
    text_.assign(300, 'z');
    return QelMakePipe(from.data(), to.data(), text_.data(), size);
  }
  // Up to the end the text was given.
  std::string Text() const { return text_.substr(0, text_.find('\0')); }

  // One-bit output of a scanner, as the library describes it.
  const std::vector<std::int32_t> scanner_{5, 277, 1, 258, 1, 262, 0, 284, 1, 259, 1};
  std::string text_;
};

TEST_F(MakePipe, DescribesBothFormatsInTheirOrder) {
  const struct {
    std::vector<std::int32_t> from;
    std::vector<std::int32_t> to;
    std::string text;
  } cases[] = {
      {scanner_,
       {4, 277, 1, 258, 1, 262, 0, 259, 4},
       "convert from=277:1,258:1,262:0,284:1,259:1 to=277:1,258:1,262:0,259:4"},
      {scanner_, {1, 259, 3}, "convert from=277:1,258:1,262:0,284:1,259:1 to=259:3"},
      // A format without Compression is uncompressed.
      {{3, 277, 3, 258, 8, 262, 2},
       {2, 262, 120, 259, 6},
       "convert from=277:3,258:8,262:2 to=262:120,259:6"},
  };
  for (const auto& [from, to, text] : cases) {
    EXPECT_EQ(Make(from, to), std::ssize(text)) << text;
    EXPECT_EQ(Text(), text);
  }
}

TEST_F(MakePipe, RefusesCompressionsItHasNoCodecFor) {
  EXPECT_EQ(Make(scanner_, {1, 259, 5}), sim::error::kNoPipe);
  EXPECT_EQ(Text(), "") << "a failure leaves no description behind";
  EXPECT_EQ(Make({1, 259, 32773}, {1, 259, 1}), sim::error::kNoPipe);
}

TEST_F(MakePipe, RefusesACompressionTheSamplesCannotTake) {
  const std::vector<std::int32_t> gray{3, 277, 1, 258, 8, 259, 1};
  EXPECT_EQ(Make(gray, {1, 259, 4}), sim::error::kNoPipe) << "Group 4 takes one bit";
  EXPECT_EQ(Make(gray, {1, 259, 3}), sim::error::kNoPipe) << "Group 3 too";
  EXPECT_EQ(Make(scanner_, {1, 259, 6}), sim::error::kNoPipe) << "JPEG takes 8 bits";
  EXPECT_GT(Make(gray, {1, 259, 6}), 0);
  EXPECT_GT(Make({3, 277, 1, 258, 8, 259, 6}, {1, 259, 1}), 0) << "undoing JPEG always fits";
}

TEST(Codecs, AnEmptyCodedPageDecodesWithoutCopyingFromNowhere) {
  sim::PageFormat format;
  format.width = 16;
  format.length = 2;
  for (const std::int32_t compression : {3, 4}) {
    format.compression = compression;
    sim::DecodePage(format, {});  // whatever it gives, no copy from or to a null buffer
  }
}

TEST_F(MakePipe, RefusesWhatDoesNotFitOrIsNoFormat) {
  const std::vector<std::int32_t> wanted{1, 259, 4};
  const std::int32_t length = Make(scanner_, wanted);
  ASSERT_GT(length, 0);
  EXPECT_EQ(Make(scanner_, wanted, length + 1), length) << "room for the text and its end";
  EXPECT_EQ(Make(scanner_, wanted, length), sim::error::kBufferTooSmall);
  EXPECT_EQ(Text(), "");
  EXPECT_EQ(text_[1], 'z');

  EXPECT_EQ(Make({-1}, wanted), sim::error::kInvalidArgument);
  EXPECT_EQ(Make({33}, wanted), sim::error::kInvalidArgument);
  EXPECT_EQ(QelMakePipe(nullptr, wanted.data(), text_.data(), 256), sim::error::kInvalidArgument);
  EXPECT_EQ(Make(scanner_, wanted, 0), sim::error::kInvalidArgument);
  EXPECT_EQ(text_[0], 'z');

  sim::FailNext(Op::MakePipe);
  EXPECT_EQ(Make(scanner_, wanted), sim::FailureValue(Op::MakePipe));
  EXPECT_EQ(Text(), "");
}

}  // namespace
