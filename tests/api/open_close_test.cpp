// Opening and closing the one scanner, and the sequence number.
#include <gtest/gtest.h>

#include <algorithm>

#include "host_library.h"

namespace {

class OpenClose : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(lib.SCANINIT(), 0); }
  HostLibrary lib{ProfileWithDebug()};
};

TEST_F(OpenClose, OpenHandsOutHandleOneAndLogsIt) {
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("Scanner A", 5000, &handle), 0);
  EXPECT_EQ(handle, 1);
  const auto messages = lib.LogMessages();
  const auto open =
      std::find(messages.begin(), messages.end(), "ScanOpen called with DevName: Scanner A");
  ASSERT_NE(open, messages.end());
  ASSERT_GE(messages.end() - open, 3);
  EXPECT_EQ(open[1], "  Timeout=5000  ");
  EXPECT_EQ(open[2], "  *phScanHdl=1  ");
}

TEST_F(OpenClose, SecondOpenFailsAndTheFirstHandleStaysValid) {
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  std::int32_t second = 42;
  EXPECT_EQ(lib.SCANOPEN("dev", 100, &second), RC_SCAN_DEVICE_ERROR);
  EXPECT_EQ(second, 42);
  EXPECT_EQ(lib.SCANSETSEQNUM(handle, 3), 0);
  EXPECT_EQ(lib.SCANCLOSE(handle), 0);
}

TEST_F(OpenClose, OpenWithoutHandlePointerIsRefusedAndOpensNothing) {
  EXPECT_EQ(lib.SCANOPEN("dev", 0, nullptr), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_INVALID_PARM");
  std::int32_t handle = 0;
  EXPECT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
}

TEST_F(OpenClose, CloseChecksTheHandleAndLeavesTheScannerOpenOnRefusal) {
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  EXPECT_EQ(lib.SCANCLOSE(2), RC_SCAN_INVALID_HANDLE);
  EXPECT_EQ(lib.SCANSETSEQNUM(1, 9), 0);

  EXPECT_EQ(lib.SCANCLOSE(1), 0);
  EXPECT_EQ(lib.SCANSETSEQNUM(1, 9), RC_SCAN_INVALID_HANDLE);
  EXPECT_EQ(lib.SCANCLOSE(1), RC_SCAN_INVALID_HANDLE) << "no handle is valid once closed";
  EXPECT_EQ(lib.SCANOPEN("dev", 0, &handle), 0) << "the scanner can be opened again";
}

TEST_F(OpenClose, TheNothingOpenValueIsNoHandleBeforeOpenOrAfterClose) {
  static ParmRecord record;  // the handle is checked before the record
  KOV_PAGEHEADER* header = nullptr;
  std::uint32_t length = 0;
  const auto refusesTheValue = [&] {
    EXPECT_EQ(lib.SCANSETSEQNUM(SCAN_HANDLE_NONE, 5), RC_SCAN_INVALID_HANDLE);
    EXPECT_EQ(lib.SCANSETSTATE(SCAN_HANDLE_NONE, &record), RC_SCAN_INVALID_HANDLE);
    EXPECT_EQ(lib.SCANPAUSE(SCAN_HANDLE_NONE), RC_SCAN_INVALID_HANDLE);
    EXPECT_EQ(lib.SCANAREAEJECT(SCAN_HANDLE_NONE, &header, nullptr, &length),
              RC_SCAN_INVALID_HANDLE);
    EXPECT_EQ(lib.SCANCLOSE(SCAN_HANDLE_NONE), RC_SCAN_INVALID_HANDLE);
    EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_INVALID_HANDLE");
  };
  refusesTheValue();
  EXPECT_EQ(header, nullptr) << "no page was scanned";
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  ASSERT_EQ(lib.SCANCLOSE(handle), 0);
  refusesTheValue();
}

TEST_F(OpenClose, SequenceNumberChecksTheHandleAndLogsBoth) {
  EXPECT_EQ(lib.SCANSETSEQNUM(1, 500), RC_SCAN_INVALID_HANDLE) << "nothing open yet";
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  EXPECT_EQ(lib.SCANSETSEQNUM(handle, 500), 0);
  const auto messages = lib.LogMessages();
  const auto call = std::find(messages.begin(), messages.end(), "ScanSetSeqNum called:");
  ASSERT_NE(call, messages.end());
  EXPECT_EQ(call[1], "  hScanHdl==1  ");
  EXPECT_EQ(call[2], "  lSeqNumber==500  ");
}

}  // namespace
