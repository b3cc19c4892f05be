#include "sim/services/faults/switches.h"

#include <array>
#include <condition_variable>
#include <mutex>
#include <random>

#include "sim/services/faults/errors.h"

namespace sim {
namespace {

struct OpInfo {
  Op op;
  std::string_view name;
  std::int32_t failure;
};

constexpr std::array<OpInfo, kOpCount> kOps{{
    {Op::Startup, "QelStartup", error::kNoMemory},
    {Op::Shutdown, "QelShutdown", error::kNotStarted},
    {Op::SetAppName, "QelSetAppName", error::kInvalidArgument},
    {Op::MemStartup, "QelMemStartup", error::kNoMemory},
    {Op::MemShutdown, "QelMemShutdown", error::kNotStarted},
    {Op::MemSetAppName, "QelMemSetAppName", error::kInvalidArgument},
    {Op::ReadProfileString, "QelReadProfileString", error::kProfileKeyMissing},
    {Op::FileOpen, "QelFileOpen", error::kFileNotFound},
    {Op::FileCreate, "QelFileCreate", error::kFileNotCreated},
    {Op::FileSeek, "QelFileSeek", error::kFileSeekFailed},
    {Op::FileWrite, "QelFileWrite", error::kFileWriteFailed},
    {Op::FileClose, "QelFileClose", error::kInvalidFileHandle},
    {Op::ErrorText, "QelErrorText", error::kNoErrorText},
    {Op::LoadString, "QelLoadString", error::kStringNotFound},
    {Op::BarcodeCreate, "QelIpCreateInstance", error::kNoMemory},
    {Op::BarcodeGetState, "GetState", error::kNoMemory},
    {Op::BarcodePutState, "PutState", error::kInvalidArgument},
    {Op::BarcodePropertySheet, "ShowPropertySheet", error::kDriverFailure},
    {Op::DrvLoad, "QelDrvLoad", error::kDriverNotFound},
    {Op::DrvInit, "QelDrvInit", error::kDriverFailure},
    {Op::DrvUnload, "QelDrvUnload", error::kDriverNotFound},
    {Op::DefaultMessage, "QelDrvDefaultMessage", error::kMessageNotSupported},
    {Op::Alloc, "QelAlloc", error::kNoMemory},
    {Op::Free, "QelFree", error::kInvalidArgument},
    {Op::TextToNumber, "QelTextToNumber", error::kInvalidArgument},
    {Op::MakePipe, "QelMakePipe", error::kNoPipe},
    {Op::SelectScanner, "QelSelectScanner", error::kNoScannerSelected},
    {Op::GetScanName, "GetScanName", error::kNoScannerSelected},
    {Op::MemImageOpen, "QelMemImageOpen", error::kNoMemory},
    {Op::MemImageClose, "QelMemImageClose", error::kInvalidArgument},
    {Op::MemGetTag, "QelMemGetTag", error::kTagNotSupported},
    {Op::MemGetTagArray, "QelMemGetTagArray", error::kNoMemory},
    {Op::RunZone, "QelRunZone", error::kNoPaper},
    {Op::CopySamples, "QelCopySamples", error::kInvalidArgument},
    {Op::LoadInitPipe, "QelDrvLoadInitPipe", error::kNoPipe},
    {Op::PipeUnload, "QelPipeUnload", error::kInvalidArgument},
    {Op::PipeAttach, "QelPipeAttach", error::kInvalidArgument},
    {Op::PipeDetach, "QelPipeDetach", error::kInvalidArgument},
    {Op::DriverMessage, "driver message", error::kDriverFailure},
}};

constexpr bool InEnumOrder() {
  for (std::size_t i = 0; i < kOps.size(); ++i) {
    if (static_cast<std::size_t>(kOps[i].op) != i) return false;
  }
  return true;
}
static_assert(InEnumOrder(), "kOps must list the operations in the order of Op");

struct Switch {
  std::uint32_t calls = 0;
  std::uint32_t failures = 0;  // switched ones
  std::uint32_t failIn = 0;    // 1 = the next call fails
  bool holdArmed = false;
  // Each held call takes a ticket; Release lets every ticket up to heldTickets go.
  std::uint64_t heldTickets = 0;
  std::uint64_t releasedTickets = 0;
};

class SwitchTable {
 public:
  // Never destroyed, as every process-wide table here: a driver stuck in a call may wake
  // after the exit handlers ran.
  static SwitchTable& Instance() {
    static auto* table = new SwitchTable;
    return *table;
  }

