// Pages a TWAIN source hands over as bitmaps, turned into the page protocol's rows.
#include "sim/drivers/dib_rows.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Colour = std::array<std::uint8_t, 3>;  // red, green, blue

// A bitmap: header, colour table, then `rows` as stored (bottom-up for a positive height),
// each already padded to four bytes.
Bytes Bitmap(std::int32_t width, std::int32_t height, std::uint16_t bits,
             const std::vector<Colour>& table, const Bytes& rows, std::uint32_t compression = 0) {
  Bytes dib(40);
  const auto put = [&](std::size_t offset, auto value) {
    std::memcpy(dib.data() + offset, &value, sizeof value);
  };
  put(0, std::uint32_t{40});
  put(4, width);
  put(8, height);
  put(12, std::uint16_t{1});
  put(14, bits);
  put(16, compression);
  put(32, static_cast<std::uint32_t>(table.size()));
  for (const Colour& colour : table) dib.insert(dib.end(), {colour[2], colour[1], colour[0], 0});
  dib.insert(dib.end(), rows.begin(), rows.end());
  return dib;
}

sim::DibPage Read(const Bytes& dib) {
  std::string fault;
  auto page = sim::PageOfDib(dib, fault);
  EXPECT_TRUE(page) << fault;
  return page.value_or(sim::DibPage{});
}

TEST(DibRows, OneBitRowsComeTopDownWithBlackAsOneAndSpareBitsWhite) {
  // 12 dots a row: two bytes used of the four stored; the second row stored first.
  const Bytes stored = {0x0F, 0xFF, 0xAA, 0xAA, 0xF0, 0x0F, 0xAA, 0xAA};
  const auto blackFirst = Read(Bitmap(12, 2, 1, {{0, 0, 0}, {255, 255, 255}}, stored));
  EXPECT_EQ(blackFirst.format.bits, 1);
  EXPECT_EQ(blackFirst.format.photometric, 0);
  EXPECT_EQ(blackFirst.format.length, 2);
  EXPECT_EQ(blackFirst.rows, (Bytes{0x0F, 0xF0, 0xF0, 0x00}));

  const auto whiteFirst = Read(Bitmap(12, 2, 1, {{255, 255, 255}, {0, 0, 0}}, stored));
  EXPECT_EQ(whiteFirst.rows, (Bytes{0xF0, 0x00, 0x0F, 0xF0}));
}

TEST(DibRows, GrayTakesItsTableAndColourComesInRedGreenBlueOrder) {
  std::vector<Colour> inverted;
  for (int i = 0; i < 256; ++i) {
    const auto level = static_cast<std::uint8_t>(255 - i);
    inverted.push_back({level, level, level});
  }
  // A negative height stores rows top-down.
  const auto gray = Read(Bitmap(3, -2, 8, inverted, {0, 1, 255, 0, 10, 20, 30, 0}));
  EXPECT_EQ(gray.format.photometric, 1);
  EXPECT_EQ(gray.rows, (Bytes{255, 254, 0, 245, 235, 225}));

  const auto colour = Read(Bitmap(1, 2, 24, {}, {1, 2, 3, 0, 4, 5, 6, 0}));
  EXPECT_EQ(colour.format.samples, 3);
  EXPECT_EQ(colour.format.photometric, 2);
  EXPECT_EQ(colour.rows, (Bytes{6, 5, 4, 3, 2, 1}));
}

TEST(DibRows, BitmapsTheProtocolCannotCarryAreRefusedWithTheirReason) {
  const Bytes oneRow = {0, 0, 0, 0};
  const std::vector<Colour> twoColours = {{0, 0, 0}, {255, 255, 255}};
  const struct {
    Bytes dib;
    std::string reason;
  } cases[] = {
      {Bytes(39), "a bitmap without its header"},
      {Bitmap(8, 2, 1, twoColours, oneRow), "a bitmap cut short: 52 bytes"},
      {Bitmap(8, 1, 4, twoColours, oneRow), "a bitmap of 4 bits a dot, compression 0"},
      {Bitmap(8, 1, 8, twoColours, oneRow, 1), "a bitmap of 8 bits a dot, compression 1"},
      {Bitmap(0, 1, 1, twoColours, oneRow), "a bitmap of 0 by 1 dots"},
      {Bitmap(8, 1, 1, std::vector<Colour>(3), oneRow), "a bitmap with 3 colours"},
  };
  for (const auto& [dib, reason] : cases) {
    std::string fault;
    EXPECT_FALSE(sim::PageOfDib(dib, fault));
    EXPECT_EQ(fault, reason);
  }
}

}  // namespace
