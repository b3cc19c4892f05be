// A user that follows a script, for tests: each action in turn on the dialog in front, every
// dialog state it acted on kept for reading afterwards, message boxes answered OK and kept.
// When the script runs out it closes the dialog in front, so no test hangs on a dialog.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/dialog_user.h"

namespace platform {

class ScriptedUser final : public DialogUser {
 public:
  struct Step {
    DialogState dialog;  // as the action found it
    DialogAction action;
  };
  struct ShownMessageBox {
    std::optional<DialogState> owner;
    std::string text;
    std::string caption;
    std::uint32_t type;
  };

  ScriptedUser& Click(std::int32_t id);
  ScriptedUser& Help();
  ScriptedUser& Close();
  // Waits for a request posted from another thread (SCANKILL's close).
  ScriptedUser& WaitForRequest();
  ScriptedUser& Screen(std::int32_t width, std::int32_t height);

  std::vector<Step> Steps() const;
  std::vector<ShownMessageBox> MessageBoxes() const;
  // The dialogs closed because the script had run out.
  int Unscripted() const;
  // Returns once the user waits for a posted request.
  void AwaitWaiting();

  DialogAction NextAction(const DialogState& dialog) override;
  int AnswerMessageBox(const DialogState* owner, const std::string& text,
                       const std::string& caption, std::uint32_t type) override;
  void ScreenSize(std::int32_t& width, std::int32_t& height) override;

 private:
  ScriptedUser& Then(DialogAction action);

  mutable std::mutex mutex_;
  std::condition_variable waiting_;
  std::deque<DialogAction> script_;
  std::vector<Step> steps_;
  std::vector<ShownMessageBox> messageBoxes_;
  int unscripted_ = 0;
  bool isWaiting_ = false;
  std::int32_t screenWidth_ = 1024;
  std::int32_t screenHeight_ = 768;
};

}  // namespace platform
