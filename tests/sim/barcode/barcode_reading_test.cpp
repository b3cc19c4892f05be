// Reading a page's barcodes: the page as the readers' gray dots, the build's library behind
// them, reading order and the result limit; and the property sheet refusing what a library
// does not read.
#include <gtest/gtest.h>

#include <vector>

#include "platform/posix/scripted_user.h"
#include "sim/barcode/barcode_decoding.h"
#include "sim/barcode/barcode_property_sheet.h"
#include "sim/barcode/gray_page.h"
#include "sim/kit/barcode_drawing.h"
#include "sim/kit/page_generator.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

sim::PageFormat Format(std::int32_t width, std::int32_t length, std::int32_t bits,
                       std::int32_t samples, std::int32_t photometric) {
  sim::PageFormat format;
  format.width = width;
  format.length = length;
  format.bits = bits;
  format.samples = samples;
  format.photometric = photometric;
  return format;
}

TEST(GrayPage, OneBitRowsBecomeBlackAndWhiteDotsWithoutTheirPadding) {
  // Ten dots a row in two bytes: black at the first and last dot of row 0, the second of row 1.
  const auto page = sim::GrayPageOf(Format(10, 2, 1, 1, 0), {0x80, 0x40, 0x40, 0x00});
  ASSERT_TRUE(page.has_value());
  EXPECT_TRUE(page->bitonal);
  EXPECT_EQ(page->dots, (Bytes{0,   255, 255, 255, 255, 255, 255, 255, 255, 0,  //
                               255, 0,   255, 255, 255, 255, 255, 255, 255, 255}));
}

TEST(GrayPage, GrayAndColourRowsBecomeLuminanceWithBlackAtZero) {
  const auto blackIsZero = sim::GrayPageOf(Format(2, 1, 8, 1, 1), {10, 200});
  const auto whiteIsZero = sim::GrayPageOf(Format(2, 1, 8, 1, 0), {10, 200});
  const auto colour = sim::GrayPageOf(Format(3, 1, 8, 3, 2), {255, 0, 0, 0, 0, 255, 255, 255, 255});
  ASSERT_TRUE(blackIsZero && whiteIsZero && colour);
  EXPECT_EQ(blackIsZero->dots, (Bytes{10, 200}));
  EXPECT_EQ(whiteIsZero->dots, (Bytes{245, 55}));
  EXPECT_EQ(colour->dots, (Bytes{76, 29, 255}));
  EXPECT_FALSE(colour->bitonal);
}

TEST(GrayPage, LayoutsTheReadersDoNotTakeGiveNone) {
  sim::PageFormat compressed = Format(8, 1, 1, 1, 0);
  compressed.compression = 4;
  EXPECT_FALSE(sim::GrayPageOf(compressed, {0}).has_value());
  EXPECT_FALSE(sim::GrayPageOf(Format(2, 1, 4, 1, 1), {0}).has_value());
  EXPECT_FALSE(sim::GrayPageOf(Format(2, 1, 16, 1, 1), {0, 0, 0, 0}).has_value());
  EXPECT_FALSE(sim::GrayPageOf(Format(8, 2, 1, 1, 0), {0}).has_value()) << "a row short";
  EXPECT_FALSE(sim::GrayPageOf(Format(0, 1, 8, 1, 1), {}).has_value());
}

// A letter page at 300 dpi as the memory image holds it: one bit, WhiteIsZero.
struct DrawnPage {
  sim::PageFormat format = Format(2550, 3300, 1, 1, 0);
  Bytes rows;
};

DrawnPage RowsOf(const sim::BitonalPage& page) {
  DrawnPage drawn;
  for (std::int32_t y = 0; y < page.height; ++y) {
    const auto* row = page.bits.data() + static_cast<std::size_t>(y) * page.stride;
    drawn.rows.insert(drawn.rows.end(), row, row + drawn.format.RowBytes());
  }
  return drawn;
}

DrawnPage PageWith(const std::vector<std::pair<const char*, sim::PageArea>>& codes) {
  sim::BitonalPage page = sim::RenderPage(sim::PageRecipe{});
  for (const auto& [text, area] : codes) {
    EXPECT_TRUE(sim::DrawBarcode(page, area, text[0] == 'Q' ? "QRCode" : "Code128", text));
  }
  return RowsOf(page);
}

