#include "dialogs/center_dialog.h"

std::int32_t CenterDialog(platform::Window* window) {
  std::int32_t screenWidth = 0;
  std::int32_t screenHeight = 0;
  platform::GetScreenSize(screenWidth, screenHeight);
  platform::Rect rect{};
  if (screenWidth == 0 || screenHeight == 0 || !platform::GetWindowRect(window, rect)) return 1;
  const std::int64_t width = std::int64_t{rect.right} - rect.left;
  const std::int64_t height = std::int64_t{rect.bottom} - rect.top;
  // Quotients truncate toward zero, as C's division does.
  const auto x = static_cast<std::int32_t>((screenWidth - width) / 2);
  const auto y = static_cast<std::int32_t>((screenHeight - height) / 2);
  const bool moved = platform::MoveWindow(window, x, y, static_cast<std::int32_t>(width),
                                          static_cast<std::int32_t>(height), true);
  return moved ? 0 : 1;
}
