#include "sim/drivers/twain_scanner.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/messages.h"
#include "sim/drivers/device_tags.h"
#include "sim/drivers/dib_rows.h"
#include "sim/drivers/twain_session.h"
#include "sim/drivers/twain_tags.h"
#include "sim/services/driver_model/page_flow.h"
#include "sim/services/driver_model/tag_table.h"
#include "sim/services/faults/errors.h"
#include "sim/services/operations/error_texts.h"
#include "sim/services/operations/profile.h"
#include "sim/services/text/ini_text.h"

namespace sim {
namespace {

constexpr std::string_view kCapabilityPrefix = "Capability.";

struct NamedCapability {
  std::string_view name;
  std::uint16_t code;
};

// The capabilities a profile may name; any other by its number ("Capability.0x1151").
constexpr std::array<NamedCapability, 21> kCapabilityNames = {{
    {"CAP_XFERCOUNT", 0x0001},
    {"ICAP_COMPRESSION", 0x0100},
    {"ICAP_PIXELTYPE", 0x0101},
    {"ICAP_UNITS", 0x0102},
    {"ICAP_XFERMECH", 0x0103},
    {"CAP_FEEDERENABLED", 0x1002},
    {"CAP_AUTOFEED", 0x1007},
    {"CAP_DUPLEXENABLED", 0x1013},
    {"ICAP_AUTOBRIGHT", 0x1100},
    {"ICAP_BRIGHTNESS", 0x1101},
    {"ICAP_CONTRAST", 0x1103},
    {"ICAP_ORIENTATION", 0x1110},
    {"ICAP_XRESOLUTION", 0x1118},
    {"ICAP_YRESOLUTION", 0x1119},
    {"ICAP_PIXELFLAVOR", 0x111f},
    {"ICAP_THRESHOLD", 0x1123},
    {"ICAP_BITDEPTH", 0x112b},
    {"ICAP_AUTODISCARDBLANKPAGES", 0x1134},
    {"ICAP_AUTOMATICBORDERDETECTION", 0x1150},
    {"ICAP_AUTOMATICDESKEW", 0x1151},
    {"ICAP_AUTOMATICROTATE", 0x1152},
}};

std::optional<std::uint16_t> CapabilityNamed(std::string_view name) {
  for (const auto& [known, code] : kCapabilityNames) {
    if (SameName(known, name)) return code;
  }
  if (name.size() > 2 && SameName(name.substr(0, 2), "0x")) {
    std::uint32_t code = 0;
    for (char c : name.substr(2)) {
      const auto digit = std::string_view("0123456789abcdef")
                             .find(static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c));
      if (digit == std::string_view::npos || code > 0xFFF) return std::nullopt;
      code = code * 16 + static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::uint16_t>(code);
  }
  return std::nullopt;
}

// A profile value as an item of the capability's type: a decimal number, fractions for
// fixed-point capabilities only.
std::optional<std::uint32_t> ItemFromText(std::uint16_t itemType, std::string_view text) {
  if (itemType == twain::kTyFix32) {
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || *end != '\0' || !(std::abs(value) < 32768)) return std::nullopt;
    const twain::Fix32 fixed = twain::ToFix32(value);
    std::uint32_t item = 0;
    std::memcpy(&item, &fixed, sizeof fixed);
    return item;
  }
  const auto number = ParseNumber(text);
  if (!number) return std::nullopt;
  return static_cast<std::uint32_t>(*number);
}

// A failure the source reported, as the framework's error with the condition named.
std::int32_t FailureOf(std::uint16_t conditionCode) {
  struct Condition {
    std::uint16_t code;
    std::int16_t number;
    const char* name;
  };
  static constexpr Condition kConditions[] = {
      {twain::kCcNoMedia, error::kNoPaper, "no media"},
      {twain::kCcPaperJam, error::kPaperJam, "paper jam"},
      {twain::kCcPaperDoubleFeed, error::kDoubleFeed, "double feed"},
      {twain::kCcInterlock, error::kCoverOpen, "cover open"},
      {twain::kCcLowMemory, error::kDeviceNoMemory, "low memory"},
      {twain::kCcCheckDeviceOnline, error::kDeviceIoError, "device offline"},
      {twain::kCcDenied, error::kAccessDenied, "denied"},
      {twain::kCcOperationError, error::kDeviceFailure, "operation error"},
      {twain::kCcSeqError, error::kDeviceFailure, "sequence error"},
      {twain::kCcBadValue, error::kDeviceFailure, "bad value"},
  };
  for (const Condition& condition : kConditions) {
    if (condition.code == conditionCode) {
      SetErrorSubject(condition.number,
                      "TWAIN condition " + std::to_string(conditionCode) + ", " + condition.name);
      return MakeFrameworkError(condition.number, 0);
    }
  }
  SetErrorSubject(error::kDeviceFailure, "TWAIN condition " + std::to_string(conditionCode));
  return MakeFrameworkError(error::kDeviceFailure, 0);
}

class TwainScanner final : public Driver {
 public:
  explicit TwainScanner(std::unique_ptr<TwainSession> session)
      : session_(std::move(session)), tags_(*session_, Table()) {
    const twain::Identity& source = session_->Source();
    const auto text = [](const twain::Str32& name) {
      return std::string(name, strnlen(name, sizeof name));
    };
    DefineDeviceTags(Table(), text(source.manufacturer) + " " + text(source.productName));
    // Pages come by memory transfer, in strips the driver owns.
    session_->Set(twain::kICapXferMech, twain::kTyUInt16, twain::kSxMemory);
  }

