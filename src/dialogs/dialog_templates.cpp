#include "dialogs/dialog_templates.h"

#include <iterator>

#include "resources/dialogs.h"

namespace {

#define KOV_DIALOG_CONTROL(id, kind, text, x, y, width, height) \
  {id, static_cast<std::uint32_t>(kind), text, x, y, width, height},

constexpr platform::DialogControl kScannerControls[] = {KOV_SCANNER_CONTROLS(KOV_DIALOG_CONTROL)};
constexpr platform::DialogControl kBarPatch[] = {KOV_BAR_PATCH(KOV_DIALOG_CONTROL)};

#undef KOV_DIALOG_CONTROL

constexpr platform::DialogTemplate Describe(std::int32_t id, std::int16_t x, std::int16_t y,
                                            std::int16_t width, std::int16_t height,
                                            const platform::DialogControl* controls,
                                            std::size_t count) {
  return {id,
          static_cast<std::uint32_t>(KOV_DIALOG_STYLE),
          KOV_DIALOG_CAPTION,
          KOV_DIALOG_FONT,
          KOV_DIALOG_FONT_SIZE,
          x,
          y,
          width,
          height,
          controls,
          count};
}

}  // namespace

const platform::DialogTemplate ScannerControlsTemplate =
    Describe(IDD_SCANNER_CONTROLS, KOV_SCANNER_CONTROLS_DIALOG, kScannerControls,
             std::size(kScannerControls));
const platform::DialogTemplate BarPatchTemplate =
    Describe(IDD_BAR_PATCH, KOV_BAR_PATCH_DIALOG, kBarPatch, std::size(kBarPatch));
