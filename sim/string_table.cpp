// The library's string table, served to QelLoadString.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "framework/qel.h"
#include "resources/strings.h"
#include "sim/errors.h"
#include "sim/guard.h"
#include "sim/switches.h"
#include "sim/text_copy.h"

namespace sim {
namespace {

struct StringEntry {
  std::int32_t number;
  std::string_view text;
};

constexpr std::array<StringEntry, 1> kStrings{{
    {IDS_DEVICE_NAME, STR_DEVICE_NAME},
}};

}  // namespace
}  // namespace sim

// A negative number asks for the string from the calling module's own table; there is only
// the library's here, so the instance and the sign do not matter.
extern "C" std::int32_t QelLoadString(void* /*moduleInstance*/, std::int32_t number, char* buffer,
                                      std::int32_t bufferSize) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    const bool usable = buffer != nullptr && bufferSize > 0;
    if (const auto failure = EnterOperation(Op::LoadString); failure < 0) {
      if (usable) EmptyText(buffer, bufferSize);
      return failure;
    }
    if (!usable) return error::kInvalidArgument;
    const std::int64_t wanted = number < 0 ? -static_cast<std::int64_t>(number) : number;
    const auto found = std::ranges::find(kStrings, wanted, &StringEntry::number);
    if (found == kStrings.end()) {
      EmptyText(buffer, bufferSize);
      return error::kStringNotFound;
    }
    return CopyCut(found->text, buffer, bufferSize);
  });
}
