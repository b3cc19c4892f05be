#include "tools/kovscan/number_option.h"

#include <charconv>
#include <string>

namespace kovscan {

CLI::Validator WholeNumberIn(std::uint64_t least, std::uint64_t most) {
  return CLI::Validator(
      [least, most](const std::string& text) -> std::string {
        std::uint64_t value = 0;
        const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (failure == std::errc::invalid_argument || end != text.data() + text.size()) {
          return text + " is not a whole number";
        }
        if (failure != std::errc() || value < least || value > most) {
          return text + " is not in the range " + std::to_string(least) + " to " +
                 std::to_string(most);
        }
        return {};
      },
      std::to_string(least) + ".." + std::to_string(most));
}

CLI::Validator WholeNumber(std::uint64_t most) {
  return WholeNumberIn(0, most).description("");
}

}  // namespace kovscan
