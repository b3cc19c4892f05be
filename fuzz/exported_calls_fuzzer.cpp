// A host calling the exported calls in any order with any arguments: null pointers,
// lengths that claim less or more than a buffer of exactly that length, device names and
// handles that are wrong, records full of anything, dialogs clicked at random. Every call
// must answer without touching memory outside what the host handed over.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fuzz_scanner.h"
#include "kovzaft2.h"
#include "platform/posix/dialog_user.h"

namespace {

constexpr std::size_t kValueRoom = 256;  // more than any usParm or information layout
constexpr std::uint32_t kLargestPage = 4u << 20;

// Clicks the controls the input names, then closes the dialog.
class InputUser final : public platform::DialogUser {
 public:
  void Plan(std::vector<std::int32_t> clicks) {
    std::lock_guard lock(mutex_);
    clicks_.assign(clicks.begin(), clicks.end());
  }
  platform::DialogAction NextAction(const platform::DialogState& dialog) override {
    std::lock_guard lock(mutex_);
    if (clicks_.empty() || dialog.controls.empty()) return platform::DialogAction::Close();
    const auto index = static_cast<std::size_t>(clicks_.front()) % dialog.controls.size();
    clicks_.pop_front();
    return platform::DialogAction::Click(dialog.controls[index].id);
  }
  int AnswerMessageBox(const platform::DialogState*, const std::string&, const std::string&,
                       std::uint32_t) override {
    return platform::kAnswerOk;
  }

 private:
  std::mutex mutex_;
  std::deque<std::int32_t> clicks_;
};

InputUser& User() {
  static InputUser user;
  return user;
}

// One host's session: the handle it got and the buffers of its calls, freed with it.
class Host {
 public:
  explicit Host(FuzzedDataProvider& input) : input_(input) {}

  void Call() {
    switch (input_.ConsumeIntegralInRange(0, 21)) {
      case 0:
        SCANOPEN(Name(), input_.ConsumeIntegral<std::int32_t>(),
                 input_.ConsumeBool() ? &handle_ : nullptr);
        break;
      case 1:
        SCANCLOSE(Handle());
        break;
      case 2:
        SCANLASTERROR(Text(), length_);
        break;
      case 3:
        SCANQUERYDEVNAMES(Text(), length_);
        break;
      case 4:
        SCANSETSEQNUM(Handle(), input_.ConsumeIntegral<std::int32_t>());
        break;
      case 5:
        SCANPAUSE(Handle());
        break;
      case 6:
        SCANKILL(Handle());
        break;
      case 7:
        SCANSETPRTTEXT(Handle(), input_.ConsumeIntegral<std::uint32_t>(), Name(),
                       input_.ConsumeIntegral<std::int32_t>());
        break;
      case 8:
        SCANSETENV(Name(), input_.ConsumeIntegral<std::uint16_t>(),
                   static_cast<const std::uint16_t*>(Value()));
        break;
      case 9:
        Eject();
        break;
      case 10: {
        std::uint32_t length = 0;
        std::uint8_t* data = Data(length);
        SCANGETDATA(Handle(), data, input_.ConsumeBool() ? &length : nullptr,
                    input_.ConsumeIntegral<std::int32_t>());
        break;
      }
      case 11:
        SCANSETPARM(Name(), Record(), input_.ConsumeIntegral<std::uint16_t>(), Value());
        break;
      case 12:
        SCANSETSTATE(Handle(), Record());
        break;
      case 13:
        PlanClicks();
        SCANPARMSDLG(Name(), Record());
        break;
      case 14:
        PlanClicks();
        SCANPARMSDLG2(Name(), Record(), input_.ConsumeIntegral<std::int32_t>());
        break;
      case 15:
        SCANQUERYINFO(Name(), input_.ConsumeIntegral<std::uint16_t>(), Value());
        break;
      case 16:
        SCANQUERYPARM(Record(), input_.ConsumeIntegral<std::uint16_t>(), Value());
        break;
      case 17: {
        std::vector<SCAN_CLT_ENTRY> table(256);
        SCANQUERYCLT(Record(), input_.ConsumeBool() ? table.data() : nullptr);
        break;
      }
      case 18:
        SaveCallback(0, Name(), Name(), Record());
        break;
      case 19:
        RestoreCallback(0, Name(), Name(), Text(), length_, Record());
        break;
      case 20:
        OldRestoreCallback(0, Name(), Name(), Text(), length_, Record());
        break;
      default:
        SCANAREA(Handle(), 0, 0, 0);
        SCANENDPAGE(Handle());
        SCANFLUSH(Handle());
        SCANRESET(Handle());
        SCANRESTART(Handle(), 0);
        break;
    }
  }

