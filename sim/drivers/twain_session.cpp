#include "sim/drivers/twain_session.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "sim/services/faults/errors.h"
#include "sim/services/operations/error_texts.h"

namespace sim {
namespace {

constexpr char kWindowClass[] = "ZaftTwainParent";

void CopyName(twain::Str32& to, const char* from) {
  std::memset(to, 0, sizeof to);
  std::strncpy(to, from, sizeof to - 1);
}

std::string NameOf(const twain::Str32& name) {
  return std::string(name, strnlen(name, sizeof name));
}

HWND MakeHiddenWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);  // fails harmlessly when the class exists
  return CreateWindowA(kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                       windowClass.hInstance, nullptr);
}

// TWAIN 2's manager, in System32 and built for both widths, before the 32-bit manager of old
// that Windows itself ships; a 64-bit host finds only the first.
HMODULE LoadManager(const char*& name) {
  for (const char* candidate : {"TWAINDSM.dll", "twain_32.dll"}) {
    if (HMODULE library = LoadLibraryA(candidate); library != nullptr) {
      name = candidate;
      const std::string loaded = std::string("TWAIN: source manager ") + candidate + " loaded\n";
      OutputDebugStringA(loaded.c_str());
      return library;
    }
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<TwainSession> TwainSession::OpenManager() {
  std::unique_ptr<TwainSession> opened(new TwainSession);
  const char* name = nullptr;
  HMODULE library = LoadManager(name);
  opened->library_ = library;
  if (library == nullptr) {
    SetErrorSubject(error::kDeviceNotOpened, "TWAINDSM.dll or twain_32.dll (not found)");
    return nullptr;
  }
  opened->entry_ = reinterpret_cast<twain::DsmEntry>(
      reinterpret_cast<void*>(GetProcAddress(library, "DSM_Entry")));
  opened->window_ = MakeHiddenWindow();
  if (opened->entry_ == nullptr || opened->window_ == nullptr) {
    SetErrorSubject(error::kDeviceNotOpened, std::string(name) + " (no manager entry)");
    return nullptr;
  }
  twain::Identity& application = opened->application_;
  application.version = {1, 0, 13 /* English */, 1 /* USA */, {}};
  CopyName(application.version.info, "1.0");
  application.protocolMajor = twain::kProtocolMajor;
  application.protocolMinor = twain::kProtocolMinor;
  application.supportedGroups = twain::kDgControl | twain::kDgImage;
  CopyName(application.manufacturer, "KOVZAFT2");
  CopyName(application.productFamily, "KOVZAFT2");
  CopyName(application.productName, "KOVZAFT2");
  HWND parent = static_cast<HWND>(opened->window_);
  if (opened->Manager(twain::kDatParent, twain::kMsgOpenDsm, &parent) != twain::kRcSuccess) {
    SetErrorSubject(error::kDeviceNotOpened, "TWAIN's source manager (it did not open)");
    return nullptr;
  }
  opened->managerOpen_ = true;
  return opened;
}

std::vector<twain::Identity> TwainSession::ListSources() {
  std::vector<twain::Identity> sources;
  for (std::uint16_t message = twain::kMsgGetFirst;; message = twain::kMsgGetNext) {
    twain::Identity listed{};
    if (Manager(twain::kDatIdentity, message, &listed) != twain::kRcSuccess) return sources;
    sources.push_back(listed);
  }
}

std::int32_t TwainSession::Open(const std::string& productName,
                                std::unique_ptr<TwainSession>& session) {
  auto opened = OpenManager();
  if (!opened) return error::kDeviceNotOpened;
  // The named source, else the manager's default.
  if (!productName.empty()) {
    const auto sources = opened->ListSources();
    const auto named = std::ranges::find_if(sources, [&](const twain::Identity& source) {
      return NameOf(source.productName) == productName;
    });
    if (named == sources.end()) {
      SetErrorSubject(error::kDeviceNotOpened, productName + " (no such TWAIN source)");
      return error::kDeviceNotOpened;
    }
    opened->source_ = *named;
  }
  if (opened->Manager(twain::kDatIdentity, twain::kMsgOpenDs, &opened->source_) !=
      twain::kRcSuccess) {
    SetErrorSubject(error::kDeviceNotOpened,
                    (productName.empty() ? std::string("the default TWAIN source") : productName) +
                        " (it did not open)");
    return error::kDeviceNotOpened;
  }
  opened->sourceOpen_ = true;
  session = std::move(opened);
  return 0;
}

TwainSession::~TwainSession() {
  Disable();
  if (sourceOpen_) Manager(twain::kDatIdentity, twain::kMsgCloseDs, &source_);
  if (managerOpen_) {
    HWND parent = static_cast<HWND>(window_);
    Manager(twain::kDatParent, twain::kMsgCloseDsm, &parent);
  }
  if (window_ != nullptr) DestroyWindow(static_cast<HWND>(window_));
  if (library_ != nullptr) FreeLibrary(static_cast<HMODULE>(library_));
}

std::vector<std::string> TwainSession::SourceNames() {
  std::vector<std::string> names;
  if (const auto session = OpenManager()) {
    for (const twain::Identity& source : session->ListSources()) {
      names.push_back(NameOf(source.productName));
    }
  }
  return names;
}

std::uint16_t TwainSession::Manager(std::uint16_t dat, std::uint16_t message, void* data) {
  return entry_(&application_, nullptr, twain::kDgControl, dat, message, data);
}

std::uint16_t TwainSession::Call(std::uint32_t group, std::uint16_t dat, std::uint16_t message,
                                 void* data) {
  const std::uint16_t rc = entry_(&application_, &source_, group, dat, message, data);
  if (group == twain::kDgImage &&
      (dat == twain::kDatImageMemXfer || dat == twain::kDatImageNativeXfer) &&
      rc != twain::kRcFailure) {
    transferring_ = true;
  } else if (dat == twain::kDatPendingXfers && rc == twain::kRcSuccess) {
    if (message == twain::kMsgEndXfer) {
      transferring_ = false;
      pending_ = static_cast<const twain::PendingXfers*>(data)->count != 0;
    } else if (message == twain::kMsgReset) {
      pending_ = false;
    }
  }
  return rc;
}

std::uint16_t TwainSession::ConditionCode() {
  twain::Status status{};
  if (Call(twain::kDgControl, twain::kDatStatus, twain::kMsgGet, &status) != twain::kRcSuccess) {
    return twain::kCcBummer;
  }
  return status.conditionCode;
}

std::optional<CapabilityValues> TwainSession::Get(std::uint16_t capability) {
  twain::Capability query{capability, 0, nullptr};
  if (Call(twain::kDgControl, twain::kDatCapability, twain::kMsgGet, &query) != twain::kRcSuccess ||
      query.container == nullptr) {
    return std::nullopt;
  }
  HGLOBAL container = static_cast<HGLOBAL>(query.container);
  std::optional<CapabilityValues> values;
  if (const void* locked = GlobalLock(container); locked != nullptr) {
    values = ReadContainer(query.conType, locked, GlobalSize(container));
    GlobalUnlock(container);
  }
  GlobalFree(container);
  return values;
}

std::uint16_t TwainSession::NativeTransfer(std::vector<std::uint8_t>& bitmap) {
  twain::Handle handle = nullptr;
  const std::uint16_t rc =
      Call(twain::kDgImage, twain::kDatImageNativeXfer, twain::kMsgGet, &handle);
  if (handle == nullptr) return rc == twain::kRcXferDone ? twain::kRcFailure : rc;
  const auto memory = static_cast<HGLOBAL>(handle);
  if (const auto* locked = static_cast<const std::uint8_t*>(GlobalLock(memory));
      locked != nullptr) {
    bitmap.assign(locked, locked + GlobalSize(memory));
    GlobalUnlock(memory);
  } else {
    bitmap.clear();
  }
  GlobalFree(memory);
  return rc;
}

std::uint16_t TwainSession::Set(std::uint16_t capability, std::uint16_t itemType,
                                std::uint32_t value) {
  HGLOBAL container = GlobalAlloc(GHND, sizeof(twain::OneValue));
  if (container == nullptr) return twain::kRcFailure;
  if (void* locked = GlobalLock(container); locked != nullptr) {
    const twain::OneValue one{itemType, value};
    std::memcpy(locked, &one, sizeof one);
    GlobalUnlock(container);
  }
  twain::Capability set{capability, twain::kOnOneValue, container};
  const std::uint16_t rc = Call(twain::kDgControl, twain::kDatCapability, twain::kMsgSet, &set);
  GlobalFree(container);
  return rc;
}

std::uint16_t TwainSession::Enable(bool settingsOnly, void* parent) {
  twain::UserInterface ui{settingsOnly ? std::uint16_t{1} : std::uint16_t{0}, 0,
                          parent != nullptr ? parent : window_};
  const std::uint16_t rc =
      Call(twain::kDgControl, twain::kDatUserInterface,
           settingsOnly ? twain::kMsgEnableDsUiOnly : twain::kMsgEnableDs, &ui);
  // A source that cannot hide its interface says so and is enabled all the same.
  enabled_ = rc == twain::kRcSuccess || rc == twain::kRcCheckStatus;
  return rc;
}

void TwainSession::Disable() {
  if (!enabled_) return;
  twain::PendingXfers pending{};
  if (transferring_) Call(twain::kDgControl, twain::kDatPendingXfers, twain::kMsgEndXfer, &pending);
  if (pending_) Call(twain::kDgControl, twain::kDatPendingXfers, twain::kMsgReset, &pending);
  twain::UserInterface ui{0, 0, window_};
  Call(twain::kDgControl, twain::kDatUserInterface, twain::kMsgDisableDs, &ui);
  enabled_ = false;
  pending_ = false;
  transferring_ = false;
}

SourceEvent TwainSession::WaitForEvent(const std::function<bool()>& aborted) {
  for (;;) {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      twain::Event event{&message, 0};
      if (Call(twain::kDgControl, twain::kDatEvent, twain::kMsgProcessEvent, &event) ==
          twain::kRcDsEvent) {
        if (event.message == twain::kMsgXferReady) {
          pending_ = true;
          return SourceEvent::XferReady;
        }
        if (event.message == twain::kMsgCloseDsReq) return SourceEvent::CloseRequest;
        if (event.message == twain::kMsgCloseDsOk) return SourceEvent::CloseOk;
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (aborted()) return SourceEvent::Aborted;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

}  // namespace sim
