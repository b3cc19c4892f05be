// The framework's allocator and its number reading.
#include "sim/services/operations/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/switches.h"

namespace {

using sim::Op;

class FrameworkHelpers : public ::testing::Test {
 protected:
  void SetUp() override { sim::ResetSwitches(); }
  void TearDown() override { sim::ResetSwitches(); }
};

TEST_F(FrameworkHelpers, AllocGivesZeroFilledBlocksWhenAskedThatFreeOnce) {
  const auto before = sim::LiveBlockCount();
  auto* block = static_cast<unsigned char*>(QelAlloc(64, 1));
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(std::all_of(block, block + 64, [](unsigned char byte) { return byte == 0; }));
  void* empty = QelAlloc(0, 1);
  ASSERT_NE(empty, nullptr);
  EXPECT_NE(empty, block);
  EXPECT_EQ(sim::LiveBlockCount(), before + 2);

  EXPECT_EQ(QelFree(block), 0);
  EXPECT_EQ(QelFree(block), sim::error::kInvalidArgument) << "a block is freed once";
  EXPECT_EQ(QelFree(empty), 0);
  EXPECT_EQ(QelFree(nullptr), 0);
  EXPECT_EQ(sim::LiveBlockCount(), before);
}

TEST_F(FrameworkHelpers, SwitchedFailuresAnswerNullOrKeepTheBlock) {
  sim::FailNext(Op::Alloc, 2);
  void* first = QelAlloc(8, 0);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(QelAlloc(8, 0), nullptr);
  EXPECT_EQ(sim::CallCount(Op::Alloc), 2u);

  sim::FailNext(Op::Free);
  EXPECT_EQ(QelFree(first), sim::FailureValue(Op::Free));
  EXPECT_EQ(QelFree(first), 0) << "the failed free kept the block";
}

TEST_F(FrameworkHelpers, TextToNumberReadsTheLeadingDigits) {
  EXPECT_EQ(QelTextToNumber("300/1"), 300);
  EXPECT_EQ(QelTextToNumber("00042"), 42);
  EXPECT_EQ(QelTextToNumber("-5"), 0) << "the caller handles a sign";
  EXPECT_EQ(QelTextToNumber(""), 0);
  EXPECT_EQ(QelTextToNumber(nullptr), sim::error::kInvalidArgument);
  sim::FailNext(Op::TextToNumber);
  EXPECT_EQ(QelTextToNumber("7"), sim::FailureValue(Op::TextToNumber));
}

}  // namespace
