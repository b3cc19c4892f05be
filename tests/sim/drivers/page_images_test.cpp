// Page images as the virtual scanner reads and renders them.
#include "sim/drivers/page_images.h"
#include "sim/drivers/page_rendering.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/sim/temp_folder.h"

namespace {

class PageImages : public ::testing::Test {
 protected:
  std::optional<sim::PageImage> Read(const std::string& contents, std::int32_t dpi = 300) {
    TempFolder::Write(folder / "image.pnm", contents);
    return sim::ReadPageImage(folder / "image.pnm", dpi);
  }
  TempFolder folder;
};

TEST_F(PageImages, PnmOfEveryKindReadsAsItsRows) {
  const auto bitmap = Read(std::string("P4\n# a comment\n12 2\n") + "\xF0\x10\x0F\xF0");
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->format.width, 12);
  EXPECT_EQ(bitmap->format.bits, 1);
  EXPECT_EQ(bitmap->rows, (std::vector<std::uint8_t>{0xF0, 0x10, 0x0F, 0xF0}));

  const auto plainBitmap = Read("P1\n3 2\n101\n0 1 0\n");
  ASSERT_TRUE(plainBitmap) << "digits may stand together";
  EXPECT_EQ(plainBitmap->rows, (std::vector<std::uint8_t>{0xA0, 0x40}));

  const auto gray = Read("P2\n2 1\n15\n0 15\n");
  ASSERT_TRUE(gray);
  EXPECT_EQ(gray->format.photometric, 1) << "black is zero";
  EXPECT_EQ(gray->rows, (std::vector<std::uint8_t>{0, 255}));

  const auto colour = Read(std::string("P6\n1 1\n255\n") + "\x01\x02\x03", 200);
  ASSERT_TRUE(colour);
  EXPECT_EQ(colour->format.samples, 3);
  EXPECT_EQ(colour->format.xResolution.lNumerator, 200) << "a PNM carries no resolution";
}

TEST_F(PageImages, AHeaderPromisingMoreThanTheFileHoldsIsNoImage) {
  EXPECT_FALSE(Read("P4\n16777215 16777215\n\x01"));
  EXPECT_FALSE(Read("P5\n4 4\n255\nabc"));
  EXPECT_FALSE(Read("P2\n1000 1000\n255\n1 2 3\n"));
  EXPECT_FALSE(Read("P5\n2 2\n256\nabcd")) << "more than 8 bits";
  EXPECT_FALSE(Read("GIF89a"));
}

TEST_F(PageImages, RenderingPassesTheSameLayoutThroughAndScalesAndThresholdsTheRest) {
  const auto bitmap = Read(std::string("P4\n16 2\n") + "\xAA\x55\x0F\xF0");
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(sim::RenderPageImage(*bitmap, bitmap->format), bitmap->rows) << "bit for bit";

  sim::PageFormat half = bitmap->format;  // 150 dpi: every second dot
  half.width = 8;
  half.length = 1;
  half.xResolution = half.yResolution = {150, 1};
  EXPECT_EQ(sim::RenderPageImage(*bitmap, half), (std::vector<std::uint8_t>{0xF0}));

  const auto gray = Read("P2\n4 1\n255\n0 100 200 255\n");
  ASSERT_TRUE(gray);
  sim::PageFormat bitonal = gray->format;
  bitonal.bits = 1;
  bitonal.photometric = 0;
  bitonal.width = 6;  // past the image: white
  EXPECT_EQ(sim::RenderPageImage(*gray, bitonal), (std::vector<std::uint8_t>{0xC0}));
}

}  // namespace
