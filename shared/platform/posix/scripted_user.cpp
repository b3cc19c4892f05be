#include "platform/posix/scripted_user.h"

namespace platform {

ScriptedUser& ScriptedUser::Then(DialogAction action) {
  std::lock_guard lock(mutex_);
  script_.push_back(action);
  return *this;
}

ScriptedUser& ScriptedUser::Click(std::int32_t id) {
  return Then(DialogAction::Click(id));
}

ScriptedUser& ScriptedUser::Help() {
  return Then(DialogAction::Help());
}

ScriptedUser& ScriptedUser::Close() {
  return Then(DialogAction::Close());
}

ScriptedUser& ScriptedUser::WaitForRequest() {
  return Then(DialogAction::Wait());
}

ScriptedUser& ScriptedUser::Screen(std::int32_t width, std::int32_t height) {
  std::lock_guard lock(mutex_);
  screenWidth_ = width;
  screenHeight_ = height;
  return *this;
}

std::vector<ScriptedUser::Step> ScriptedUser::Steps() const {
  std::lock_guard lock(mutex_);
  return steps_;
}

std::vector<ScriptedUser::ShownMessageBox> ScriptedUser::MessageBoxes() const {
  std::lock_guard lock(mutex_);
  return messageBoxes_;
}

int ScriptedUser::Unscripted() const {
  std::lock_guard lock(mutex_);
  return unscripted_;
}

void ScriptedUser::AwaitWaiting() {
  std::unique_lock lock(mutex_);
  waiting_.wait(lock, [this] { return isWaiting_; });
}

DialogAction ScriptedUser::NextAction(const DialogState& dialog) {
  std::lock_guard lock(mutex_);
  // A wait ends with the posted request it waited for; the script goes on after it.
  isWaiting_ = false;
  DialogAction action = DialogAction::Close();
  if (script_.empty()) {
    ++unscripted_;
  } else {
    action = script_.front();
    script_.pop_front();
  }
  if (action.kind == DialogAction::Kind::Wait) {
    isWaiting_ = true;
    waiting_.notify_all();
  }
  steps_.push_back({dialog, action});
  return action;
}

int ScriptedUser::AnswerMessageBox(const DialogState* owner, const std::string& text,
                                   const std::string& caption, std::uint32_t type) {
  std::lock_guard lock(mutex_);
  messageBoxes_.push_back(
      {owner != nullptr ? std::optional(*owner) : std::nullopt, text, caption, type});
  return kAnswerOk;
}

void ScriptedUser::ScreenSize(std::int32_t& width, std::int32_t& height) {
  std::lock_guard lock(mutex_);
  width = screenWidth_;
  height = screenHeight_;
}

}  // namespace platform
