// Modal dialogs outside Windows: windows built from their templates, a message queue per
// thread for requests posted from other threads, and a modal loop that shows the dialog in
// front to the user one action at a time. It behaves as the Windows dialog manager does for
// what the dialog procedures use: automatic check boxes and radio groups, a click as a
// command message, end-dialog taking effect when the procedure returns, posted requests to an
// owner served by the loop of the dialog it owns.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/dialog_user.h"
#include "platform/posix/terminal_user.h"

namespace platform {

namespace {

// Pixels per dialog unit with the "System" font's base units (8 by 16 pixels).
constexpr std::int32_t kPixelsPerUnitX = 2;
constexpr std::int32_t kPixelsPerUnitY = 2;

struct PostedMessage {
  std::uintptr_t window;
  std::uint32_t message;
};

class MessageQueue {
 public:
  void Post(PostedMessage message) {
    {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
    }
    posted_.notify_all();
  }
  std::optional<PostedMessage> TryTake() {
    std::lock_guard lock(mutex_);
    if (messages_.empty()) return std::nullopt;
    const PostedMessage first = messages_.front();
    messages_.pop_front();
    return first;
  }
  void WaitForMessage(std::uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto posted = [this] { return !messages_.empty(); };
    if (timeoutMs == kInfinite) {
      posted_.wait(lock, posted);
    } else {
      posted_.wait_for(lock, std::chrono::milliseconds(timeoutMs), posted);
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<PostedMessage> messages_;
};

std::shared_ptr<MessageQueue> ThisThreadQueue() {
  thread_local const auto queue = std::make_shared<MessageQueue>();
  return queue;
}

struct ControlData {
  const DialogControl* control;
  ControlState state;
};

struct WindowData {
  const DialogTemplate* dialog;
  DialogProc proc;
  std::shared_ptr<MessageQueue> queue;
  std::vector<ControlData> controls;
  Rect rect;
  bool ended = false;
  std::intptr_t result = 0;

  ControlData* Find(std::int32_t id) {
    for (ControlData& control : controls) {
      if (control.control->id == id) return &control;
    }
    return nullptr;
  }
};

// Every live window by its handle. Handles are never reused, so a late call with the handle
// of a window that is gone finds nothing instead of another window.
class WindowTable {
 public:
  std::uintptr_t Create(WindowData data) {
    std::lock_guard lock(mutex_);
    nextHandle_ += 4;
    windows_.emplace(nextHandle_, std::move(data));
    return nextHandle_;
  }
  std::intptr_t Destroy(std::uintptr_t handle) {
    std::lock_guard lock(mutex_);
    const auto found = windows_.find(handle);
    const std::intptr_t result = found->second.result;
    windows_.erase(found);
    return result;
  }
  // Runs work on the window under the table's lock; false when there is no such window.
  template <typename Work>
  bool With(Window* window, Work work) {
    std::lock_guard lock(mutex_);
    const auto found = windows_.find(reinterpret_cast<std::uintptr_t>(window));
    if (found == windows_.end()) return false;
    work(found->second);
    return true;
  }

 private:
  std::mutex mutex_;
  std::map<std::uintptr_t, WindowData> windows_;
  std::uintptr_t nextHandle_ = 0x10000;
};

WindowTable& Windows() {
  static WindowTable* const table = new WindowTable;  // dialogs may outlive static teardown
  return *table;
}

std::atomic<DialogUser*> CurrentUser{nullptr};

DialogUser& User() {
  DialogUser* user = CurrentUser.load();
  return user != nullptr ? *user : TerminalUser();
}

Window* AsWindow(std::uintptr_t handle) {
  return reinterpret_cast<Window*>(handle);
}

DialogState StateOf(const WindowData& data) {
  DialogState state;
  state.templateId = data.dialog->id;
  state.caption = data.dialog->caption != nullptr ? data.dialog->caption : "";
  state.rect = data.rect;
  for (const ControlData& control : data.controls) state.controls.push_back(control.state);
  return state;
}

std::optional<DialogState> StateOf(Window* window) {
  std::optional<DialogState> state;
  Windows().With(window, [&](WindowData& data) { state = StateOf(data); });
  return state;
}

WindowData NewWindow(const DialogTemplate& dialog, Window* owner, DialogProc proc) {
  WindowData data{&dialog, proc, ThisThreadQueue(), {}, {}, false, 0};
  Rect origin{};
  Windows().With(owner, [&](WindowData& ownerData) { origin = ownerData.rect; });
  data.rect.left = origin.left + dialog.x * kPixelsPerUnitX;
  data.rect.top = origin.top + dialog.y * kPixelsPerUnitY;
  data.rect.right = data.rect.left + dialog.width * kPixelsPerUnitX;
  data.rect.bottom = data.rect.top + dialog.height * kPixelsPerUnitY;
  for (std::size_t index = 0; index < dialog.controlCount; ++index) {
    const DialogControl& control = dialog.controls[index];
    ControlState state;
    state.id = control.id;
    state.style = control.style;
    state.text = control.text != nullptr ? control.text : "";
    data.controls.push_back({&control, state});
  }
  return data;
}

// A click's automatic behaviour: false when the user cannot click the control.
bool PressControl(WindowData& data, std::int32_t id) {
  ControlData* pressed = data.Find(id);
  if (pressed == nullptr || !pressed->state.enabled || !pressed->state.visible) return false;
  switch (pressed->control->style & kButtonTypeMask) {
    case kGroupBox:
      return false;
    case kAutoCheckBox:
      pressed->state.checked = !pressed->state.checked;
      return true;
    case kAutoRadioButton: {
      // The group runs from the control marked as its start to the next such control.
      const auto at = static_cast<std::size_t>(pressed - data.controls.data());
      std::size_t first = at;
      while (first > 0 && (data.controls[first].control->style & kStyleGroup) == 0) --first;
      std::size_t end = at + 1;
      while (end < data.controls.size() && (data.controls[end].control->style & kStyleGroup) == 0) {
        ++end;
      }
      for (std::size_t index = first; index < end; ++index) {
        ControlData& member = data.controls[index];
        if ((member.control->style & kButtonTypeMask) == kAutoRadioButton) {
          member.state.checked = (index == at);
        }
      }
      return true;
    }
    default:
      return true;
  }
}

void Deliver(const PostedMessage& posted) {
  DialogProc proc = nullptr;
  Window* window = AsWindow(posted.window);
  Windows().With(window, [&](WindowData& data) { proc = data.proc; });
  if (proc != nullptr) proc(window, posted.message, 0, 0);
}

void Perform(Window* window, DialogProc proc, const DialogAction& action, MessageQueue& queue) {
  switch (action.kind) {
    case DialogAction::Kind::Click: {
      bool clicked = false;
      Windows().With(window,
                     [&](WindowData& data) { clicked = PressControl(data, action.controlId); });
      if (clicked) {
        const auto wParam = static_cast<std::uintptr_t>(action.controlId & 0xFFFF) |
                            (static_cast<std::uintptr_t>(kButtonClicked) << 16);
        proc(window, kMessageCommand, wParam, 0);
      }
      return;
    }
    case DialogAction::Kind::Help:
      proc(window, kMessageHelp, 0, 0);
      return;
    case DialogAction::Kind::Close:
      proc(window, kMessageClose, 0, 0);
      return;
    case DialogAction::Kind::Wait:
      queue.WaitForMessage(action.waitMs);
      return;
  }
}

bool Ended(Window* window) {
  bool ended = true;
  Windows().With(window, [&](WindowData& data) { ended = data.ended; });
  return ended;
}

// Runs work on one control of the window: false when there is no such window or control.
template <typename Work>
bool WithControl(Window* window, std::int32_t id, Work work) {
  bool found = false;
  Windows().With(window, [&](WindowData& data) {
    if (ControlData* control = data.Find(id)) {
      work(control->state);
      found = true;
    }
  });
  return found;
}

}  // namespace

const ControlState* DialogState::Control(std::int32_t id) const {
  for (const ControlState& control : controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

void SetDialogUser(DialogUser* user) {
  CurrentUser = user;
}

std::intptr_t DialogBoxParam(Module* /*module*/, const DialogTemplate& dialog, Window* owner,
                             DialogProc proc, std::intptr_t parameter) {
  if (proc == nullptr) return -1;
  const std::shared_ptr<MessageQueue> queue = ThisThreadQueue();
  Window* window = AsWindow(Windows().Create(NewWindow(dialog, owner, proc)));
  proc(window, kMessageInitDialog, 0, parameter);
  while (!Ended(window)) {
    if (const auto posted = queue->TryTake()) {
      Deliver(*posted);
      continue;
    }
    const std::optional<DialogState> state = StateOf(window);
    Perform(window, proc, User().NextAction(*state), *queue);
  }
  return Windows().Destroy(reinterpret_cast<std::uintptr_t>(window));
}

bool EndDialog(Window* window, std::intptr_t result) {
  return Windows().With(window, [&](WindowData& data) {
    data.ended = true;
    data.result = result;
  });
}

bool CheckDlgButton(Window* window, std::int32_t id, bool checked) {
  return WithControl(window, id, [&](ControlState& control) { control.checked = checked; });
}

bool IsDlgButtonChecked(Window* window, std::int32_t id) {
  bool checked = false;
  WithControl(window, id, [&](ControlState& control) { checked = control.checked; });
  return checked;
}

bool CheckRadioButton(Window* window, std::int32_t first, std::int32_t last, std::int32_t id) {
  return Windows().With(window, [&](WindowData& data) {
    for (ControlData& control : data.controls) {
      const std::int32_t at = control.control->id;
      if (at >= first && at <= last) control.state.checked = (at == id);
    }
  });
}

bool EnableDlgItem(Window* window, std::int32_t id, bool enable) {
  return WithControl(window, id, [&](ControlState& control) { control.enabled = enable; });
}

bool ShowDlgItem(Window* window, std::int32_t id, bool show) {
  return WithControl(window, id, [&](ControlState& control) { control.visible = show; });
}

bool PostCloseRequest(Window* window) {
  return Windows().With(window, [&](WindowData& data) {
    data.queue->Post({reinterpret_cast<std::uintptr_t>(window), kMessageClose});
  });
}

int MessageBox(Window* owner, const char* text, const char* caption, std::uint32_t type) {
  const std::optional<DialogState> ownerState = StateOf(owner);
  return User().AnswerMessageBox(ownerState ? &*ownerState : nullptr, text != nullptr ? text : "",
                                 caption != nullptr ? caption : "", type);
}

void GetScreenSize(std::int32_t& width, std::int32_t& height) {
  width = 0;
  height = 0;
  User().ScreenSize(width, height);
}

bool GetWindowRect(Window* window, Rect& rect) {
  return Windows().With(window, [&](WindowData& data) { rect = data.rect; });
}

bool MoveWindow(Window* window, std::int32_t x, std::int32_t y, std::int32_t width,
                std::int32_t height, bool /*repaint*/) {
  return Windows().With(window, [&](WindowData& data) {
    data.rect = {x, y, x + width, y + height};
  });
}

}  // namespace platform
