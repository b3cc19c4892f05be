// The library's string table, served to QelLoadString.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

#include "framework/qel.h"
#include "resources/strings.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"
#include "sim/services/text/text_copy.h"

namespace sim {
namespace {

#ifndef _WIN32
struct StringEntry {
  std::int32_t number;
  std::string_view text;
};

constexpr std::array<StringEntry, 1> kStrings{{
    {IDS_DEVICE_NAME, STR_DEVICE_NAME},
}};
#endif

// A negative number asks for the string from the calling module's own table. On Windows
// that is the module's string resource; elsewhere the same table, compiled in.
std::optional<std::string_view> FindString(void* moduleInstance, std::int64_t number, char* scratch,
                                           std::int32_t scratchSize) {
#ifdef _WIN32
  const int length = ::LoadStringA(static_cast<HINSTANCE>(moduleInstance),
                                   static_cast<UINT>(number), scratch, scratchSize);
  if (length <= 0) return std::nullopt;
  return std::string_view(scratch, static_cast<std::size_t>(length));
#else
  (void)moduleInstance;
  (void)scratch;
  (void)scratchSize;
  const auto found = std::ranges::find(kStrings, number, &StringEntry::number);
  if (found == kStrings.end()) return std::nullopt;
  return found->text;
#endif
}

}  // namespace
}  // namespace sim

extern "C" std::int32_t QelLoadString(void* moduleInstance, std::int32_t number, char* buffer,
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
    char scratch[256];
    const auto text = FindString(moduleInstance, wanted, scratch, sizeof scratch);
    if (!text) {
      EmptyText(buffer, bufferSize);
      return error::kStringNotFound;
    }
    return CopyCut(*text, buffer, bufferSize);
  });
}