TEST(BarcodeReading, CodesComeTopDownThenLeftToRightAndTheLimitKeepsTheFirst) {
  // Drawn out of order, of two kinds; the two lowest side by side.
  const DrawnPage page = PageWith({{"LOW-RIGHT", {4.5, 9.0, 3.0, 0.6}},
                                   {"QR-MIDDLE", {1.0, 5.0, 1.0, 1.0}},
                                   {"LOW-LEFT", {0.5, 9.0, 3.0, 0.6}},
                                   {"TOP", {2.0, 1.0, 3.0, 0.6}}});
  sim::BarcodeSettings settings = sim::BarcodeSettings::Defaults();
  settings.maxResults = 10;
  const auto all = sim::ReadBarcodes(page.format, page.rows, settings);
  ASSERT_TRUE(all.has_value());
  std::vector<std::string> texts;
  for (const sim::FoundBarcode& code : *all) texts.push_back(code.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"TOP", "QR-MIDDLE", "LOW-LEFT", "LOW-RIGHT"}));
  ASSERT_EQ(all->size(), 4u);
  const sim::FoundBarcode& qr = (*all)[1];
  EXPECT_EQ(sim::kSymbologies[qr.kind].name, "QRCode");
  // The QR code fills its inch: its box is that inch, give or take its last module.
  EXPECT_NEAR(qr.box.left, 300, 10);
  EXPECT_NEAR(qr.box.bottom, 1800, 10);

  settings.maxResults = 2;
  const auto first = sim::ReadBarcodes(page.format, page.rows, settings);
  ASSERT_TRUE(first.has_value());
  ASSERT_EQ(first->size(), 2u);
  EXPECT_EQ((*first)[1].text, "QR-MIDDLE");

  settings.symbologies = sim::SymbologyBit("Code39");
  EXPECT_EQ(sim::ReadBarcodes(page.format, page.rows, settings)->size(), 0u)
      << "only the kinds asked for";
}

// One-bit pages are read without a threshold and turned by the reader itself: a linear code
// turned a quarter is found whether it tries harder or not, its box where it was drawn.
TEST(BarcodeReading, ALinearCodeTurnedAQuarterOnAOneBitPageIsFoundWhereItLies) {
  sim::BitonalPage page = sim::RenderPage(sim::PageRecipe{});
  // Two inches long, turned about its centre (4.5, 5.3): 4.2 to 4.8 inches across, 4.3 to
  // 6.3 down.
  ASSERT_TRUE(sim::DrawBarcode(page, {3.5, 5.0, 2.0, 0.6}, "Code128", "TURNED", {90, ""}));
  const DrawnPage drawn = RowsOf(page);
  for (const bool tryHarder : {false, true}) {
    sim::BarcodeSettings settings = sim::BarcodeSettings::Defaults();
    settings.tryHarder = tryHarder;
    const auto found = sim::ReadBarcodes(drawn.format, drawn.rows, settings);
    ASSERT_TRUE(found.has_value());
    ASSERT_EQ(found->size(), 1u) << "trying harder: " << tryHarder;
    const sim::FoundBarcode& code = found->front();
    EXPECT_EQ(code.text, "TURNED");
    EXPECT_GE(code.box.left, 4.2 * 300);
    EXPECT_LE(code.box.right, 4.8 * 300);
    EXPECT_GE(code.box.top, 4.3 * 300);
    EXPECT_LE(code.box.bottom, 6.3 * 300);
    EXPECT_GT(code.box.bottom - code.box.top, 300) << "the bars lie across the page";
  }
}

// The DLL's library reads no Aztec, DataMatrix or PDF417: its sheet says so at OK and stays.
TEST(BarcodePropertySheet, RefusesKindsTheLibraryDoesNotReadByName) {
  constexpr int kOk = 1, kFirstKind = 100;
  const int aztec = kFirstKind + static_cast<int>(*sim::SymbologyIndex("Aztec"));
  const int dataMatrix = kFirstKind + static_cast<int>(*sim::SymbologyIndex("DataMatrix"));
  platform::ScriptedUser user;
  platform::SetDialogUser(&user);
  user.Click(dataMatrix).Click(aztec).Click(kOk).Click(dataMatrix).Click(aztec).Click(kOk);
  sim::BarcodeSettings settings = sim::BarcodeSettings::Defaults();
  const bool taken =
      sim::ShowBarcodePropertySheet(settings, sim::KindsReadBy(sim::ReaderLibrary::ZBar));
  platform::SetDialogUser(nullptr);

  EXPECT_TRUE(taken);
  EXPECT_EQ(settings.symbologies, sim::BarcodeSettings::Defaults().symbologies);
  const auto boxes = user.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "This build does not read these kinds of barcode: Aztec, DataMatrix.");
  EXPECT_EQ(user.Steps().size(), 6u) << "the sheet stayed open after the refused OK";
}

}  // namespace
