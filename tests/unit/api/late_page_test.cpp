// A page whose SCANAREAEJECT stopped waiting: the worker finishes it, SCANGETDATA keeps away
// from it meanwhile, and the next SCANAREAEJECT hands it out instead of scanning another.
#include <memory>
#include <vector>

#include "api/thread.h"
#include "kovzaft2.h"
#include "tests/unit/scanner_fixture.h"

namespace {

using LatePage = ScannerTest;

TEST_F(LatePage, IsHandedOutByTheNextAreaEjectAndNeverLost) {
  UseProfile("[ZAFT]\nScanner=VSCAN\n[VSCAN]\nType=VirtualScanner\nFeederPages=2\n");
  ASSERT_EQ(SCANINIT(), 0);
  std::int32_t handle = 0;
  ASSERT_EQ(SCANOPEN("dev", 0, &handle), 0);
  auto record = std::make_unique<ParmRecord>();
  ASSERT_EQ(SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  ASSERT_EQ(SCANSETSTATE(handle, record.get()), 0);

  // The page command as SCANAREAEJECT posts it, but with a wait that runs out at once.
  sim::HoldNext(sim::Op::RunZone);
  SCB.PageHeader = {};
  const auto command = NewCommand(CMD_SCAN_PAGE);
  ASSERT_EQ(PostCommand(command, CallDeadline(10)).rc, RC_SCAN_TIMEOUT);
  sim::WaitUntilHeld(sim::Op::RunZone);

  std::vector<std::uint8_t> buffer(2 << 20);
  std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
  EXPECT_EQ(SCANGETDATA(handle, buffer.data(), &length, 0), RC_SCAN_ALREADY_BUSY)
      << "the page is the worker's while it runs";

  sim::Release(sim::Op::RunZone);
  ASSERT_EQ(AwaitIdleWorker(CallDeadline(kNoLimit)), 0);
  EXPECT_EQ(SCANGETDATA(handle, buffer.data(), &length, 0), RC_SCAN_NO_DATA)
      << "its data wait for its header";

  KOV_PAGEHEADER* header = nullptr;
  length = static_cast<std::uint32_t>(buffer.size());
  ASSERT_EQ(SCANAREAEJECT(handle, &header, buffer.data(), &length), 0);
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(+header->lSeqNumber, 2) << "the late page, not a new one";
  EXPECT_EQ(length, static_cast<std::uint32_t>(+header->usLines) * header->usBytesPerLine);
  EXPECT_EQ(sim::CallCount(sim::Op::RunZone), 1u);

  length = static_cast<std::uint32_t>(buffer.size());
  ASSERT_EQ(SCANAREAEJECT(handle, &header, buffer.data(), &length), 0);
  EXPECT_EQ(+header->lSeqNumber, 3) << "then the next page";
  EXPECT_EQ(SCANFREE(), 0);
}

}  // namespace