  // Keeps what a fresh start goes back to: the settings as they stand once the load is done.
  void RememberStartingValues() { startingValues_.Remember(Tags()); }

  // Memory transfer unless the source offers only native or the profile asked for it; read
  // once the load is done, while capabilities may still be asked.
  void ChooseTransfer() {
    const auto mechanism = session_->Get(twain::kICapXferMech);
    native_ = mechanism && mechanism->current == twain::kSxNative;
  }

  // A Capability line of the profile; false when the source has no such capability or
  // refuses the value. The tags follow.
  bool SetCapability(std::uint16_t capability, std::string_view value) {
    const auto now = session_->Get(capability);
    if (!now) return false;
    const auto item = ItemFromText(now->itemType, value);
    if (!item || session_->Set(capability, now->itemType, *item) != twain::kRcSuccess) return false;
    tags_.Sync();
    return true;
  }

  std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer) override {
    if (code == QelDrvFreshStart) {
      // The settings go back to their values after the load.
      startingValues_.Restore(Table(),
                              [this](Tag& tag, const TagValue& value) { Assign(tag, value); });
      return 0;
    }
    if (code == QelDrvPageLoaded) {
      // Whether paper waits shows only when a scan starts: the run answers an empty feeder.
      if (pointer == nullptr) return error::kInvalidArgument;
      *static_cast<std::uint32_t*>(pointer) = kPageReady;
      return 0;
    }
    return Default(code, argument, pointer);
  }

  std::int32_t RunPage(Stage& out) override {
    const auto aborted = [this] { return Aborted(); };
    if (!transferReady_) {
      if (const auto rc = AwaitTransfer(aborted); rc < 0) return rc;
    }
    twain::ImageInfo info{};
    if (session_->Call(twain::kDgImage, twain::kDatImageInfo, twain::kMsgGet, &info) !=
        twain::kRcSuccess) {
      return Stop(FailureOf(session_->ConditionCode()));
    }
    PageFormat page;
    std::vector<std::uint8_t> rows;
    const std::int32_t transferred =
        native_ ? NativeTransfer(info, page, rows) : MemoryTransfer(info, page, rows, aborted);
    if (transferred < 0) return transferred;
    WhitenSpareBits(page, rows);
    // The page is the source's no more: what follows in its feeder decides the next run.
    twain::PendingXfers pending{};
    session_->Call(twain::kDgControl, twain::kDatPendingXfers, twain::kMsgEndXfer, &pending);
    transferReady_ = pending.count != 0;
    if (!transferReady_) session_->Disable();

    PageWriter writer(out);
    const PageTags none;
    if (const auto rc = writer.Begin(page, none); rc < 0) return rc;
    if (const auto rc = writer.DataInRows(rows, page.RowBytes(), aborted); rc < 0) return rc;
    return writer.Finish(none);
  }

 protected:
  void Changed(const Tag& tag, const TagValue& before) override {
    Driver::Changed(tag, before);
    tags_.Apply(tag);
    tags_.Sync();
  }

  // The source's own interface, for settings only; what it leaves is read back into tags.
  std::int32_t ShowDialog(platform::Window* owner) override {
    session_->Disable();
    transferReady_ = false;
    const std::uint16_t rc = session_->Enable(true, owner);
    if (rc != twain::kRcSuccess) return FailureOf(session_->ConditionCode());
    // A kill reaches the source's window through the abort poll, as it reaches a page.
    session_->WaitForEvent([this] { return Aborted(); });
    session_->Disable();
    tags_.Sync();
    return 0;
  }

