// Copies past the caches must be plain copies in every respect a caller can see.
#include "core/bulk_copy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace {

TEST(CopyPastCaches, CopiesExactlyTheBytesAskedAtAnyAlignmentAndLength) {
  std::vector<std::uint8_t> source(5000);
  std::iota(source.begin(), source.end(), std::uint8_t{1});
  for (const std::size_t count :
       std::initializer_list<std::size_t>{0, 1, 15, 16, 17, 63, 100, 4099}) {
    for (std::size_t to = 0; to < 16; ++to) {
      for (const std::size_t from : std::initializer_list<std::size_t>{0, 5}) {
        std::vector<std::uint8_t> destination(count + 40, 0xEE);
        CopyPastCaches(destination.data() + to, source.data() + from, count);
        std::vector<std::uint8_t> expected(count + 40, 0xEE);
        std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(from), count,
                    expected.begin() + static_cast<std::ptrdiff_t>(to));
        ASSERT_EQ(destination, expected) << count << " bytes to +" << to << " from +" << from;
      }
    }
  }
}

}  // namespace
