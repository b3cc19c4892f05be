#include "sim/barcode/barcode_component.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "framework/barcode.h"
#include "framework/messages.h"
#include "sim/barcode/barcode_decoding.h"
#include "sim/barcode/barcode_property_sheet.h"
#include "sim/barcode/barcode_reader.h"
#include "sim/barcode/barcode_settings.h"
#include "sim/barcode/com_string.h"
#include "sim/pipes/chains.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"
#include "sim/services/operations/error_texts.h"

namespace sim {
namespace {

// What the reader answers for what it does not do (yet).
constexpr std::int32_t kNotServed = error::kDriverFailure;

class BarcodeReader;

// COM's reference counting: the last Release deletes the object.
template <class Derived, class Interface>
class Counted : public Interface {
 public:
  std::uint32_t QELCALLBACK AddRef() noexcept override { return ++references_; }
  std::uint32_t QELCALLBACK Release() noexcept override {
    const std::uint32_t left = --references_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

 protected:
  // After the interface's slots, so the interface's layout stays COM's.
  virtual ~Counted() = default;

 private:
  std::atomic<std::uint32_t> references_{1};
};

// The page a source plays, kept whole: its layout and its uncompressed rows.
class PageCollector final : public Stage {
 public:
  std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer) override {
    TrackFormat(format, code, argument, pointer);
    if (code == QelDrvData && argument > 0 && pointer != nullptr) {
      const auto* bytes = static_cast<const std::uint8_t*>(pointer);
      rows.insert(rows.end(), bytes, bytes + argument);
    }
    return 0;
  }
  PageFormat format;
  std::vector<std::uint8_t> rows;
};

// One text found, as a COM object of its own.
class BarcodeResult final : public Counted<BarcodeResult, IBarcodeResult> {
 public:
  explicit BarcodeResult(std::string text) : text_(std::move(text)) {}

  std::int32_t QELCALLBACK QueryInterface(const ComGuid& iid, void** object) noexcept override {
    if (object == nullptr) return error::kInvalidArgument;
    *object = nullptr;
    if (iid != kIidUnknown) return kComNoInterface;
    AddRef();
    *object = static_cast<IBarcodeResult*>(this);
    return 0;
  }
  std::int32_t QELCALLBACK Reserved3() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved4() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved5() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved6() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK get_Text(platform::ComString* text) noexcept override {
    if (text == nullptr) return error::kInvalidArgument;
    *text = NewComString(text_);
    return *text != nullptr ? 0 : error::kNoMemory;
  }

 private:
  friend class Counted<BarcodeResult, IBarcodeResult>;
  ~BarcodeResult() override = default;
  std::string text_;
};

// Every live reader, newest last. The lock also guards the readers' settings, which tests
// read from their own thread.
struct Readers {
  std::mutex mutex;
  std::vector<BarcodeReader*> live;
};

// Never destroyed: a driver stuck in a call may wake after the exit handlers ran.
Readers& TheReaders() {
  static auto* readers = new Readers;
  return *readers;
}

class BarcodeReader final : public Counted<BarcodeReader, IBarcodeReader> {
 public:
  BarcodeReader() {
    std::lock_guard lock(TheReaders().mutex);
    TheReaders().live.push_back(this);
  }

  // With TheReaders().mutex held.
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

  std::int32_t QELCALLBACK Reserved3() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved4() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved5() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved6() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved7() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved8() noexcept override { return kNotServed; }

  std::int32_t QELCALLBACK ShowPropertySheet() noexcept override {
    return Guard([&]() -> std::int32_t {
      if (const auto failure = EnterOperation(Op::BarcodePropertySheet); failure < 0) {
        return failure;
      }
      BarcodeSettings edited;
      {
        std::lock_guard lock(TheReaders().mutex);
        edited = settings_;
      }
      // The sheet is modal and may stay open long: the settings are not held meanwhile.
      if (ShowBarcodePropertySheet(edited, ReadableKinds())) {
        std::lock_guard lock(TheReaders().mutex);
        settings_ = edited;
      }
      return 0;
    });
  }

