// Whole host sessions (record, settings dialog, pages with every option) with the k-th
// framework call failing, for every k in turn (every few k in `make test`; set
// KOV_FAULT_STEP=1 for all), and with calls failing at random: every call answers a
// documented code with a text, nothing stays loaded after SCANCLOSE or held after SCANFREE,
// and the next session works.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "host_library.h"
#include "platform/posix/scripted_user.h"
#include "sim/barcode/barcode_component.h"
#include "sim/kit/kit.h"
#include "sim/services/faults/switches.h"
#include "sim/services/images/mem_image.h"
#include "sim/services/operations/file_table.h"
#include "sim/services/operations/memory.h"

namespace {

constexpr std::uint32_t kSessionsInTest = 50;
// The sweep runs as this many tests, each taking every kShards-th of its sessions: whole, it
// outlasted a test's time limit on a busy machine, and shards can run side by side.
constexpr std::uint32_t kShards = 5;

const std::set<std::uint16_t> kDocumentedFailures = {
    RC_SCAN_DEVICE_ERROR,      RC_SCAN_INVALID_HANDLE, RC_SCAN_INVALID_PARM,
    RC_SCAN_NOT_INITIALIZED,   RC_SCAN_NO_DRIVER,      RC_SCAN_ZAFT_ERROR,
    RC_SCAN_NOT_ENOUGH_MEMORY, RC_SCAN_DLG_CANCEL,     RC_SCAN_FUNC_NOT_SUPPORTED,
    RC_SCAN_NO_DATA,           RC_SCAN_ADF_EMPTY,      RC_SCAN_PARM_CANNOT_BE_MODIFIED,
};

// The operations a switch failed in this session, for the failure messages.
std::string FailedOperations() {
  std::string names;
  for (std::size_t op = 0; op < sim::kOpCount; ++op) {
    if (sim::SwitchedFailures(static_cast<sim::Op>(op)) != 0) {
      names += std::string(sim::NameOf(static_cast<sim::Op>(op))) + " ";
    }
  }
  return names.empty() ? "none" : names;
}

class Session {
 public:
  explicit Session(HostLibrary& lib) : lib_(lib) {}

  // Runs the whole session; false when a check failed (each failure is reported).
  void Run() {
    // A fresh framework: two pages in the feeder, nothing loaded (what a session before left
    // was checked when it ended).
    sim::ResetDrivers();
    const std::size_t blocksBefore = sim::LiveBlockCount();
    const std::size_t imagesBefore = sim::LiveImageCount();
    const std::size_t filesBefore = sim::OpenFileCount();
    platform::ScriptedUser user;
    // Patch II and barcodes on in the bar/patch dialog, Group 4 in the Scanner Controls.
    user.Click(1000).Click(1002).Click(1006).Click(1).Click(294).Click(1);
    platform::SetDialogUser(&user);
    Call("SCANINIT", lib_.SCANINIT());
    std::int32_t handle = 0;
    Call("SCANOPEN", lib_.SCANOPEN("dev", 0, &handle));
    auto record = std::make_unique<ParmRecord>();
    Call("SCANSETPARM", lib_.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr));
    Call("SCANPARMSDLG", lib_.SCANPARMSDLG("dev", record.get()));
    Call("SCANSETSTATE", lib_.SCANSETSTATE(SCAN_HANDLE_OPEN, record.get()));
    for (int page = 0; page < 3; ++page) {
      std::uint32_t length = static_cast<std::uint32_t>(buffer_.size());
      const std::uint16_t rc =
          lib_.SCANAREAEJECT(SCAN_HANDLE_OPEN, &header_, buffer_.data(), &length);
      Call("SCANAREAEJECT", rc);
      for (std::uint16_t more = rc; more == RC_SCAN_MORE_DATA;) {
        length = static_cast<std::uint32_t>(buffer_.size());
        more = lib_.SCANGETDATA(SCAN_HANDLE_OPEN, buffer_.data(), &length, 0);
        Call("SCANGETDATA", more);
        if (more == 0) more = RC_SCAN_MORE_DATA;
      }
      if (rc != 0 && rc != RC_SCAN_MORE_DATA) break;
    }
    Call("SCANCLOSE", lib_.SCANCLOSE(SCAN_HANDLE_OPEN));
    // A framework that refuses an unload keeps that driver, whatever the library does.
    for (const char* driver : {"VSCAN", "QELMZAFT", "FROMQELM"}) {
      if (sim::SwitchedFailures(sim::Op::DrvUnload) != 0) break;
      EXPECT_EQ(sim::DriverView(driver).LoadedNow(), 0u)
          << driver << " counted after SCANCLOSE; failed: " << FailedOperations();
    }
    Call("SCANFREE", lib_.SCANFREE());
    platform::SetDialogUser(nullptr);
    // What a framework refused to free or close stays with it; nothing else may.
    const std::string failed = "; failed: " + FailedOperations();
    if (sim::SwitchedFailures(sim::Op::Free) == 0) {
      EXPECT_EQ(sim::LiveBlockCount(), blocksBefore) << "framework memory held" << failed;
    }
    if (sim::SwitchedFailures(sim::Op::MemImageClose) == 0) {
      EXPECT_EQ(sim::LiveImageCount(), imagesBefore) << "memory image held" << failed;
    }
    EXPECT_EQ(sim::LiveBarcodeReaders(), 0u) << "barcode reader held after SCANFREE" << failed;
    EXPECT_EQ(sim::OpenFileCount(), filesBefore) << "framework file left open" << failed;
  }

