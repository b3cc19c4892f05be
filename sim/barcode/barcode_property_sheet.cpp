#include "sim/barcode/barcode_property_sheet.h"

#include "sim/dialogs/dialog_builder.h"

namespace sim {

namespace {

constexpr std::int32_t kTemplateId = 1;
constexpr std::int32_t kFirstSymbology = 100;
constexpr std::int32_t kTryHarder = 200;
constexpr std::size_t kPerColumn = 8;

class SheetForm final : public DialogForm {
 public:
  explicit SheetForm(BarcodeSettings& settings) : editing_(settings) {}
  void Show(platform::Window* window) override;
  bool Take(platform::Window* window) override;

 private:
  BarcodeSettings& editing_;
};

void SheetForm::Show(platform::Window* window) {
  for (std::size_t index = 0; index < kSymbologyNames.size(); ++index) {
    platform::CheckDlgButton(window, kFirstSymbology + static_cast<std::int32_t>(index),
                             (editing_.symbologies >> index & 1u) != 0);
  }
  platform::CheckDlgButton(window, kTryHarder, editing_.tryHarder);
}

// False, with the user told, when no kind of barcode is chosen.
bool SheetForm::Take(platform::Window* window) {
  BarcodeSettings chosen = editing_;
  chosen.symbologies = 0;
  for (std::size_t index = 0; index < kSymbologyNames.size(); ++index) {
    if (platform::IsDlgButtonChecked(window, kFirstSymbology + static_cast<std::int32_t>(index))) {
      chosen.symbologies |= 1u << index;
    }
  }
  if (chosen.symbologies == 0) {
    platform::MessageBox(window, "Choose at least one kind of barcode.", "Barcode Settings",
                         platform::kMessageBoxOk);
    return false;
  }
  chosen.tryHarder = platform::IsDlgButtonChecked(window, kTryHarder);
  editing_ = chosen;
  return true;
}

}  // namespace

bool ShowBarcodePropertySheet(BarcodeSettings& settings) {
  DialogBuilder builder("Barcode Settings", kTemplateId);
  for (std::size_t index = 0; index < kSymbologyNames.size(); ++index) {
    if (index % kPerColumn == 0) builder.Group(index == 0 ? "Read" : "");
    builder.CheckBox(kFirstSymbology + static_cast<std::int32_t>(index),
                     std::string(kSymbologyNames[index]));
  }
  builder.Group("Reading");
  builder.CheckBox(kTryHarder, "Try harder");
  BarcodeSettings edited = settings;
  SheetForm form(edited);
  if (!RunDialog(builder.Template(), nullptr, form)) return false;
  settings = edited;
  return true;
}

}  // namespace sim