  std::int32_t OpenHandle() const { return handle_; }

 private:
  // The scanner's name most of the time, else anything, or none.
  const char* Name() {
    switch (input_.ConsumeIntegralInRange(0, 3)) {
      case 0:
        return nullptr;
      case 1:
        return Keep(input_.ConsumeRandomLengthString(300));
      default:
        return "VSCAN";
    }
  }
  std::int32_t Handle() {
    return input_.ConsumeBool() ? handle_ : input_.ConsumeIntegral<std::int32_t>();
  }
  // A text buffer of exactly the length claimed in length_, or none.
  char* Text() {
    length_ = input_.ConsumeIntegral<std::uint16_t>();
    if (input_.ConsumeBool()) return nullptr;
    return static_cast<char*>(Buffer(length_));
  }
  void* Value() {
    if (input_.ConsumeBool()) return nullptr;
    void* value = Buffer(kValueRoom);
    const std::string bytes = input_.ConsumeBytesAsString(kValueRoom);
    std::memcpy(value, bytes.data(), bytes.size());
    return value;
  }
  ParmRecord* Record() {
    if (input_.ConsumeIntegralInRange(0, 7) == 0) return nullptr;
    if (record_ == nullptr || input_.ConsumeBool()) record_ = std::make_unique<ParmRecord>();
    if (input_.ConsumeBool()) {
      // Some bytes of the record replaced, where the input says.
      auto* bytes = reinterpret_cast<std::uint8_t*>(record_.get());
      const std::size_t at = input_.ConsumeIntegralInRange<std::size_t>(0, sizeof(ParmRecord) - 1);
      const std::string patch = input_.ConsumeRandomLengthString(64);
      std::memcpy(bytes + at, patch.data(), std::min(patch.size(), sizeof(ParmRecord) - at));
    }
    return record_.get();
  }
  std::uint8_t* Data(std::uint32_t& length) {
    length = input_.ConsumeIntegral<std::uint32_t>();
    if (input_.ConsumeBool()) return nullptr;
    return static_cast<std::uint8_t*>(Buffer(std::min(length, kLargestPage)));
  }
  void Eject() {
    std::uint32_t length = 0;
    std::uint8_t* data = Data(length);
    KOV_PAGEHEADER* header = nullptr;
    const bool ownHeader = input_.ConsumeBool();
    if (ownHeader) header = static_cast<KOV_PAGEHEADER*>(Buffer(sizeof(KOV_PAGEHEADER)));
    const bool passHeader = input_.ConsumeIntegralInRange(0, 7) != 0;
    SCANAREAEJECT(Handle(), passHeader ? &header : nullptr, data,
                  input_.ConsumeBool() ? &length : nullptr);
    // A header the library allocated is the host's: given back as the pages it is.
    if (passHeader && !ownHeader && header != nullptr) munmap(header, sizeof(KOV_PAGEHEADER));
  }
  void PlanClicks() {
    std::vector<std::int32_t> clicks(input_.ConsumeIntegralInRange<std::size_t>(0, 6));
    for (auto& click : clicks) click = input_.ConsumeIntegral<std::uint8_t>();
    User().Plan(std::move(clicks));
  }
  // A buffer of exactly `size` bytes, so that a write past it is seen.
  void* Buffer(std::size_t size) {
    buffers_.push_back(std::make_unique<std::uint8_t[]>(size));
    return buffers_.back().get();
  }
  const char* Keep(std::string text) {
    texts_.push_back(std::move(text));
    return texts_.back().c_str();
  }

  FuzzedDataProvider& input_;
  std::int32_t handle_ = 0;
  std::uint16_t length_ = 0;
  std::unique_ptr<ParmRecord> record_;
  std::vector<std::unique_ptr<std::uint8_t[]>> buffers_;
  std::deque<std::string> texts_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  UseFuzzProfile("Resolutions=100,200\nPages=Card=2x3\nSendParams=1\n");
  platform::SetDialogUser(&User());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  Host host(input);
  if (SCANINIT() != 0) return 0;
  for (int calls = 0; calls < 24 && input.remaining_bytes() > 0; ++calls) host.Call();
  SCANCLOSE(host.OpenHandle());
  SCANFREE();
  return 0;
}
