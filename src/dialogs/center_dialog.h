// Puts a dialog in the middle of the screen.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// 0 when moved, 1 when the screen size or the window's place is unknown or the move failed.
std::int32_t CenterDialog(platform::Window* window);
