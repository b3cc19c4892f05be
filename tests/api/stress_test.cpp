// Several host threads calling at random (settings dialogs among the calls) while another
// kills jobs and the stand-in fails
// calls now and then: every answer is one the host interface documents, nothing is left
// loaded at the end, and the library starts again. Run it under ThreadSanitizer with
// `make tsan`; KOV_STRESS_SECONDS sets its length (2 s by default).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "host_library.h"
#include "platform/posix/dialog_user.h"
#include "sim/barcode/barcode_component.h"
#include "sim/kit/kit.h"
#include "sim/services/faults/switches.h"
#include "sim/services/images/mem_image.h"
#include "sim/services/operations/memory.h"

namespace {

std::chrono::milliseconds StressLength() {
  const char* seconds = std::getenv("KOV_STRESS_SECONDS");
  return std::chrono::milliseconds(seconds != nullptr ? std::atoi(seconds) * 1000 : 2000);
}

const std::set<std::uint16_t> kDocumentedAnswers = {
    0,
    RC_SCAN_ALREADY_INITIALIZED,
    RC_SCAN_DEVICE_ERROR,
    RC_SCAN_ERROR_TRUNC,
    RC_SCAN_FUNC_NOT_SUPPORTED,
    RC_SCAN_INVALID_DEVICE_NAME,
    RC_SCAN_INVALID_HANDLE,
    RC_SCAN_INVALID_IDENTIFIER,
    RC_SCAN_INVALID_PARM,
    RC_SCAN_NOT_INITIALIZED,
    RC_SCAN_NO_DRIVER,
    RC_SCAN_NO_ERROR_STORED,
    RC_SCAN_PARM_CANNOT_BE_MODIFIED,
    RC_SCAN_ZAFT_ERROR,
    RC_SCAN_MORE_DATA,
    RC_SCAN_NO_DATA,
    RC_SCAN_ADF_EMPTY,
    RC_SCAN_DLG_CANCEL,
};

// A user who clicks about in whatever dialog shows, closes it now and then, and waits a
// little for a kill between times.
class RandomUser final : public platform::DialogUser {
 public:
  platform::DialogAction NextAction(const platform::DialogState& dialog) override {
    std::lock_guard lock(mutex_);
    ++actions_;
    const unsigned pick = random_() % 8;
    if (pick == 0) return platform::DialogAction::Close();
    if (pick <= 2) {
      return platform::DialogAction::Wait(static_cast<std::uint32_t>(1 + random_() % 3));
    }
    const auto& controls = dialog.controls;
    return platform::DialogAction::Click(controls[random_() % controls.size()].id);
  }
  int AnswerMessageBox(const platform::DialogState*, const std::string&, const std::string&,
                       std::uint32_t) override {
    return platform::kAnswerOk;
  }
  unsigned Actions() {
    std::lock_guard lock(mutex_);
    return actions_;
  }

 private:
  unsigned actions_ = 0;
  std::mutex mutex_;
  std::mt19937 random_{7};
};

class HostThread {
 public:
  HostThread(HostLibrary& lib, unsigned seed) : lib_(lib), random_(seed) {}

  // One call picked at random; its answer.
  std::uint16_t CallOnce() {
    inDialog_ = false;
    switch (Pick(14)) {
      case 0:
        return lib_.SCANSETPARM("dev", record_.get(), SCAN_PARM_INIT, nullptr);
      case 1: {
        std::uint16_t bpp = Pick(2) == 0 ? 1 : 8;
        return lib_.SCANSETPARM("dev", record_.get(), SCAN_PARM_BPP, &bpp);
      }
      case 2: {
        SCAN_RES res{};
        return lib_.SCANQUERYPARM(record_.get(), SCAN_PARM_RES, &res);
      }
      case 3: {
        std::int32_t handle = 0;
        const std::uint16_t rc = lib_.SCANOPEN("dev", 0, &handle);
        return rc == RC_SCAN_DEVICE_ERROR ? 0 : rc;  // another thread has it open
      }
      case 4:
        return lib_.SCANSETSTATE(SCAN_HANDLE_OPEN, record_.get());
      case 5:
        return lib_.SCANSETPRTTEXT(SCAN_HANDLE_OPEN, 4, "LOT 7", 1);
      case 6:
        return lib_.SCANCLOSE(SCAN_HANDLE_OPEN);
      case 7: {
        std::vector<SCAN_CLT_ENTRY> table(256);
        return lib_.SCANQUERYCLT(record_.get(), table.data());
      }
      case 8: {
        char text[64];
        return lib_.SCANLASTERROR(text, sizeof text);
      }
      case 9: {
        KOV_PAGEHEADER* header = &header_;
        header_.usHeaderLength = PAGE_HEADER_SIZE;
        std::uint32_t length = static_cast<std::uint32_t>(page_.size());
        const std::uint16_t rc = lib_.SCANAREAEJECT(SCAN_HANDLE_OPEN, &header,
                                                    Pick(2) == 0 ? page_.data() : nullptr, &length);
        if (rc == 0 || rc == RC_SCAN_MORE_DATA) ++pages_;
        return rc;
      }
      case 10: {
        std::uint32_t length = 1 + Pick(70000);
        return lib_.SCANGETDATA(SCAN_HANDLE_OPEN, page_.data(), &length, 0);
      }
      case 11:
        return lib_.SCANPAUSE(SCAN_HANDLE_OPEN);
      case 12:
        inDialog_ = true;
        return lib_.SCANPARMSDLG2("dev", record_.get(), 0);
      default: {
        std::uint16_t comp = 0;
        return lib_.SCANQUERYPARM(record_.get(), SCAN_PARM_COMP, &comp);
      }
    }
  }

