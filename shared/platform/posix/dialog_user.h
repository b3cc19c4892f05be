// Who answers the dialogs outside Windows. The dialog runtime shows each modal dialog to a
// user: it hands the user the dialog's state and takes one action at a time (a click, F1, a
// close request, or waiting for a request posted from another thread). Message boxes are
// answered the same way. Without a user of the host's, the terminal answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

struct ControlState {
  std::int32_t id = 0;
  std::uint32_t style = 0;
  std::string text;
  bool checked = false;
  bool enabled = true;
  bool visible = true;
};

struct DialogState {
  std::int32_t templateId = 0;
  std::string caption;
  Rect rect{};  // on the screen, in pixels
  std::vector<ControlState> controls;

  // The control of that id, or null.
  const ControlState* Control(std::int32_t id) const;
};

struct DialogAction {
  enum class Kind {
    Click,  // a click on a control: its automatic behaviour, then a command message
    Help,   // F1
    Close,  // the window's close box
    Wait,   // nothing: wait up to waitMs for a message posted from another thread
  };
  Kind kind = Kind::Wait;
  std::int32_t controlId = 0;
  std::uint32_t waitMs = kInfinite;

  static DialogAction Click(std::int32_t id) { return {Kind::Click, id, 0}; }
  static DialogAction Help() { return {Kind::Help, 0, 0}; }
  static DialogAction Close() { return {Kind::Close, 0, 0}; }
  static DialogAction Wait(std::uint32_t ms = kInfinite) { return {Kind::Wait, 0, ms}; }
};

class DialogUser {
 public:
  // The next action on the dialog in front; called on the dialog's thread whenever no
  // posted message is waiting.
  virtual DialogAction NextAction(const DialogState& dialog) = 0;
  // A message box over owner (null: none); the answer, kAnswerOk for an OK button.
  virtual int AnswerMessageBox(const DialogState* owner, const std::string& text,
                               const std::string& caption, std::uint32_t type) = 0;
  // The screen dialogs are centred on, in pixels.
  virtual void ScreenSize(std::int32_t& width, std::int32_t& height) {
    width = 1024;
    height = 768;
  }

 protected:
  ~DialogUser() = default;
};

// Sets the user of every dialog shown from now on; null gives the terminal back. It must not
// be called while a dialog is showing.
void SetDialogUser(DialogUser* user);

}  // namespace platform
