// The barcode component's own settings dialog: the kinds of barcode it reads and whether it
// tries harder. OK changes the settings; Cancel and closing the window leave them. Every kind
// of the table is offered, so that the sheet looks alike in both builds; OK refuses, saying
// which, the kinds outside `readable` (the build's library does not read them).
#pragma once

#include <cstdint>

#include "sim/barcode/barcode_settings.h"

namespace sim {

// True when the user accepted new settings.
bool ShowBarcodePropertySheet(BarcodeSettings& settings, std::uint32_t readable);

}  // namespace sim