  // Pages handed out to this thread.
  std::uint64_t Pages() const { return pages_; }
  // The last call was a settings dialog, which waits for its user without a limit.
  bool WasDialog() const { return inDialog_; }

 private:
  unsigned Pick(unsigned count) {
    return std::uniform_int_distribution<unsigned>(0, count - 1)(random_);
  }

  HostLibrary& lib_;
  std::mt19937 random_;
  std::uint64_t pages_ = 0;
  bool inDialog_ = false;
  std::unique_ptr<ParmRecord> record_ = std::make_unique<ParmRecord>();
  KOV_PAGEHEADER header_{};
  std::vector<std::uint8_t> page_ = std::vector<std::uint8_t>(256 * 1024);
};

TEST(Stress, HostThreadsKillsAndFailingCallsLeaveNothingBehind) {
  sim::ResetDrivers();
  RandomUser user;
  platform::SetDialogUser(&user);
  HostLibrary lib(ProfileWithDebug() +
                  "[ZAFT]\nScanner=VSCAN\n[VSCAN]\nType=VirtualScanner\n"
                  "SendParams=1\nFeederPages=100000\n");
  ASSERT_EQ(lib.SCANINIT(), 0);
  const auto end = std::chrono::steady_clock::now() + StressLength();
  std::atomic<bool> stop{false};
  std::mutex failuresLock;
  std::set<std::uint16_t> undocumented;
  std::atomic<std::uint64_t> calls{0};
  std::atomic<std::uint64_t> pages{0};
  std::atomic<std::uint64_t> kills{0};
  std::atomic<std::int64_t> longestCallMs{0};

  std::vector<std::thread> hosts;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    hosts.emplace_back([&, seed] {
      HostThread host(lib, seed);
      while (!stop) {
        const auto start = std::chrono::steady_clock::now();
        const std::uint16_t rc = host.CallOnce();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        if (!host.WasDialog() && ms > longestCallMs) longestCallMs = ms;
        ++calls;
        if (kDocumentedAnswers.count(rc) == 0) {
          std::lock_guard guard(failuresLock);
          undocumented.insert(rc);
        }
      }
      pages += host.Pages();
    });
  }
  std::thread killer([&] {
    std::mt19937 random(99);
    const sim::Op failing[] = {sim::Op::DrvLoad,        sim::Op::DrvInit,
                               sim::Op::BarcodeCreate,  sim::Op::BarcodeGetState,
                               sim::Op::DefaultMessage, sim::Op::SelectScanner};
    while (!stop) {
      lib.SCANKILL(SCAN_HANDLE_OPEN);
      ++kills;
      sim::FailNext(failing[random() % std::size(failing)], 1 + random() % 4);
      std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % 40));
    }
  });
  std::this_thread::sleep_until(end);
  stop = true;
  for (auto& host : hosts) host.join();
  killer.join();
  sim::ResetSwitches();

  EXPECT_TRUE(undocumented.empty()) << "first undocumented answer: 0x" << std::hex
                                    << (undocumented.empty() ? 0 : *undocumented.begin());
  std::printf(
      "%llu calls (%llu pages handed out), %llu kills, %u dialog actions; longest call "
      "%lld ms\n",
      static_cast<unsigned long long>(calls.load()), static_cast<unsigned long long>(pages.load()),
      static_cast<unsigned long long>(kills.load()), user.Actions(),
      static_cast<long long>(longestCallMs.load()));
  EXPECT_GT(calls.load(), 100u);
  EXPECT_GT(pages.load(), 0u) << "pages were scanned";
  EXPECT_GT(user.Actions(), 0u) << "dialogs were shown";
  // Every call but the dialogs returns within the longest limit of the library's waits.
  EXPECT_LE(longestCallMs.load(), 30'000 + 2'000);
  EXPECT_EQ(lib.SCANFREE(), 0);
  EXPECT_EQ(sim::DriverView("VSCAN").LoadedNow(), 0u) << "no driver left counted";
  EXPECT_EQ(sim::DriverView("FROMQELM").LoadedNow(), 0u);
  EXPECT_EQ(sim::DriverView("QELMZAFT").LoadedNow(), 0u);
  EXPECT_EQ(sim::LiveBarcodeReaders(), 0u);
  EXPECT_EQ(sim::LiveBlockCount(), 0u) << "no page left held";
  EXPECT_EQ(sim::LiveImageCount(), 0u);

  ASSERT_EQ(lib.SCANINIT(), 0) << "and the next session works";
  auto record = std::make_unique<ParmRecord>();
  EXPECT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  EXPECT_EQ(lib.SCANFREE(), 0);
  platform::SetDialogUser(nullptr);
}

}  // namespace
