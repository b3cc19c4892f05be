#include "core/profile_switch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "framework/qel.h"

bool ProfileSwitchEquals(const char* key, const char* expected, std::size_t bufferSize) {
  char value[260] = {};
  const auto size = static_cast<std::int32_t>(std::min(bufferSize, sizeof value));
  return QelReadProfileString(0, "KOVZAFT", key, value, size) == 0 &&
         std::strcmp(value, expected) == 0;
}