 private:
  bool Aborted() const { return AbortPoll() != nullptr && AbortPoll()() < 0; }

  // Enables the source and waits until it has a page ready: 0, or the failure.
  std::int32_t AwaitTransfer(const std::function<bool()>& aborted) {
    session_->Disable();
    const std::uint16_t enabled = session_->Enable(false, nullptr);
    if (enabled != twain::kRcSuccess && enabled != twain::kRcCheckStatus) {
      return Stop(FailureOf(session_->ConditionCode()));
    }
    switch (session_->WaitForEvent(aborted)) {
      case SourceEvent::XferReady:
        transferReady_ = true;
        return 0;
      case SourceEvent::Aborted:
        return Stop(kErrAborted);
      case SourceEvent::CloseRequest:
      case SourceEvent::CloseOk:
        // Without its interface a source asks to close when it has nothing to scan.
        return Stop(MakeFrameworkError(error::kNoPaper, 0));
    }
    return Stop(MakeFrameworkError(error::kDeviceFailure, 0));
  }

  // The page's rows as memory transfers deliver them: strips appended in order, each row
  // cut to the page's whole bytes and turned as the page protocol wants it.
  std::int32_t MemoryTransfer(const twain::ImageInfo& info, PageFormat& format,
                              std::vector<std::uint8_t>& rows,
                              const std::function<bool()>& aborted) {
    const auto described = FormatOf(info);
    if (!described) {
      SetErrorSubject(error::kDeviceFailure, "pages of TWAIN pixel type " +
                                                 std::to_string(info.pixelType) + " with " +
                                                 std::to_string(info.bitsPerPixel) +
                                                 " bits a dot, which are not supported");
      return Stop(MakeFrameworkError(error::kDeviceFailure, 0));
    }
    format = *described;
    twain::SetupMemXfer setup{};
    if (session_->Call(twain::kDgControl, twain::kDatSetupMemXfer, twain::kMsgGet, &setup) !=
        twain::kRcSuccess) {
      return Stop(FailureOf(session_->ConditionCode()));
    }
    std::vector<std::uint8_t> buffer(std::clamp<std::uint32_t>(
        setup.preferred != 0 ? setup.preferred : setup.maxBufSize, 4096, 16u << 20));
    std::vector<std::uint8_t> strips;
    std::uint32_t bytesPerRow = 0;
    for (;;) {
      if (aborted()) return Stop(kErrAborted);
      twain::ImageMemXfer strip{};
      strip.memory = {twain::kMfAppOwns | twain::kMfPointer,
                      static_cast<std::uint32_t>(buffer.size()), buffer.data()};
      const std::uint16_t rc =
          session_->Call(twain::kDgImage, twain::kDatImageMemXfer, twain::kMsgGet, &strip);
      if (rc != twain::kRcSuccess && rc != twain::kRcXferDone) return Stop(TransferFailure(rc));
      if (strip.bytesPerRow != 0) bytesPerRow = strip.bytesPerRow;
      const std::size_t written = std::min<std::size_t>(strip.bytesWritten, buffer.size());
      strips.insert(strips.end(), buffer.begin(),
                    buffer.begin() + static_cast<std::ptrdiff_t>(written));
      if (rc == twain::kRcXferDone) break;
    }
    const std::size_t rowBytes = format.RowBytes();
    if (bytesPerRow < rowBytes) {
      SetErrorSubject(error::kPageEndedEarly, "rows of " + std::to_string(bytesPerRow) + " bytes");
      return Stop(MakeFrameworkError(error::kPageEndedEarly, 0));
    }
    const std::size_t count = strips.size() / bytesPerRow;
    rows.resize(count * rowBytes);
    for (std::size_t y = 0; y < count; ++y) {
      std::copy_n(strips.begin() + static_cast<std::ptrdiff_t>(y * bytesPerRow), rowBytes,
                  rows.begin() + static_cast<std::ptrdiff_t>(y * rowBytes));
    }
    if (flipBits_) {
      for (auto& byte : rows) byte = static_cast<std::uint8_t>(~byte);
    }
    format.length = static_cast<std::int32_t>(count);
    return count == 0 ? Stop(MakeFrameworkError(error::kPageEndedEarly, 0)) : 0;
  }

