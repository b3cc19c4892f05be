#include <gtest/gtest.h>

#include <string>

#include "framework/qel.h"
#include "sim/services/faults/switches.h"
#include "sim/services/operations/file_table.h"
#include "tests/sim/temp_folder.h"

namespace {

constexpr std::int32_t kReadWrite = 2;
constexpr std::int32_t kFromStart = 0, kFromHere = 1, kFromEnd = 2;

std::int32_t Write(std::int32_t handle, const std::string& text) {
  return QelFileWrite(handle, text.data(), static_cast<std::int32_t>(text.size()));
}

class FileOps : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(sim::OpenFileCount(), 0u); }

  TempFolder folder_;
  std::string path_ = (folder_ / "KOVZAFT.LOG").string();
};

TEST_F(FileOps, OpenNeedsAnExistingFileAndCreateTruncates) {
  EXPECT_LT(QelFileOpen(path_.c_str(), 0, 0, 0, kReadWrite), 0);
  EXPECT_FALSE(std::filesystem::exists(path_));

  TempFolder::Write(path_, "old text");
  auto handle = QelFileCreate(path_.c_str(), 0, 0, 0, 0);
  ASSERT_GE(handle, 0);
  EXPECT_EQ(Write(handle, "first\r\n"), 7);
  ASSERT_EQ(QelFileClose(handle), 0);

  handle = QelFileOpen(path_.c_str(), 0, 0, 0, kReadWrite);
  ASSERT_GE(handle, 0);
  EXPECT_EQ(QelFileSeek(handle, 0, kFromEnd), 7);
  EXPECT_EQ(Write(handle, "second\r\n"), 8);
  ASSERT_EQ(QelFileClose(handle), 0);
  EXPECT_EQ(TempFolder::Read(path_), "first\r\nsecond\r\n");
}

TEST_F(FileOps, SeekAnswersTheNewPosition) {
  TempFolder::Write(path_, "0123456789");
  const auto handle = QelFileOpen(path_.c_str(), 0, 0, 0, kReadWrite);
  ASSERT_GE(handle, 0);
  EXPECT_EQ(QelFileSeek(handle, 4, kFromStart), 4);
  EXPECT_EQ(QelFileSeek(handle, 3, kFromHere), 7);
  EXPECT_EQ(QelFileSeek(handle, -2, kFromEnd), 8);
  EXPECT_EQ(Write(handle, "xy"), 2);
  EXPECT_LT(QelFileSeek(handle, -1, kFromStart), 0);
  EXPECT_LT(QelFileSeek(handle, 0, 3), 0);
  EXPECT_EQ(QelFileClose(handle), 0);
  EXPECT_EQ(TempFolder::Read(path_), "01234567xy");
}

TEST_F(FileOps, HandlesAreSmallSlotsReusedAndInvalidOnesRefused) {
  const auto first = QelFileCreate(path_.c_str(), 0, 0, 0, 0);
  const auto other = (folder_ / "other").string();
  const auto second = QelFileCreate(other.c_str(), 0, 0, 0, 0);
  ASSERT_GE(first, 0);
  ASSERT_NE(first, second);
  EXPECT_LT(second, static_cast<std::int32_t>(sim::kMaxOpenFiles));
  ASSERT_EQ(QelFileClose(second), 0);
  EXPECT_EQ(QelFileOpen(other.c_str(), 0, 0, 0, kReadWrite), second);
  ASSERT_EQ(QelFileClose(second), 0);
  ASSERT_EQ(QelFileClose(first), 0);
  for (const std::int32_t handle : {-1, second, 1 << 20}) {
    EXPECT_LT(QelFileSeek(handle, 0, kFromEnd), 0) << handle;
    EXPECT_LT(Write(handle, "x"), 0) << handle;
    EXPECT_LT(QelFileClose(handle), 0) << handle;
  }
}

TEST_F(FileOps, AFailedCloseStillGivesTheHandleBack) {
  // More failed closes than there are handles: every later open must still find one.
  for (std::size_t i = 0; i <= sim::kMaxOpenFiles; ++i) {
    const auto handle = QelFileCreate(path_.c_str(), 0, 0, 0, 0);
    ASSERT_GE(handle, 0) << i;
    sim::FailNext(sim::Op::FileClose);
    EXPECT_EQ(QelFileClose(handle), sim::FailureValue(sim::Op::FileClose));
  }
  EXPECT_EQ(sim::OpenFileCount(), 0u);
  sim::ResetSwitches();
}

}  // namespace
