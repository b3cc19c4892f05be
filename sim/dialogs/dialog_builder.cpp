#include "sim/dialogs/dialog_builder.h"

#include <algorithm>
#include <map>

namespace sim {

namespace {

constexpr std::int16_t kMargin = 8;
constexpr std::int16_t kColumnWidth = 110;
constexpr std::int16_t kRowHeight = 13;
constexpr std::int16_t kButtonHeight = 14;
constexpr std::int32_t kOk = 1;
constexpr std::int32_t kCancel = 2;

// The form of each open dialog on this thread.
thread_local std::map<platform::Window*, DialogForm*> forms;

std::intptr_t KOV_DIALOG_CALLBACK FormProc(platform::Window* window, std::uint32_t message,
                                           std::uintptr_t wParam, std::intptr_t lParam) {
  if (message == platform::kMessageInitDialog) {
    DialogForm* form = reinterpret_cast<DialogForm*>(lParam);
    forms[window] = form;
    form->Show(window);
    return 1;
  }
  const auto found = forms.find(window);
  if (found == forms.end()) return 0;
  if (message == platform::kMessageClose) {
    platform::EndDialog(window, kCancel);
    return 1;
  }
  if (message != platform::kMessageCommand) return 0;
  if ((wParam & 0xFFFF) == kOk && found->second->Take(window)) platform::EndDialog(window, kOk);
  if ((wParam & 0xFFFF) == kCancel) platform::EndDialog(window, kCancel);
  return 1;
}

}  // namespace

bool RunDialog(const platform::DialogTemplate& dialog, platform::Window* owner, DialogForm& form) {
  const std::intptr_t result = platform::DialogBoxParam(nullptr, dialog, owner, FormProc,
                                                        reinterpret_cast<std::intptr_t>(&form));
  std::erase_if(forms, [&](const auto& entry) { return entry.second == &form; });
  return result == kOk;
}

DialogBuilder::DialogBuilder(std::string caption, std::int32_t templateId)
    : caption_(std::move(caption)), templateId_(templateId) {}

void DialogBuilder::Add(std::int32_t id, std::uint32_t style, std::string text, std::int16_t x,
                        std::int16_t y, std::int16_t width, std::int16_t height) {
  texts_.push_back(std::move(text));
  controls_.push_back({id, style, texts_.back().c_str(), x, y, width, height});
}

void DialogBuilder::Group(std::string title) {
  ++column_;
  row_ = kMargin + 10;
  groupStarted_ = false;
  groupBox_ = controls_.size();
  Add(-1, platform::kGroupBox, std::move(title),
      static_cast<std::int16_t>(kMargin + column_ * kColumnWidth), kMargin, kColumnWidth - 6, 0);
}

void DialogBuilder::Radio(std::int32_t id, std::string text) {
  // The first radio button of a group starts its radio group.
  const std::uint32_t style = platform::kAutoRadioButton |
                              (groupStarted_ ? 0 : platform::kStyleGroup | platform::kStyleTabStop);
  groupStarted_ = true;
  Add(id, style, std::move(text), static_cast<std::int16_t>(kMargin + 4 + column_ * kColumnWidth),
      row_, kColumnWidth - 14, 12);
  row_ += kRowHeight;
  controls_[groupBox_].height = static_cast<std::int16_t>(row_ - kMargin + 2);
  lowest_ = std::max(lowest_, row_);
}

void DialogBuilder::CheckBox(std::int32_t id, std::string text) {
  Add(id, platform::kAutoCheckBox | platform::kStyleGroup | platform::kStyleTabStop,
      std::move(text), static_cast<std::int16_t>(kMargin + 4 + column_ * kColumnWidth), row_,
      kColumnWidth - 14, 12);
  row_ += kRowHeight;
  controls_[groupBox_].height = static_cast<std::int16_t>(row_ - kMargin + 2);
  lowest_ = std::max(lowest_, row_);
}

const platform::DialogTemplate& DialogBuilder::Template() {
  const auto buttonsAt = static_cast<std::int16_t>(lowest_ + kMargin);
  Add(kOk, platform::kDefaultPushButton | platform::kStyleGroup | platform::kStyleTabStop, "OK",
      kMargin, buttonsAt, 50, kButtonHeight);
  Add(kCancel, platform::kPushButton | platform::kStyleTabStop, "Cancel", kMargin + 60, buttonsAt,
      50, kButtonHeight);
  const auto width =
      static_cast<std::int16_t>(std::max(2 * kMargin + (column_ + 1) * kColumnWidth, 130));
  const auto height = static_cast<std::int16_t>(buttonsAt + kButtonHeight + kMargin);
  template_ = {templateId_,
               platform::kStylePopupDialog,
               caption_.c_str(),
               "System",
               8,
               20,
               20,
               width,
               height,
               controls_.data(),
               controls_.size()};
  return template_;
}

}  // namespace sim
