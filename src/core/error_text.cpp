#include "core/error_text.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "core/command.h"
#include "framework/errors.h"
#include "framework/qel.h"
#include "kovzaft2.h"

char szErrorText[kErrorTextSize] = {};

namespace {

constexpr std::size_t kFirstTextSize = 132;
constexpr std::size_t kDetailTextSize = 256;

std::atomic<bool> bInErrorToText{false};

}  // namespace

std::uint16_t FrameworkErrorToText(const DriverRecord* context, std::int32_t value) {
  // Without a driver the low word is no detail: the number moves down into it.
  if (context == nullptr && !IsPlainError(value)) {
    value = MakeFrameworkError(static_cast<std::int16_t>(kPlainErrorWord), HighWordOf(value));
  }
  if (IsPlainError(value)) context = nullptr;

  // A failure while a text is being built keeps the first failure's text.
  if (bInErrorToText.exchange(true)) return RC_SCAN_ZAFT_ERROR;

  char first[kFirstTextSize] = {};
  QelErrorText(0, context, value, first, sizeof first);
  first[sizeof first - 1] = '\0';

  const std::int16_t number = ErrorNumberOf(value);
  char detail[kDetailTextSize] = {};
  const bool hasDetail =
      context != nullptr &&
      QelErrorText(0, context, DetailRequest(LowWordOf(value)), detail, sizeof detail) >= 0;
  detail[sizeof detail - 1] = '\0';

  char* const text = ErrorTextToStore();
  if (hasDetail) {
    // Too long for the stored text: shorten the detail line so the number always shows.
    char suffix[16];
    const int suffixLength = std::snprintf(suffix, sizeof suffix, " (%d)", number);
    const int room = static_cast<int>(kErrorTextSize) - 1 - static_cast<int>(std::strlen(first)) -
                     1 - suffixLength;
    std::snprintf(text, kErrorTextSize, "%s\n%.*s%s", first, room, detail, suffix);
  } else {
    std::snprintf(text, kErrorTextSize, "%s (%d)", first, number);
  }

  bInErrorToText = false;
  StoreLastRc(RC_SCAN_ZAFT_ERROR);
  return RC_SCAN_ZAFT_ERROR;
}
