#include "tools/samples/sample_batch.h"

#include <leptonica/allheaders.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <numbers>
#include <span>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "sim/kit/barcode_drawing.h"
#include "sim/kit/page_generator.h"
#include "tools/samples/text_setting.h"

namespace samples {

namespace {

// What the documents say: business letters and forms, plain ASCII, a few numbers each.
constexpr char kCoverLetter[] =
    "Harbour Street Stationers\n"
    "14 Harbour Street, Westfield\n"
    "\n"
    "March 3, 2026\n"
    "\n"
    "Dear Customer,\n"
    "\n"
    "Thank you for your order of February 21. We are pleased to confirm that all 18 boxes of "
    "copier paper, the 6 toner cartridges and the 2 desk lamps left our warehouse this morning "
    "and should reach your office within 3 working days.\n"
    "\n"
    "Our invoice INV-2026-0001 follows this letter. It lists each item with its price and comes "
    "to a total of 1,284.50 dollars. Payment is due within 30 days of delivery. If you pay by "
    "bank transfer, please quote the invoice number so that we can match your payment "
    "quickly.\n"
    "\n"
    "Should anything arrive damaged or missing, call our service desk at 555-0142 between 8 "
    "and 17 hours, Monday to Friday, and we will replace it free of charge.\n"
    "\n"
    "With kind regards,\n"
    "\n"
    "The Accounts Team";

constexpr char kFirstInvoice[] =
    "INVOICE INV-2026-0001\n"
    "Date: March 3, 2026\n"
    "Customer number: 40217\n"
    "\n"
    "Item 1: Copier paper, white, 500 sheets a box, 18 boxes at 24.50 each: 441.00\n"
    "Item 2: Toner cartridge, black, 6 at 119.00 each: 714.00\n"
    "Item 3: Desk lamp with a steel arm, 2 at 39.75 each: 79.50\n"
    "Delivery to the second floor: 50.00\n"
    "\n"
    "Total due: 1,284.50\n"
    "\n"
    "Please pay within 30 days of delivery. The code below carries the invoice number, so "
    "that your accounts department can file this page without typing it.";

constexpr char kTerms[] =
    "Terms of Delivery and Payment\n"
    "\n"
    "These terms apply to every order we accept. Goods remain our property until the invoice "
    "has been paid in full. Prices include packing but not delivery, which we charge at cost "
    "for orders below 200 dollars.\n"
    "\n"
    "Please check each delivery when it arrives. Report visible damage within 2 days and any "
    "other fault within 14 days, quoting the number printed on the delivery note. We will "
    "collect faulty goods at our own expense and send a replacement or credit the amount.\n"
    "\n"
    "Invoices are payable within 30 days. After that date we may add interest of 1.5 percent "
    "for each month the amount remains open. A reminder is sent 10 days before any interest "
    "is charged.\n"
    "\n"
    "Returns of goods that are not faulty are welcome within 60 days, provided they are "
    "unused and in their original boxes.";

constexpr char kArchiveMemo[] =
    "MEMO\n"
    "To: All office staff\n"
    "From: Facilities\n"
    "Subject: Moving the paper archive\n"
    "\n"
    "On Friday, April 10, the paper archive on the ground floor will move to the new storage "
    "room in the basement. The shelves will be empty from 7 in the morning until about 4 in "
    "the afternoon, so please take out any folders you need that day before Thursday "
    "evening.\n"
    "\n"
    "Each of the 240 archive boxes carries a label with a code like the one below. Please "
    "do not remove or cover these labels: the new room is sorted by them, and a box without "
    "its label may be hard to find again.\n"
    "\n"
    "Questions go to the facilities desk, extension 318.";

constexpr char kMinutes[] =
    "Minutes of the Planning Meeting\n"
    "Held on Tuesday, April 14, 2026, in meeting room 2\n"
    "\n"
    "Present were the heads of sales, purchasing and the warehouse. The meeting opened at 9 "
    "and closed at 10:45.\n"
    "\n"
    "1. Stock levels. The warehouse reported 1,150 boxes of paper in stock, enough for about "
    "five weeks. Purchasing will order a further 600 boxes before the end of the month.\n"
    "\n"
    "2. The new delivery van. The van ordered in January arrives on May 4. Until then two "
    "rounds a week will be driven by a hired vehicle.\n"
    "\n"
    "3. Customer letters. Sales asked that every letter to a customer state the order number "
    "in its first line. All agreed.\n"
    "\n"
    "The next meeting will be held on May 12 at the same time.";

constexpr char kPurchaseOrder[] =
    "PURCHASE ORDER 42\n"
    "Ordered: April 20, 2026\n"
    "Deliver by: May 6, 2026\n"
    "\n"
    "Please supply the following to our warehouse at 7 Mill Lane, gate 3:\n"
    "\n"
    "600 boxes of copier paper, white, 80 grams\n"
    "40 packs of envelopes, long, with windows\n"
    "12 boxes of blue ballpoint pens\n"
    "\n"
    "Quote the order number 42 on the delivery note and on your invoice. Deliveries are "
    "accepted from 8 to 15 hours on working days.";

constexpr char kLateReply[] =
    "Westfield, May 8, 2026\n"
    "\n"
    "Dear Sir or Madam,\n"
    "\n"
    "We are sorry to learn that part of your order 42 reached you two days late. The paper "
    "and the envelopes were loaded on May 5, but the pens were held at our supplier until "
    "the following morning, and we chose to send them on rather than keep the whole order "
    "back.\n"
    "\n"
    "As a gesture of good will we have taken 5 percent off the invoice that follows. It now "
    "comes to 2,318.00 dollars instead of 2,440.00 dollars.\n"
    "\n"
    "We have also changed the way we plan our rounds, so that orders which arrive before noon "
    "leave the warehouse on the same day. We hope this will serve you better in future, and "
    "thank you for your patience.\n"
    "\n"
    "Yours faithfully,\n"
    "\n"
    "Customer Service";

constexpr char kLastInvoice[] =
    "INVOICE INV-2026-0004\n"
    "Date: May 8, 2026\n"
    "Your order: 42\n"
    "\n"
    "600 boxes of copier paper at 2.95 each: 1,770.00\n"
    "40 packs of envelopes at 11.20 each: 448.00\n"
    "12 boxes of ballpoint pens at 18.50 each: 222.00\n"
    "Less 5 percent for the late delivery: 122.00\n"
    "\n"
    "Total due: 2,318.00\n"
    "\n"
    "Payable within 30 days. Thank you for your order.";

struct Plan {
  const char* kind;
  std::uint32_t seed;
  const char* symbology = nullptr;  // for a barcode page
  const char* code = nullptr;       // its barcode
  const char* scannerBarcode = nullptr;
  sim::PatchTurn turn = sim::PatchTurn::Upright;
  const char* prose = nullptr;  // the text of a text or barcode page
  double points = 11;
  int turned = 0;     // degrees clockwise the drawn page must turn to stand upright
  double skew = 0;    // degrees the drawn page's lines run from level, counterclockwise
};

// Three documents: each after the first starts behind a patch sheet; one has a blank page.
constexpr Plan kPlans[] = {
    {.kind = "text", .seed = 1, .prose = kCoverLetter},
    {.kind = "barcode",
     .seed = 2,
     .symbology = "Code128",
     .code = "INV-2026-0001",
     .prose = kFirstInvoice,
     .points = 10},
    {.kind = "text", .seed = 3, .scannerBarcode = "SCANNER-0001", .prose = kTerms, .points = 12},
    {.kind = "patch2", .seed = 4},
    {.kind = "barcode",
     .seed = 5,
     .symbology = "Code39",
     .code = "KOV39DEMO",
     .prose = kArchiveMemo,
     .points = 11},
    {.kind = "blank", .seed = 6},
    {.kind = "text", .seed = 7, .prose = kMinutes, .points = 10},
    {.kind = "patchT", .seed = 8, .turn = sim::PatchTurn::Turned},
    {.kind = "barcode",
     .seed = 9,
     .symbology = "QRCode",
     .code = "DOC-3 ORDER 42",
     .prose = kPurchaseOrder,
     .points = 12},
    {.kind = "patch3", .seed = 10},
    {.kind = "text", .seed = 11, .scannerBarcode = "SCANNER-0002", .prose = kLateReply},
    {.kind = "barcode",
     .seed = 12,
     .symbology = "Code128",
     .code = "INV-2026-0004",
     .prose = kLastInvoice,
     .points = 10},
};
static_assert(std::size(kPlans) == kPlannedPages);

// Sheets of a duplex feeder, front and back: letters fed the wrong way round or sideways, pages
// pulled in at an angle, backs blank and backs with text, and a separator sheet with its back.
constexpr Plan kDuplexPlans[] = {
    {.kind = "text", .seed = 21, .prose = kCoverLetter},
    {.kind = "blank", .seed = 22},
    {.kind = "text", .seed = 23, .prose = kFirstInvoice, .points = 10, .turned = 180},
    {.kind = "text", .seed = 24, .prose = kTerms, .points = 12},
    {.kind = "patch2", .seed = 25},
    {.kind = "blank", .seed = 26},
    {.kind = "text", .seed = 27, .prose = kMinutes, .points = 10, .turned = 90},
    {.kind = "blank", .seed = 28},
    {.kind = "text", .seed = 29, .prose = kArchiveMemo, .turned = 270},
    {.kind = "text", .seed = 30, .prose = kPurchaseOrder, .points = 12, .skew = 2.0},
    {.kind = "text", .seed = 31, .prose = kLateReply, .skew = -3.5},
    {.kind = "blank", .seed = 32},
    {.kind = "text", .seed = 33, .prose = kLastInvoice, .points = 10, .skew = 4.5},
    {.kind = "blank", .seed = 34},
};
static_assert(std::size(kDuplexPlans) == kDuplexPlannedPages);

std::span<const Plan> PlansOf(SampleSet set) {
  return set == SampleSet::Duplex ? std::span<const Plan>(kDuplexPlans)
                                  : std::span<const Plan>(kPlans);
}

std::string_view BarsOf(std::string_view kind) {
  if (kind == "patch3") return sim::kPatch3Bars;
  if (kind == "patchT") return sim::kPatchTBars;
  return sim::kPatch2Bars;
}

sim::BitonalPage Render(const Plan& plan) {
  const std::string_view kind = plan.kind;
  if (kind == "blank") {
    sim::PageRecipe recipe;
    recipe.seed = plan.seed;
    recipe.specks = 12;  // paper is never quite clean
    return sim::RenderPage(recipe);
  }
  if (kind.starts_with("patch")) {
    sim::PageRecipe recipe;
    recipe.seed = plan.seed;
    sim::PatchSymbol symbol;
    symbol.bars = std::string(BarsOf(kind));
    symbol.turn = plan.turn;
    symbol.left = 3.0;
    symbol.top = 4.0;
    recipe.patches.push_back(symbol);
    return sim::RenderPage(recipe);
  }
  // Text within one-inch margins; a barcode page keeps room for its code below. A page to be
  // fed sideways is a landscape one, which turned a quarter fits the feeder's sheet.
  const bool coded = plan.symbology != nullptr;
  sim::PageRecipe recipe;
  recipe.seed = plan.seed;
  if (plan.turned % 180 != 0) std::swap(recipe.width, recipe.height);
  sim::BitonalPage page = sim::RenderPage(recipe);
  SetText(page, {1.0, 1.0, recipe.width - 2.0, coded ? 5.5 : recipe.height - 2.0}, plan.prose,
          {coded ? kSansFont : kSerifFont, plan.points});
  if (coded) {
    const bool square = std::string_view(plan.symbology) == "QRCode";
    const sim::PageArea area{1.0, 7.0, square ? 2.0 : 4.5, square ? 2.0 : 1.2};
    if (!sim::DrawBarcode(page, area, plan.symbology, plan.code)) {
      throw std::runtime_error(std::string("cannot draw a ") + plan.symbology + " barcode");
    }
  }
  return page;
}

struct PixDeleter {
  void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixHandle = std::unique_ptr<Pix, PixDeleter>;

PixHandle PixOf(const sim::BitonalPage& page) {
  PixHandle pix(pixCreate(page.width, page.height, 1));
  if (!pix) throw std::bad_alloc();
  const l_int32 wordsPerLine = pixGetWpl(pix.get());
  const std::size_t rowBytes = (static_cast<std::size_t>(page.width) + 7) / 8;
  for (std::int32_t y = 0; y < page.height; ++y) {
    l_uint32* line = pixGetData(pix.get()) + static_cast<std::ptrdiff_t>(y) * wordsPerLine;
    const std::uint8_t* row = page.bits.data() + static_cast<std::size_t>(y) * page.stride;
    for (std::size_t at = 0; at < rowBytes; ++at) {
      SET_DATA_BYTE(line, static_cast<l_int32>(at), row[at]);
    }
  }
  return pix;
}

// The drawn page as the scanner sees it: turned a quarter at a time, then skewed a little with
// white brought in at the corners, the sheet's size kept.
bool WriteCrooked(const sim::BitonalPage& drawn, const Plan& plan,
                  const std::filesystem::path& path) {
  // Leptonica tells how it rotates on the error stream.
  setMsgSeverity(L_SEVERITY_WARNING);
  PixHandle pix = PixOf(drawn);
  // Turned counterclockwise by as much as it must turn clockwise to stand upright.
  if (plan.turned != 0) pix.reset(pixRotateOrth(pix.get(), (360 - plan.turned) / 90));
  if (pix && plan.skew != 0) {
    const auto radians = static_cast<l_float32>(-plan.skew * std::numbers::pi / 180.0);
    pix.reset(pixRotate(pix.get(), radians, L_ROTATE_SHEAR, L_BRING_IN_WHITE, 0, 0));
  }
  // A PBM states no resolution: the profile gives it.
  return pix && pixWrite(path.string().c_str(), pix.get(), IFF_PNM) == 0;
}

// The system's reason for the failed write, in the standard library's type for it.
std::filesystem::filesystem_error WriteFailure(const std::filesystem::path& path) {
  return std::filesystem::filesystem_error(
      "cannot write", path, std::error_code(errno != 0 ? errno : EIO, std::generic_category()));
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  errno = 0;
  std::ofstream file(path, std::ios::binary);
  file << text;
  file.close();
  if (!file) throw WriteFailure(path);
}

// A repeated page shares the planned page's file; a copy where links are not to be had.
void Repeat(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code unlinked;
  std::filesystem::create_hard_link(from, to, unlinked);
  if (unlinked) std::filesystem::copy_file(from, to);
}

}  // namespace

std::vector<SamplePage> WriteSampleBatch(
    const std::filesystem::path& folder, std::uint32_t count,
    const std::function<void(const std::filesystem::path&)>& beforeWriting, SampleSet set) {
  const std::span<const Plan> plans = PlansOf(set);
  if (count == 0 || count > kMostPages) {
    throw std::invalid_argument("a sample batch holds 1 to " + std::to_string(kMostPages) +
                                " pages, not " + std::to_string(count));
  }
  if (set == SampleSet::Duplex && count % 2 != 0) {
    throw std::invalid_argument("a duplex sample batch holds whole sheets: an even number of "
                                "pages, not " + std::to_string(count));
  }
  const std::filesystem::path pages = folder / "pages";
  std::filesystem::create_directories(pages);
  const auto write = [&beforeWriting](const std::filesystem::path& path) {
    if (beforeWriting) beforeWriting(path);
    return path;
  };
  std::vector<SamplePage> written;
  written.reserve(count);
  for (std::uint32_t at = 0; at < count; ++at) {
    const Plan& plan = plans[at % plans.size()];
    char name[32];
    std::snprintf(name, sizeof name, "page-%05u.pbm", at + 1);
    const std::string sidecar = std::string(name) + ".txt";
    if (at < plans.size()) {
      const sim::BitonalPage drawn = Render(plan);
      errno = 0;
      const bool crooked = plan.turned != 0 || plan.skew != 0;
      if (!(crooked ? WriteCrooked(drawn, plan, write(pages / name))
                    : sim::WritePbm(drawn, write(pages / name)))) {
        throw WriteFailure(pages / name);
      }
      if (plan.scannerBarcode != nullptr) {
        WriteText(write(pages / sidecar), std::string("barcodes=") + plan.scannerBarcode + "\n");
      }
    } else {
      const std::string& drawn = written[at % plans.size()].file;
      Repeat(pages / drawn, write(pages / name));
      if (plan.scannerBarcode != nullptr) {
        Repeat(pages / (drawn + ".txt"), write(pages / sidecar));
      }
    }
    SamplePage page{name, plan.kind, {}, {}, {}, plan.turned, plan.skew};
    if (plan.code != nullptr) page.barcodes.emplace_back(plan.code);
    if (plan.scannerBarcode != nullptr) page.scannerBarcode = plan.scannerBarcode;
    if (plan.prose != nullptr) page.text = plan.prose;
    written.push_back(page);
  }
  WriteText(write(folder / "zaft.ini"), std::string("[ZAFT]\nScanner=") + kScannerName + "\n[" +
                                            kScannerName +
                                            "]\nType=VirtualScanner\nId=KOV Demo Scanner\n"
                                            "ImageFolder=pages\nImageDpi=300\n");
  return written;
}

}  // namespace samples
