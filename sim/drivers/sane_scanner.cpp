#include "sim/drivers/sane_scanner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "framework/messages.h"
#include "sim/dialogs/image_dialog.h"
#include "sim/drivers/device_tags.h"
#include "sim/drivers/sane_frames.h"
#include "sim/drivers/sane_options.h"
#include "sim/drivers/sane_tags.h"
#include "sim/services/driver_model/page_flow.h"
#include "sim/services/faults/errors.h"
#include "sim/services/operations/error_texts.h"
#include "sim/services/operations/profile.h"
#include "sim/services/text/ini_text.h"

namespace sim {
namespace {

constexpr std::string_view kOptionPrefix = "Option.";
// SANE starts with the first driver and stays for the process: its backends keep their
// state (and memory) in libraries that sane_exit would unload under them. Devices close with
// their drivers.
void StartSane() {
  static std::once_flag started;
  std::call_once(started, [] { sane_init(nullptr, nullptr); });
}

std::int16_t ErrorNumberOf(SANE_Status status) {
  switch (status) {
    case SANE_STATUS_NO_DOCS:
      return error::kNoPaper;
    case SANE_STATUS_JAMMED:
      return error::kPaperJam;
    case SANE_STATUS_COVER_OPEN:
      return error::kCoverOpen;
    case SANE_STATUS_IO_ERROR:
      return error::kDeviceIoError;
    case SANE_STATUS_NO_MEM:
      return error::kDeviceNoMemory;
    case SANE_STATUS_DEVICE_BUSY:
      return error::kDeviceBusy;
    case SANE_STATUS_ACCESS_DENIED:
      return error::kAccessDenied;
    case SANE_STATUS_CANCELLED:
      return error::kCancelledAtDevice;
    default:
      return error::kDeviceFailure;
  }
}

class SaneScanner final : public ImageDialogDriver {
 public:
  SaneScanner(SANE_Handle handle, std::string id)
      : handle_(handle), options_(handle), tags_(options_, Table()), id_(std::move(id)) {
    tags_.ReshapeNow();
    DefineDeviceTags(Table(), id_);
  }
  ~SaneScanner() override {
    sane_cancel(handle_);
    sane_close(handle_);
  }

  // An Option line of the profile; false when the device has no such active option or
  // refuses the value. The tags follow.
  bool SetOption(std::string_view name, std::string_view value) {
    const auto option = options_.Find(name);
    if (!option || options_.SetFromText(*option, value) != SANE_STATUS_GOOD) return false;
    tags_.ReshapeNow();
    return true;
  }

  // 16-bit samples are never offered: a device set to them goes to 8 bits; false when it has
  // no other depth.
  bool AvoidSixteenBits() {
    const auto depth = options_.Find(SANE_NAME_BIT_DEPTH);
    if (!depth || options_.Number(*depth).value_or(8) != 16) return true;
    if (options_.SetNumber(*depth, 8) != SANE_STATUS_GOOD) return false;
    tags_.ReshapeNow();
    return true;
  }

  // Keeps what a fresh start goes back to: the settings as they stand once the load is done.
  void RememberStartingValues() { startingValues_.Remember(Tags()); }

  std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer) override {
    tags_.Reshape();
    if (code == QelDrvFreshStart) return FreshStart();
    if (code == QelDrvPageLoaded) {
      // Whether paper waits shows only when a scan starts: the run answers an empty feeder.
      if (pointer == nullptr) return error::kInvalidArgument;
      *static_cast<std::uint32_t*>(pointer) = kPageReady;
      return 0;
    }
    return Default(code, argument, pointer);
  }

