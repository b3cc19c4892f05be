// Containers of any content as a TWAIN source hands them back for a capability: the reading
// stays within the bytes given, and a list it accepts fits them.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sim/drivers/twain_containers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the kind: array, enumeration, one value or range.
  const auto type = static_cast<std::uint16_t>(sim::twain::kOnArray + data[0] % 4);
  // A buffer of its own, so a read past the container's bytes is caught.
  const std::vector<std::uint8_t> container(data + 1, data + size);
  const auto values = sim::ReadContainer(type, container.data(), container.size());
  if (values && values->allowed.size() > container.size()) abort();
  return 0;
}