  std::int32_t Enter(Op op) {
    std::unique_lock lock(mutex_);
    Switch& s = At(op);
    ++s.calls;
    ++totalCalls_;
    bool fails = s.failIn > 0 && --s.failIn == 0;
    fails = (anyFailIn_ > 0 && --anyFailIn_ == 0) || fails;
    fails = (randomOneIn_ > 0 && random_() % randomOneIn_ == 0) || fails;
    if (fails) {
      ++switchedFailures_;
      ++s.failures;
    }
    if (s.holdArmed) {
      s.holdArmed = false;
      const auto ticket = ++s.heldTickets;
      changed_.notify_all();
      changed_.wait(lock, [&] { return s.releasedTickets >= ticket; });
    }
    return fails ? kOps[Index(op)].failure : 0;
  }

  std::uint32_t Calls(Op op) {
    std::lock_guard lock(mutex_);
    return At(op).calls;
  }

  void Fail(Op op, std::uint32_t k) {
    std::lock_guard lock(mutex_);
    At(op).failIn = k;
  }

  void FailNth(std::uint32_t k) {
    std::lock_guard lock(mutex_);
    anyFailIn_ = k;
  }

  void FailRandomly(std::uint32_t seed, std::uint32_t oneIn) {
    std::lock_guard lock(mutex_);
    random_.seed(seed);
    randomOneIn_ = oneIn;
  }

  std::uint64_t Total() {
    std::lock_guard lock(mutex_);
    return totalCalls_;
  }

  std::uint64_t Failures() {
    std::lock_guard lock(mutex_);
    return switchedFailures_;
  }

  std::uint32_t Failures(Op op) {
    std::lock_guard lock(mutex_);
    return At(op).failures;
  }

  void Hold(Op op) {
    std::lock_guard lock(mutex_);
    At(op).holdArmed = true;
  }

  void WaitHeld(Op op) {
    std::unique_lock lock(mutex_);
    Switch& s = At(op);
    changed_.wait(lock, [&] { return s.heldTickets > s.releasedTickets; });
  }

  void Release(Op op) {
    std::lock_guard lock(mutex_);
    ReleaseLocked(At(op));
    changed_.notify_all();
  }

  void Reset() {
    std::lock_guard lock(mutex_);
    for (Switch& s : switches_) {
      ReleaseLocked(s);
      s.calls = 0;
      s.failures = 0;
      s.failIn = 0;
    }
    anyFailIn_ = 0;
    randomOneIn_ = 0;
    totalCalls_ = 0;
    switchedFailures_ = 0;
    changed_.notify_all();
  }

 private:
  static std::size_t Index(Op op) { return static_cast<std::size_t>(op); }
  Switch& At(Op op) { return switches_.at(Index(op)); }

  static void ReleaseLocked(Switch& s) {
    s.holdArmed = false;
    s.releasedTickets = s.heldTickets;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<Switch, kOpCount> switches_{};
  std::uint32_t anyFailIn_ = 0;
  std::uint32_t randomOneIn_ = 0;
  std::mt19937 random_;
  std::uint64_t totalCalls_ = 0;
  std::uint64_t switchedFailures_ = 0;
};

}  // namespace

std::string_view NameOf(Op op) {
  return kOps.at(static_cast<std::size_t>(op)).name;
}
std::int32_t FailureValue(Op op) {
  return kOps.at(static_cast<std::size_t>(op)).failure;
}
std::uint32_t CallCount(Op op) {
  return SwitchTable::Instance().Calls(op);
}
void FailNext(Op op, std::uint32_t k) {
  SwitchTable::Instance().Fail(op, k);
}
void FailNthCall(std::uint32_t k) {
  SwitchTable::Instance().FailNth(k);
}
void FailAtRandom(std::uint32_t seed, std::uint32_t oneIn) {
  SwitchTable::Instance().FailRandomly(seed, oneIn);
}
std::uint64_t TotalCalls() {
  return SwitchTable::Instance().Total();
}
std::uint64_t SwitchedFailures() {
  return SwitchTable::Instance().Failures();
}
std::uint32_t SwitchedFailures(Op op) {
  return SwitchTable::Instance().Failures(op);
}
void HoldNext(Op op) {
  SwitchTable::Instance().Hold(op);
}
void WaitUntilHeld(Op op) {
  SwitchTable::Instance().WaitHeld(op);
}
void Release(Op op) {
  SwitchTable::Instance().Release(op);
}
void ResetSwitches() {
  SwitchTable::Instance().Reset();
}
std::int32_t EnterOperation(Op op) {
  return SwitchTable::Instance().Enter(op);
}

}  // namespace sim
