#include "dialogs/bar_patch_dialog.h"

#include "core/control_block.h"
#include "core/trace_log.h"
#include "framework/barcode.h"
#include "resources/dialogs.h"

namespace {

void InitBarPatch(platform::Window* window) {
  platform::CheckDlgButton(window, IDC_PATCH_2, SCB.p2 != 0);
  platform::CheckDlgButton(window, IDC_PATCH_3, SCB.p3 != 0);
  platform::CheckDlgButton(window, IDC_PATCH_T, SCB.pt != 0);
  platform::CheckDlgButton(window, IDC_SEARCH_BARCODES, SCB.bro != 0);
  platform::EnableDlgItem(window, IDC_CONFIGURE_BARCODE, SCB.bro != 0);
}

std::int32_t Checked(platform::Window* window, std::int32_t id) {
  return platform::IsDlgButtonChecked(window, id) ? 1 : 0;
}

void StoreSwitches(platform::Window* window) {
  SCB.p2 = Checked(window, IDC_PATCH_2);
  SCB.p3 = Checked(window, IDC_PATCH_3);
  SCB.pt = Checked(window, IDC_PATCH_T);
  SCB.bro = Checked(window, IDC_SEARCH_BARCODES);
}

}  // namespace

std::intptr_t KOV_DIALOG_CALLBACK BarPatchProc(platform::Window* window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t /*lParam*/) {
  switch (message) {
    case platform::kMessageInitDialog:
      InitBarPatch(window);
      return 0;
    case platform::kMessageClose:
      platform::EndDialog(window, IDC_CANCEL);
      return 0;
    case platform::kMessageCommand:
      break;
    default:
      return 0;
  }
  const auto id = static_cast<std::int32_t>(wParam & 0xFFFF);
  const auto notification = static_cast<std::uint32_t>((wParam >> 16) & 0xFFFF);
  switch (id) {
    case IDC_OK:
      StoreSwitches(window);
      TraceLog("   OK on bar/patch dlg.  values set to SCB");
      platform::EndDialog(window, IDC_OK);
      return 0;
    case IDC_CANCEL:
      platform::EndDialog(window, IDC_CANCEL);
      return 0;
    case IDC_SEARCH_BARCODES:
      if (notification == platform::kButtonClicked) {
        platform::EnableDlgItem(window, IDC_CONFIGURE_BARCODE,
                                platform::IsDlgButtonChecked(window, IDC_SEARCH_BARCODES));
      }
      return 1;
    case IDC_CONFIGURE_BARCODE:
      TraceLog("   Popping barcode property sheet");
      // The component lives from driver load; the dialog only shows with a driver loaded.
      if (SCB.pBarcode != nullptr) SCB.pBarcode->ShowPropertySheet();
      return 1;
    default:
      return 0;
  }
}
