// Values in a host's buffer, which carries no alignment promise.
#pragma once

#include <cstddef>
#include <cstring>

template <typename T>
T LoadHostValue(const void* source, std::size_t offset = 0) {
  T value;
  std::memcpy(&value, static_cast<const char*>(source) + offset, sizeof value);
  return value;
}

template <typename T>
void StoreHostValue(void* destination, T value, std::size_t offset = 0) {
  std::memcpy(static_cast<char*>(destination) + offset, &value, sizeof value);
}
