#include "sim/barcode_property_sheet.h"

#include "sim/dialog_builder.h"

namespace sim {

namespace {

constexpr std::int32_t kTemplateId = 1;
constexpr std::int32_t kFirstSymbology = 100;
constexpr std::int32_t kTryHarder = 200;
constexpr std::int32_t kOk = 1;
constexpr std::int32_t kCancel = 2;
constexpr std::size_t kPerColumn = 8;

// The settings the open sheet edits; one modal sheet at a time on a thread.
thread_local BarcodeSettings* editing = nullptr;

void Show(platform::Window* window) {
  for (std::size_t index = 0; index < kSymbologyNames.size(); ++index) {
    platform::CheckDlgButton(window, kFirstSymbology + static_cast<std::int32_t>(index),
                             (editing->symbologies >> index & 1u) != 0);
  }
  platform::CheckDlgButton(window, kTryHarder, editing->tryHarder);
}

// False, with the user told, when no kind of barcode is chosen.
bool Take(platform::Window* window) {
  BarcodeSettings chosen = *editing;
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
  *editing = chosen;
  return true;
}

std::intptr_t KOV_DIALOG_CALLBACK SheetProc(platform::Window* window, std::uint32_t message,
                                            std::uintptr_t wParam, std::intptr_t /*lParam*/) {
  switch (message) {
    case platform::kMessageInitDialog:
      Show(window);
      return 1;
    case platform::kMessageClose:
      platform::EndDialog(window, kCancel);
      return 1;
    case platform::kMessageCommand:
      if ((wParam & 0xFFFF) == kOk && Take(window)) platform::EndDialog(window, kOk);
      if ((wParam & 0xFFFF) == kCancel) platform::EndDialog(window, kCancel);
      return 1;
    default:
      return 0;
  }
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
  editing = &edited;
  const std::intptr_t result =
      platform::DialogBoxParam(nullptr, builder.Template(), nullptr, SheetProc, 0);
  editing = nullptr;
  if (result != kOk) return false;
  settings = edited;
  return true;
}

}  // namespace sim
