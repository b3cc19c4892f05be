// The framework's current scanner selection: the profile's [ZAFT] key Scanner. The stand-in
// asks the user nothing; a selection is made by editing the profile.
#include <optional>
#include <string>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"
#include "sim/services/operations/error_texts.h"
#include "sim/services/operations/profile.h"
#include "sim/services/text/ini_text.h"
#include "sim/services/text/text_copy.h"

namespace sim {
namespace {

// Read afresh each time: the selection may change while the host runs. The name is passed on
// whatever its length, so that a caller's bounds can be tried with a long one. Without one,
// the error's text says which profile was looked at and what it lacked.
std::optional<std::string> SelectedScanner() {
  const auto profile = ReadProfile();
  const std::string where = "the profile " + ProfilePath().string();
  if (!profile) {
    SetErrorSubject(error::kNoScannerSelected, where + " was not found");
    return std::nullopt;
  }
  const auto name = TrimBlanks(profile->Find("ZAFT", "Scanner").value_or(""));
  if (name.empty()) {
    SetErrorSubject(error::kNoScannerSelected, where + " names none ([ZAFT] Scanner=)");
    return std::nullopt;
  }
  return std::string(name);
}

}  // namespace
}  // namespace sim

extern "C" {

std::int32_t QelSelectScanner(QelWindow /*owner*/) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::SelectScanner); failure < 0) return failure;
    return SelectedScanner() ? 0 : error::kNoScannerSelected;
  });
}

std::int32_t GetScanName(QelWindow /*owner*/, char* name, std::int32_t nameSize) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    // A failure leaves no stale name behind.
    EmptyText(name, nameSize);
    if (const auto failure = EnterOperation(Op::GetScanName); failure < 0) return failure;
    if (name == nullptr || nameSize <= 0) return error::kInvalidArgument;
    const auto selected = SelectedScanner();
    if (!selected) return error::kNoScannerSelected;
    CopyCut(*selected, name, nameSize);
    return 0;
  });
}

}  // extern "C"
