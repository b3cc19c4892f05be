// The barcode component's own settings dialog: the kinds of barcode it reads and whether it
// tries harder. OK changes the settings; Cancel and closing the window leave them.
#pragma once

#include "sim/barcode/barcode_settings.h"

namespace sim {

// True when the user accepted new settings.
bool ShowBarcodePropertySheet(BarcodeSettings& settings);

}  // namespace sim