  std::int32_t RunPage(Stage& out) override {
    tags_.Reshape();
    const auto aborted = [this] { return AbortPoll() != nullptr && AbortPoll()() < 0; };
    const SanePageResult read = ReadSanePage(handle_, aborted, page_);
    switch (read.kind) {
      case SanePageResult::Kind::Aborted:
        sane_cancel(handle_);
        return kErrAborted;
      case SanePageResult::Kind::Failed:
        sane_cancel(handle_);
        return MakeFrameworkError(ErrorNumberOf(read.status), 0);
      case SanePageResult::Kind::Unsupported:
        sane_cancel(handle_);
        return MakeFrameworkError(error::kSamplesNotSupported, 0);
      case SanePageResult::Kind::EndedEarly:
        sane_cancel(handle_);
        return MakeFrameworkError(error::kPageEndedEarly, 0);
      case SanePageResult::Kind::Page:
        break;
    }
    const PageFormat format = FormatOf(page_);
    PageWriter writer(out);
    const PageTags none;
    if (const auto rc = writer.Begin(format, none); rc < 0) return rc;
    if (const auto rc = writer.DataInRows(page_.rows, format.RowBytes(), aborted); rc < 0) {
      return rc;
    }
    return writer.Finish(none);
  }

 protected:
  void Changed(const Tag& tag, const TagValue& before) override {
    Driver::Changed(tag, before);
    tags_.Apply(tag);
    tags_.Sync();
  }

 private:
  // The device's options at load (with the profile's Option lines) come back, in the order
  // their tags were declared.
  std::int32_t FreshStart() {
    startingValues_.Restore(Table(),
                            [this](Tag& tag, const TagValue& value) { Assign(tag, value); });
    return 0;
  }

  PageFormat FormatOf(const SanePage& page) const {
    PageFormat format;
    format.width = page.width;
    format.length = page.length;
    format.samples = page.samples;
    format.bits = page.bits;
    format.photometric = page.samples == 3 ? 2 : (page.bits == 1 ? 0 : 1);
    const Tag* x = Tags().Find(kTagXResolution);
    const Tag* y = Tags().Find(kTagYResolution);
    const auto dpi = static_cast<std::int32_t>(std::lround(tags_.Dpi()));
    format.xResolution = x != nullptr ? std::get<QelRational>(x->value) : QelRational{dpi, 1};
    format.yResolution = y != nullptr ? std::get<QelRational>(y->value) : QelRational{dpi, 1};
    return format;
  }

  SANE_Handle handle_;
  SaneOptions options_;
  SaneTags tags_;
  std::string id_;
  StartingValues startingValues_;
  // The last page read, kept so that the next is read into memory already mapped.
  SanePage page_;
};

// "vendor model" of the device, or its name when SANE does not list it (a name such as
// "test" that its backend takes for its first device).
std::string IdentityOf(const std::string& device) {
  const SANE_Device** devices = nullptr;
  if (sane_get_devices(&devices, SANE_FALSE) == SANE_STATUS_GOOD && devices != nullptr) {
    for (const SANE_Device** entry = devices; *entry != nullptr; ++entry) {
      if (device == (*entry)->name) return std::string((*entry)->vendor) + " " + (*entry)->model;
    }
  }
  return device;
}

}  // namespace

std::int32_t SaneScannerNamed(std::string_view key, std::unique_ptr<Driver>& driver) {
  const auto profile = ReadProfile();
  if (!profile || TrimBlanks(profile->Find(key, "Type").value_or("")) != "SaneScanner") {
    return error::kDriverNotFound;
  }
  const std::string device(TrimBlanks(profile->Find(key, "Device").value_or("")));
  if (device.empty()) return error::kBadDriverSettings;

  StartSane();
  SANE_Handle handle = nullptr;
  if (const SANE_Status status = sane_open(device.c_str(), &handle); status != SANE_STATUS_GOOD) {
    SetErrorSubject(error::kDeviceNotOpened, device + " (" + sane_strstatus(status) + ")");
    return error::kDeviceNotOpened;
  }
  auto scanner = std::make_unique<SaneScanner>(handle, IdentityOf(device));
  for (const auto& [name, value] : profile->Entries(key)) {
    if (name.size() <= kOptionPrefix.size() ||
        !SameName(name.substr(0, kOptionPrefix.size()), kOptionPrefix)) {
      continue;
    }
    if (!scanner->SetOption(name.substr(kOptionPrefix.size()), TrimBlanks(value))) {
      SetErrorSubject(error::kOptionRefused,
                      std::string(name) + "=" + std::string(TrimBlanks(value)));
      return error::kOptionRefused;
    }
  }
  if (!scanner->AvoidSixteenBits()) return error::kSamplesNotSupported;
  scanner->RememberStartingValues();
  driver = std::move(scanner);
  return 0;
}

}  // namespace sim