  // Takes the page handed over whole as a bitmap, whose own colour table says which dots are
  // black.
  std::int32_t NativeTransfer(const twain::ImageInfo& info, PageFormat& format,
                              std::vector<std::uint8_t>& rows) {
    std::vector<std::uint8_t> bitmap;
    const std::uint16_t rc = session_->NativeTransfer(bitmap);
    if (rc != twain::kRcXferDone) return Stop(TransferFailure(rc));
    std::string fault;
    auto page = PageOfDib(bitmap, fault);
    if (!page) {
      SetErrorSubject(error::kDeviceFailure, "a page handed over as " + fault);
      return Stop(MakeFrameworkError(error::kDeviceFailure, 0));
    }
    format = page->format;
    format.xResolution = {Dpi(info.xResolution), 1};
    format.yResolution = {Dpi(info.yResolution), 1};
    rows = std::move(page->rows);
    return 0;
  }

  // A transfer the source ended without its page: cancelled there, or failed.
  std::int32_t TransferFailure(std::uint16_t rc) {
    if (rc == twain::kRcCancel) return MakeFrameworkError(error::kCancelledAtDevice, 0);
    return FailureOf(session_->ConditionCode());
  }

  // A resolution the source describes, or the tags' when it describes none.
  std::int32_t Dpi(twain::Fix32 value) const {
    const double dots = twain::ToDouble(value);
    return static_cast<std::int32_t>(std::lround(dots > 0 ? dots : tags_.Dpi()));
  }

  // The page's layout from the source's description; none for one the page protocol cannot
  // carry. Notes whether the source's bits are the other way round from the protocol's.
  std::optional<PageFormat> FormatOf(const twain::ImageInfo& info) {
    PageFormat format;
    format.width = info.imageWidth;
    format.length = info.imageLength;
    const auto flavor = session_->Get(twain::kICapPixelFlavor);
    const bool vanilla = flavor && flavor->current == twain::kPfVanilla;
    if (info.pixelType == twain::kPtBw && info.bitsPerPixel == 1) {
      format.bits = 1;
      format.photometric = 0;
      flipBits_ = !vanilla;  // the protocol's 1 is black
    } else if (info.pixelType == twain::kPtGray && info.bitsPerPixel == 8) {
      format.bits = 8;
      format.photometric = 1;
      flipBits_ = vanilla;  // the protocol's 0 is black
    } else if (info.pixelType == twain::kPtRgb && info.bitsPerPixel == 24) {
      format.bits = 8;
      format.samples = 3;
      format.photometric = 2;
      flipBits_ = false;
    } else {
      return std::nullopt;
    }
    if (format.width <= 0) return std::nullopt;
    format.xResolution = {Dpi(info.xResolution), 1};
    format.yResolution = {Dpi(info.yResolution), 1};
    return format;
  }

  // Ends what the source was doing (pending pages reset, the source disabled) and answers rc.
  std::int32_t Stop(std::int32_t rc) {
    session_->Disable();
    transferReady_ = false;
    return rc;
  }

  std::unique_ptr<TwainSession> session_;
  TwainTags tags_;
  StartingValues startingValues_;
  bool transferReady_ = false;
  bool flipBits_ = false;
  bool native_ = false;
};

}  // namespace

std::int32_t TwainScannerNamed(std::string_view key, std::unique_ptr<Driver>& driver) {
  const auto profile = ReadProfile();
  if (!profile || TrimBlanks(profile->Find(key, "Type").value_or("")) != "TwainScanner") {
    return error::kDriverNotFound;
  }
  std::unique_ptr<TwainSession> session;
  const std::string source(TrimBlanks(profile->Find(key, "Source").value_or("")));
  if (const auto rc = TwainSession::Open(source, session); rc < 0) return rc;
  auto scanner = std::make_unique<TwainScanner>(std::move(session));
  for (const auto& [name, value] : profile->Entries(key)) {
    if (name.size() <= kCapabilityPrefix.size() ||
        !SameName(name.substr(0, kCapabilityPrefix.size()), kCapabilityPrefix)) {
      continue;
    }
    const auto capability = CapabilityNamed(name.substr(kCapabilityPrefix.size()));
    if (!capability || !scanner->SetCapability(*capability, TrimBlanks(value))) {
      SetErrorSubject(error::kOptionRefused,
                      std::string(name) + "=" + std::string(TrimBlanks(value)));
      return error::kOptionRefused;
    }
  }
  scanner->RememberStartingValues();
  scanner->ChooseTransfer();
  driver = std::move(scanner);
  return 0;
}

}  // namespace sim
