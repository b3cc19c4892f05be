// The sizes in the page header, from what the storage filter reports about the page.
#include "pipeline/page_header.h"

#include "core/control_block.h"
#include "framework/qel.h"
#include "tests/unit/scanner_fixture.h"

namespace {

class PageHeaderSizes : public ScannerTest {
 protected:
  void TearDown() override {
    QelDrvUnload(&SCB.StorageDriver);
    ScannerTest::TearDown();
  }
  // The storage filter reports a page of these sizes, uncompressed, of pageBytes bytes.
  KOV_PAGEHEADER Header(std::int32_t width, std::int32_t samples, std::int32_t bits,
                        std::uint32_t pageBytes, std::int32_t planar = 1) {
    LoadKit(sim::DriverDesign("KITSCAN"));
    sim::DriverDesign storage("KITSTORE");
    storage.Integer(kTagImageWidth, width, {}, {}, TiffType::Long)
        .Integer(kTagImageLength, 1000, {}, {}, TiffType::Long)
        .Integer(kTagSamplesPerPixel, samples, {}, {}, TiffType::Long)
        .Integer(kTagBitsPerSample, bits, {}, {}, TiffType::Long)
        .Integer(kTagPlanarConfiguration, planar)
        .Integer(kTagCompression, 1);
    sim::RegisterDriver(storage);
    EXPECT_GE(QelDrvLoad(0, "KITSTORE", &SCB.StorageDriver, kQelLoadByName), 0);
    SCB.ulPageSize = pageBytes;
    KOV_PAGEHEADER header{};
    BuildPageHeader(header);
    return header;
  }
};

TEST_F(PageHeaderSizes, LinesOfAnUncompressedPageFollowFromItsBytes) {
  const KOV_PAGEHEADER gray = Header(2544, 1, 8, 2544 * 30);
  EXPECT_EQ(gray.usBytesPerLine, 2544);
  EXPECT_EQ(gray.usLines, 30);
  EXPECT_EQ(gray.usBpp, 8);

  const KOV_PAGEHEADER colour = Header(100, 3, 8, 300 * 7);
  EXPECT_EQ(colour.usBytesPerLine, 300);
  EXPECT_EQ(colour.usLines, 7);

  const KOV_PAGEHEADER planes = Header(101, 3, 1, 3 * 13 * 4, 2);
  EXPECT_EQ(planes.usLines, 4) << "three planes of 13 bytes a line";

  const KOV_PAGEHEADER odd = Header(151, 1, 1, 19 * 224);
  EXPECT_EQ(odd.usBytesPerLine, 19) << "151 dots fill 19 bytes";
  EXPECT_EQ(odd.usLines, 224);
}

TEST_F(PageHeaderSizes, SizesNoPageHasGiveNoLinesInsteadOfOverflowing) {
  for (const auto& [width, samples, bits] :
       {std::tuple{0x7FFFFFFF, 3, 0x7FFFFFFF}, std::tuple{0x7FFFFFFF, 1, 0x7FFFFFFF},
        std::tuple{-2544, 1, 8}, std::tuple{2544, 1, -8}}) {
    const KOV_PAGEHEADER header = Header(width, samples, bits, 100000);
    EXPECT_EQ(header.usBytesPerLine, 0) << width << " " << samples << " " << bits;
    EXPECT_EQ(header.usLines, 0);
  }
}

}  // namespace
