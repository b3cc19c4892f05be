// The Scanner Controls dialog (template 259): scan type, job separators, scan-ahead and the
// compression of the delivered image, on the loaded scanner driver and the working values;
// from it the driver's own image dialog and the bar/patch dialog.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// lParam of the initialise message: the caller's ParmRecord. Results: 1 OK (applied),
// 2 Cancel or closed, 258 Save as... (applied).
std::intptr_t KOV_DIALOG_CALLBACK ScannerControlsProc(platform::Window* window,
                                                      std::uint32_t message, std::uintptr_t wParam,
                                                      std::intptr_t lParam);

void InitScannerControls(platform::Window* window);
void UpdateCompressionControls(platform::Window* window);
void ReadCompression(platform::Window* window);
void ApplyScannerControls(platform::Window* window);
