#include "sim/services/operations/profile.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"
#include "sim/services/operations/module_folder.h"
#include "sim/services/text/text_copy.h"

namespace sim {
namespace {

std::optional<std::string> ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::filesystem::path ProfilePath() {
  if (const char* chosen = std::getenv("ZAFT_PROFILE"); chosen != nullptr && *chosen != '\0') {
    return chosen;
  }
  return ModuleFolder() / "zaft.ini";
}

std::optional<IniText> ReadProfile() {
  auto text = ReadWhole(ProfilePath());
  if (!text) return std::nullopt;
  return IniText(std::move(*text));
}

}  // namespace sim

extern "C" std::int32_t QelReadProfileString(std::int32_t /*reserved*/, const char* section,
                                             const char* key, char* buffer,
                                             std::int32_t bufferSize) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    const bool usable = section != nullptr && key != nullptr && buffer != nullptr && bufferSize > 0;
    if (const auto failure = EnterOperation(Op::ReadProfileString); failure < 0) {
      if (usable) EmptyText(buffer, bufferSize);
      return failure;
    }
    if (!usable) return error::kInvalidArgument;
    EmptyText(buffer, bufferSize);

    // Read afresh each time: the profile may be edited while the host runs.
    const auto ini = ReadProfile();
    if (!ini) return error::kFileNotFound;
    const auto value = ini->Find(section, key);
    if (!value) return error::kProfileKeyMissing;
    CopyCut(*value, buffer, bufferSize);
    return 0;
  });
}
