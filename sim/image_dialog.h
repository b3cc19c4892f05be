// A driver's own image-parameter dialog, the answer to QelDrvShowDialog: resolution, bits per
// dot and width, offered from the driver's tags and their choices. OK sets the chosen values
// through the driver's own messages, so its rules and linked tags apply; Cancel and closing
// the window change nothing.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "sim/driver.h"

namespace sim {

// 0; the dialog is owned by owner (null: none).
std::int32_t ShowImageDialog(Driver& driver, platform::Window* owner);

}  // namespace sim