  std::int32_t QELCALLBACK GetState(platform::ComString* state) noexcept override {
    if (state != nullptr) *state = nullptr;
    return Guard([&]() -> std::int32_t {
      if (const auto failure = EnterOperation(Op::BarcodeGetState); failure < 0) return failure;
      if (state == nullptr) return error::kInvalidArgument;
      std::string text;
      {
        std::lock_guard lock(TheReaders().mutex);
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
      // Taken, such a kind would never be found: the caller learns which it asked for in vain.
      if (const std::uint32_t unread = settings->symbologies & ~ReadableKinds(); unread != 0) {
        SetErrorSubject(error::kKindNotRead, SymbologyList(unread, ", "));
        return error::kKindNotRead;
      }
      std::lock_guard lock(TheReaders().mutex);
      settings_ = *settings;
      return 0;
    });
  }

  std::int32_t QELCALLBACK Reserved12() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved13() noexcept override { return kNotServed; }

  // Pulls the page the source plays and reads it; the results stay until the next pull.
  // A page in a layout the readers do not take fails the pull with kMessageNotSupported,
  // and the results are none.
  std::int32_t QELCALLBACK ZAFTPipePull(DriverRecord* source) noexcept override {
    return Guard([&]() -> std::int32_t {
      {
        std::lock_guard lock(TheReaders().mutex);
        results_.reset();
      }
      if (source == nullptr) return error::kInvalidArgument;
      PageCollector page;
      if (const auto rc = RunSource(*source, page); rc < 0) return rc;
      BarcodeSettings settings;
      {
        std::lock_guard lock(TheReaders().mutex);
        settings = settings_;
      }
      auto found = ReadBarcodes(page.format, page.rows, settings);
      if (!found) return error::kMessageNotSupported;
      std::lock_guard lock(TheReaders().mutex);
      results_ = std::move(*found);
      return 0;
    });
  }

  std::int32_t QELCALLBACK Reserved15() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved16() noexcept override { return kNotServed; }
  std::int32_t QELCALLBACK Reserved17() noexcept override { return kNotServed; }

  std::int32_t QELCALLBACK get_Result(std::int32_t number,
                                      IBarcodeResult** result) noexcept override {
    if (result != nullptr) *result = nullptr;
    return Guard([&]() -> std::int32_t {
      std::lock_guard lock(TheReaders().mutex);
      if (result == nullptr || !results_ || number < 1 ||
          static_cast<std::size_t>(number) > results_->size()) {
        return error::kInvalidArgument;
      }
      *result = new BarcodeResult((*results_)[static_cast<std::size_t>(number) - 1].text);
      return 0;
    });
  }

  // Fails when no page was read since the last pull.
  std::int32_t QELCALLBACK get_barcoderesultcount(std::int32_t* count) noexcept override {
    if (count == nullptr) return error::kInvalidArgument;
    std::lock_guard lock(TheReaders().mutex);
    *count = results_ ? static_cast<std::int32_t>(results_->size()) : 0;
    return results_ ? 0 : kNotServed;
  }

 private:
  friend class Counted<BarcodeReader, IBarcodeReader>;
  ~BarcodeReader() override {
    std::lock_guard lock(TheReaders().mutex);
    std::erase(TheReaders().live, this);
  }

  BarcodeSettings settings_ = BarcodeSettings::Defaults();
  std::optional<std::vector<FoundBarcode>> results_;  // of the last page pulled
};

}  // namespace

std::uint32_t LiveBarcodeReaders() {
  std::lock_guard lock(TheReaders().mutex);
  return static_cast<std::uint32_t>(TheReaders().live.size());
}

std::optional<std::string> CurrentBarcodeState() {
  std::lock_guard lock(TheReaders().mutex);
  if (TheReaders().live.empty()) return std::nullopt;
  return TheReaders().live.back()->StateText();
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
