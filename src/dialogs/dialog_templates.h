// The library's two dialog templates, described for the dialog manager from the lists the
// resource compiler reads.
#pragma once

#include "platform/platform.h"

extern const platform::DialogTemplate ScannerControlsTemplate;  // 259
extern const platform::DialogTemplate BarPatchTemplate;         // 260
