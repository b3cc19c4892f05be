#include "sim/barcode/barcode_property_sheet.h"

#include <string>

#include "sim/dialogs/dialog_builder.h"
#include "sim/services/faults/errors.h"
#include "sim/services/operations/error_texts.h"

namespace sim {

namespace {

constexpr const char* kCaption = "Barcode Settings";
constexpr std::int32_t kTemplateId = 1;
constexpr std::int32_t kFirstSymbology = 100;
constexpr std::int32_t kTryHarder = 200;
constexpr std::size_t kPerColumn = 8;

class SheetForm final : public DialogForm {
 public:
  SheetForm(BarcodeSettings& settings, std::uint32_t readable)
      : editing_(settings), readable_(readable) {}
  void Show(platform::Window* window) override;
  bool Take(platform::Window* window) override;

 private:
  BarcodeSettings& editing_;
  std::uint32_t readable_;
};

void SheetForm::Show(platform::Window* window) {
  for (std::size_t index = 0; index < kSymbologies.size(); ++index) {
    platform::CheckDlgButton(window, kFirstSymbology + static_cast<std::int32_t>(index),
                             (editing_.symbologies >> index & 1u) != 0);
  }
  platform::CheckDlgButton(window, kTryHarder, editing_.tryHarder);
}

// False, with the user told, when no kind of barcode is chosen or one the build cannot read.
bool SheetForm::Take(platform::Window* window) {
  BarcodeSettings chosen = editing_;
  chosen.symbologies = 0;
  for (std::size_t index = 0; index < kSymbologies.size(); ++index) {
    if (platform::IsDlgButtonChecked(window, kFirstSymbology + static_cast<std::int32_t>(index))) {
      chosen.symbologies |= 1u << index;
    }
  }
  if (chosen.symbologies == 0) {
    platform::MessageBox(window, "Choose at least one kind of barcode.", kCaption,
                         platform::kMessageBoxOk);
    return false;
  }
  if (const std::uint32_t unread = chosen.symbologies & ~readable_; unread != 0) {
    const std::string text = std::string(*FrameworkErrorText(error::kKindNotRead)) + ": " +
                             SymbologyList(unread, ", ") + ".";
    platform::MessageBox(window, text.c_str(), kCaption, platform::kMessageBoxOk);
    return false;
  }
  chosen.tryHarder = platform::IsDlgButtonChecked(window, kTryHarder);
  editing_ = chosen;
  return true;
}

}  // namespace

bool ShowBarcodePropertySheet(BarcodeSettings& settings, std::uint32_t readable) {
  DialogBuilder builder(kCaption, kTemplateId);
  for (std::size_t index = 0; index < kSymbologies.size(); ++index) {
    if (index % kPerColumn == 0) builder.Group(index == 0 ? "Read" : "");
    builder.CheckBox(kFirstSymbology + static_cast<std::int32_t>(index),
                     std::string(kSymbologies[index].name));
  }
  builder.Group("Reading");
  builder.CheckBox(kTryHarder, "Try harder");
  BarcodeSettings edited = settings;
  SheetForm form(edited, readable);
  if (!RunDialog(builder.Template(), nullptr, form)) return false;
  settings = edited;
  return true;
}

}  // namespace sim
