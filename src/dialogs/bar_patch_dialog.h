// The bar/patch dialog (template 260): the three patch-code detections and the barcode
// search, stored into the control block on OK, and the barcode component's own settings.
#pragma once

#include <cstdint>

#include "platform/platform.h"

std::intptr_t KOV_DIALOG_CALLBACK BarPatchProc(platform::Window* window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t lParam);
