// The component's side of COM strings: its settings texts are plain ASCII.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace sim {

// The string's text when every character is ASCII; none otherwise.
std::optional<std::string> AsciiText(platform::ComString text);

// A new string holding the ASCII text; null when there is no memory.
platform::ComString NewComString(std::string_view ascii);

}  // namespace sim
