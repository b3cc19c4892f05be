// Dialogs as text: the caption, then each control with its number and state, drawn again
// whenever something changed; the user types a control's number to click it, "h" for help or
// "x" to close the window. Input is awaited in short slices so that a close request posted
// from another thread is served while the user thinks. The end of the input closes the
// window, so a host without a terminal is never held by a dialog.
#include "platform/posix/terminal_user.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace platform {

namespace {

constexpr int kInputSliceMs = 100;

// The text without its mnemonic marks ("&Flatbed" reads "Flatbed").
std::string Plain(const std::string& text) {
  std::string plain;
  for (char c : text) {
    if (c != '&') plain += c;
  }
  return plain;
}

std::string Render(const DialogState& dialog) {
  std::string text = "\n== " + dialog.caption + " ==\n";
  for (const ControlState& control : dialog.controls) {
    if (!control.visible) continue;
    const std::uint32_t type = control.style & kButtonTypeMask;
    if (type == kGroupBox) {
      text += "  " + Plain(control.text) + ":\n";
      continue;
    }
    std::string mark = "[ " + Plain(control.text) + " ]";
    if (type == kAutoCheckBox) mark = (control.checked ? "[x] " : "[ ] ") + Plain(control.text);
    if (type == kAutoRadioButton) mark = (control.checked ? "(*) " : "( ) ") + Plain(control.text);
    char number[16];
    std::snprintf(number, sizeof number, "%6d  ", static_cast<int>(control.id));
    text += number + mark + (control.enabled ? "" : "  (not available)") + "\n";
  }
  text += "Type a number to click, h for help, x to close: ";
  return text;
}

class Terminal final : public DialogUser {
 public:
  DialogAction NextAction(const DialogState& dialog) override {
    std::lock_guard lock(mutex_);
    const std::string shown = Render(dialog);
    if (shown != lastShown_) {
      std::fputs(shown.c_str(), stdout);
      std::fflush(stdout);
      lastShown_ = shown;
    }
    std::string line;
    switch (ReadLine(line, kInputSliceMs)) {
      case Input::None:
        return DialogAction::Wait(0);
      case Input::End:
        return DialogAction::Close();
      case Input::Line:
        break;
    }
    lastShown_.clear();
    if (line == "h") return DialogAction::Help();
    if (line == "x") return DialogAction::Close();
    char* end = nullptr;
    const long id = std::strtol(line.c_str(), &end, 10);
    if (end != line.c_str() && *end == '\0')
      return DialogAction::Click(static_cast<std::int32_t>(id));
    return DialogAction::Wait(0);
  }

  int AnswerMessageBox(const DialogState* /*owner*/, const std::string& text,
                       const std::string& caption, std::uint32_t /*type*/) override {
    std::lock_guard lock(mutex_);
    std::printf("\n** %s **\n%s\nPress Enter: ", caption.c_str(), text.c_str());
    std::fflush(stdout);
    std::string line;
    ReadLine(line, kInfinite);
    lastShown_.clear();
    return kAnswerOk;
  }

 private:
  enum class Input { None, Line, End };

  // A whole line without its end, taking what arrives within timeoutMs.
  Input ReadLine(std::string& line, std::uint32_t timeoutMs) {
    for (;;) {
      if (const auto end = pending_.find('\n'); end != std::string::npos) {
        line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return Input::Line;
      }
      if (ended_) return Input::End;
      pollfd input{STDIN_FILENO, POLLIN, 0};
      const int ready = poll(&input, 1, timeoutMs == kInfinite ? -1 : static_cast<int>(timeoutMs));
      if (ready == 0) return Input::None;
      if (ready < 0 && errno == EINTR) continue;
      char buffer[256];
      const ssize_t got = ready < 0 ? -1 : read(STDIN_FILENO, buffer, sizeof buffer);
      if (got <= 0) {
        // The last line may come without its end.
        ended_ = true;
        if (!pending_.empty()) pending_ += '\n';
        continue;
      }
      pending_.append(buffer, static_cast<std::size_t>(got));
    }
  }

  std::mutex mutex_;
  std::string pending_;
  std::string lastShown_;
  bool ended_ = false;
};

}  // namespace

DialogUser& TerminalUser() {
  static Terminal* const terminal = new Terminal;
  return *terminal;
}

}  // namespace platform