 private:
  void Call(const char* name, std::uint16_t rc) {
    // A dialog that ended otherwise than by OK answers a cancel, which stores nothing.
    if (rc == 0 || rc == RC_SCAN_MORE_DATA || rc == RC_SCAN_DLG_CANCEL) return;
    EXPECT_EQ(kDocumentedFailures.count(rc), 1u)
        << name << " answered 0x" << std::hex << rc << "; failed: " << FailedOperations();
    char text[256] = {};
    // SCANLASTERROR gives the code's name or the framework's own text for the failure.
    EXPECT_EQ(lib_.SCANLASTERROR(text, sizeof text), 0) << name;
    EXPECT_NE(text[0], '\0') << name << " left no text";
  }

  HostLibrary& lib_;
  KOV_PAGEHEADER* header_ = nullptr;
  std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(64 * 1024);
};

std::uint32_t SweepStep(std::uint64_t calls) {
  if (const char* step = std::getenv("KOV_FAULT_STEP")) {
    return static_cast<std::uint32_t>(std::max(1, std::atoi(step)));
  }
  return static_cast<std::uint32_t>(std::max<std::uint64_t>(1, calls / kSessionsInTest));
}

class FaultSweep : public ::testing::Test {
 protected:
  FaultSweep()
      : lib(ProfileWithDebug() +
            "[ZAFT]\nScanner=VSCAN\n[VSCAN]\nType=VirtualScanner\nSendParams=1\n"
            "FeederPages=2\n") {}
  void SetUp() override { sim::ResetDrivers(); }
  void TearDown() override { sim::ResetDrivers(); }

  // Runs a session without faults, which must work after each faulty one.
  void CleanSession() {
    sim::ResetSwitches();
    Session(lib).Run();
  }

  HostLibrary lib;
};

class FaultSweepShard : public FaultSweep, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(FaultSweepShard, TheKthFrameworkCallFailingForEveryK) {
  CleanSession();
  const std::uint64_t calls = sim::TotalCalls();
  ASSERT_GT(calls, 100u);
  const std::uint32_t step = SweepStep(calls);
  std::uint64_t injected = 0;
  for (std::uint64_t k = 1 + std::uint64_t{GetParam()} * step; k <= calls && !HasFailure();
       k += std::uint64_t{step} * kShards) {
    SCOPED_TRACE("call " + std::to_string(k) + " of " + std::to_string(calls) + " failed");
    sim::ResetSwitches();
    sim::FailNthCall(static_cast<std::uint32_t>(k));
    Session(lib).Run();
    injected += sim::SwitchedFailures();
    CleanSession();
  }
  std::printf("%llu framework calls a session; %llu faults injected (every %u from %u)\n",
              static_cast<unsigned long long>(calls), static_cast<unsigned long long>(injected),
              step * kShards, 1 + GetParam() * step);
}

INSTANTIATE_TEST_SUITE_P(Shards, FaultSweepShard, ::testing::Range(0u, kShards));

TEST_F(FaultSweep, CallsFailingAtRandom) {
  std::uint64_t injected = 0;
  for (std::uint32_t seed = 1; seed <= 30 && !HasFailure(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    sim::ResetSwitches();
    sim::FailAtRandom(seed, 200);
    Session(lib).Run();
    injected += sim::SwitchedFailures();
    CleanSession();
  }
  std::printf("%llu faults injected at random\n", static_cast<unsigned long long>(injected));
  EXPECT_GT(injected, 0u);
}

}  // namespace
