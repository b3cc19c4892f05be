#include "sim/barcode_component.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "framework/barcode.h"
#include "sim/barcode_settings.h"
#include "sim/com_string.h"
#include "sim/errors.h"
#include "sim/guard.h"
#include "sim/switches.h"

namespace sim {
namespace {

// What the reader answers for what it does not do (yet).
constexpr std::int32_t kNotServed = error::kDriverFailure;

class BarcodeReader;

// Every live reader, newest last. The lock also guards the readers' settings, which tests
// read from their own thread.
std::mutex readersMutex;
std::vector<BarcodeReader*> liveReaders;

class BarcodeReader final : public IBarcodeReader {
 public:
  BarcodeReader() {
    std::lock_guard lock(readersMutex);
    liveReaders.push_back(this);
  }

  // With readersMutex held.
  std::string StateText() const { return settings_.Text(); }

  std::int32_t QELCALLBACK QueryInterface(const ComGuid& iid, void** object) noexcept override {
    if (object == nullptr) return error::kInvalidArgument;
    if (iid == kIidUnknown || iid == kIidBarcodeReader) {
      AddRef();
      *object = static_cast<IBarcodeReader*>(this);
      return 0;
    }
    *object = nullptr;
    return kComNoInterface;
  }

  std::uint32_t QELCALLBACK AddRef() noexcept override { return ++references_; }

  std::uint32_t QELCALLBACK Release() noexcept override {
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

  std::int32_t QELCALLBACK Reserved3() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved4() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved5() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved6() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved7() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved8() noexcept override { return kNotServed; }

  std::int32_t QELCALLBACK ShowPropertySheet(QelWindow) noexcept override { return kNotServed; }

  std::int32_t QELCALLBACK GetState(platform::ComString* state) noexcept override {
    if (state != nullptr) *state = nullptr;
    return Guard([&]() -> std::int32_t {
      if (const auto failure = EnterOperation(Op::BarcodeGetState); failure < 0) return failure;
      if (state == nullptr) return error::kInvalidArgument;
      std::string text;
      {
        std::lock_guard lock(readersMutex);
        text = StateText();
      }
      *state = NewComString(text);
      return *state != nullptr ? 0 : error::kNoMemory;
    });
  }

  std::int32_t QELCALLBACK PutState(platform::ComString state) noexcept override {
    return Guard([&]() -> std::int32_t {
      if (const auto failure = EnterOperation(Op::BarcodePutState); failure < 0) return failure;
      const auto text = AsciiText(state);
      const auto settings = text ? BarcodeSettings::Parse(*text) : std::nullopt;
      if (!settings) return error::kInvalidArgument;
      std::lock_guard lock(readersMutex);
      settings_ = *settings;
      return 0;
    });
  }

  std::int32_t QELCALLBACK Reserved12() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved13() noexcept override { return kNotServed; }

  std::int32_t QELCALLBACK ZAFTPipePull(DriverRecord*) noexcept override { return error::kNoPaper; }

  std::int32_t QELCALLBACK Reserved15() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved16() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved17() noexcept override { return kNotServed; }

  // No page has been read, so there is no result of any number.
  std::int32_t QELCALLBACK get_Result(std::int32_t, IBarcodeResult** result) noexcept override {
    if (result != nullptr) *result = nullptr;
    return error::kInvalidArgument;
  }

  std::int32_t QELCALLBACK get_barcoderesultcount(std::int32_t* count) noexcept override {
    if (count == nullptr) return error::kInvalidArgument;
    *count = 0;
    return 0;
  }

 private:
  ~BarcodeReader() {
    std::lock_guard lock(readersMutex);
    std::erase(liveReaders, this);
  }

  std::atomic<std::uint32_t> references_{1};
  BarcodeSettings settings_ = BarcodeSettings::Defaults();
};

}  // namespace

std::uint32_t LiveBarcodeReaders() {
  std::lock_guard lock(readersMutex);
  return static_cast<std::uint32_t>(liveReaders.size());
}

std::optional<std::string> CurrentBarcodeState() {
  std::lock_guard lock(readersMutex);
  if (liveReaders.empty()) return std::nullopt;
  return liveReaders.back()->StateText();
}

}  // namespace sim

extern "C" std::int32_t QelIpCreateInstance(IBarcodeReader** reader) {
  if (reader != nullptr) *reader = nullptr;
  return sim::Guard([&]() -> std::int32_t {
    if (const auto failure = sim::EnterOperation(sim::Op::BarcodeCreate); failure < 0) {
      return failure;
    }
    if (reader == nullptr) return sim::error::kInvalidArgument;
    // A COM object owns itself: its last Release deletes it.
    *reader = new sim::BarcodeReader;
    return 0;
  });
}
