// Scanning pages through the exported calls, as a host does: the virtual scanner feeds the
// images of a folder, and every page must arrive byte-exact with its header.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "host_library.h"
#include "sim/drivers/virtual_scanner.h"
#include "sim/kit/barcode_drawing.h"
#include "sim/kit/page_generator.h"
#include "sim/pipes/codecs.h"
#include "sim/pipes/pipes.h"
#include "sim/services/faults/switches.h"
#include "sim/services/images/mem_image.h"
#include "sim/services/operations/memory.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t kLetterWidth = 2544;  // 8.5 inches at 300 dpi, whole bytes
constexpr std::int32_t kLetterLength = 3300;
constexpr std::uint32_t kBitonalPageBytes = kLetterWidth / 8 * kLetterLength;

// The rows of a page as the scanner set to letter at 300 dpi, one bit, delivers them.
Bytes LetterRows(const sim::BitonalPage& page) {
  Bytes rows;
  for (std::int32_t y = 0; y < kLetterLength; ++y) {
    const auto* row = page.bits.data() + static_cast<std::size_t>(y) * page.stride;
    rows.insert(rows.end(), row, row + kLetterWidth / 8);
  }
  return rows;
}

// A letter page at 300 dpi, one bit, in that compression.
sim::PageFormat LetterFormat(std::int32_t compression) {
  sim::PageFormat format;
  format.width = kLetterWidth;
  format.length = kLetterLength;
  format.compression = compression;
  return format;
}

struct ScannedPage {
  std::uint16_t rc = 0;
  KOV_PAGEHEADER header{};
  Bytes data;
};

class Pages : public ::testing::Test {
 protected:
  explicit Pages(const std::string& scannerKeys = "", const std::string& libraryKeys = "")
      : lib(ProfileWithDebug(libraryKeys) + "[ZAFT]\nScanner=VSCAN\n[VSCAN]\n" +
            "Type=VirtualScanner\nImageFolder=pages\n" + scannerKeys) {}

  void SetUp() override {
    std::filesystem::create_directory(Folder());
    sim::ResetSwitches();
    ASSERT_EQ(lib.SCANINIT(), 0);
    ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  }

  std::filesystem::path Folder() const { return lib.Folder() / "pages"; }

  // A text page under that name, with a sidecar when given.
  sim::BitonalPage AddTextPage(const std::string& name, std::uint32_t seed,
                               const std::string& sidecar = "") {
    sim::BitonalPage page = sim::RenderPage(sim::TextPageRecipe(300, seed));
    EXPECT_TRUE(sim::WritePbm(page, Folder() / name));
    if (!sidecar.empty()) std::ofstream(Folder() / (name + ".txt")) << sidecar;
    return page;
  }

  // INIT, the record's tweaks, SCANSETSTATE.
  void SendRecord(const std::function<void(ParmRecord&)>& adjust = {}) {
    ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
    if (adjust) adjust(*record);
    ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  }
  template <typename T>
  void Set(std::uint16_t usParm, T value) {
    ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), usParm, &value), 0);
  }

  // One page: SCANAREAEJECT with `first` bytes of room, then SCANGETDATA in `chunk`s until
  // RC_SCAN_NO_DATA.
  ScannedPage Scan(std::uint32_t first = 65536, std::uint32_t chunk = 65536) {
    ScannedPage page;
    KOV_PAGEHEADER* header = &page.header;
    page.header.usHeaderLength = PAGE_HEADER_SIZE;
    Bytes buffer(std::max(first, chunk));
    std::uint32_t length = first;
    page.rc = lib.SCANAREAEJECT(handle, &header, buffer.data(), &length);
    if (page.rc != 0 && page.rc != RC_SCAN_MORE_DATA) return page;
    page.data.assign(buffer.begin(), buffer.begin() + length);
    while (page.rc == RC_SCAN_MORE_DATA) {
      length = chunk;
      const std::uint16_t more = lib.SCANGETDATA(handle, buffer.data(), &length, 0);
      if (more == RC_SCAN_NO_DATA) break;
      EXPECT_EQ(more, 0);
      EXPECT_LE(length, chunk);
      if (more != 0 || length == 0) break;
      page.data.insert(page.data.end(), buffer.begin(), buffer.begin() + length);
    }
    return page;
  }

  std::size_t CountLogged(const std::string& message) const {
    const auto messages = lib.LogMessages();
    return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), message));
  }

  HostLibrary lib;
  std::int32_t handle = 0;
  std::unique_ptr<ParmRecord> record = std::make_unique<ParmRecord>();
};

TEST_F(Pages, ArriveByteExactWithTheirHeadersUntilTheFeederIsEmpty) {
  std::vector<Bytes> expected;
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    expected.push_back(LetterRows(AddTextPage("page" + std::to_string(seed) + ".pbm", seed)));
  }
  SendRecord();
  // In one call, in awkward chunks, and with one byte of room at first.
  const std::pair<std::uint32_t, std::uint32_t> portions[] = {
      {kBitonalPageBytes, kBitonalPageBytes}, {4093, 7}, {1, 65537}};
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const ScannedPage page = Scan(portions[i].first, portions[i].second);
    ASSERT_EQ(page.rc, i == 0 ? 0 : RC_SCAN_MORE_DATA);
    EXPECT_EQ(page.data, expected[i]);
    EXPECT_EQ(sim::LastScannedPage("VSCAN"), expected[i]) << "what the scanner rendered";
    const KOV_PAGEHEADER& header = page.header;
    EXPECT_EQ(+header.usHeaderLength, PAGE_HEADER_SIZE);
    EXPECT_EQ(+header.ulXResNum, 300u);
    EXPECT_EQ(+header.ulXResDenom, 1u);
    EXPECT_EQ(+header.ulYResNum, 300u);
    EXPECT_EQ(+header.usLines, kLetterLength);
    EXPECT_EQ(+header.usBytesPerLine, kLetterWidth / 8);
    EXPECT_EQ(+header.usBpp, 1);
    EXPECT_EQ(+header.usCompression, SCAN_COMP_NONE);
    EXPECT_EQ(+header.lSeqNumber, static_cast<std::int32_t>(i + 2)) << "SCANOPEN starts at 1";
    EXPECT_EQ(+header.ucLevel, 1);
    EXPECT_EQ(+header.ucSide, 0);
  }
  KOV_PAGEHEADER* header = nullptr;
  std::uint32_t length = 0;
  EXPECT_EQ(lib.SCANAREAEJECT(handle, &header, nullptr, &length), RC_SCAN_ADF_EMPTY);
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_ADF_EMPTY");
  EXPECT_EQ(sim::LiveBlockCount(), 0u) << "every page was released";
  EXPECT_EQ(sim::LiveImageCount(), 0u);
}

TEST_F(Pages, ALargeColourPageArrivesByteExactAtAnyPlaceInTheHostsBuffer) {
  // 24 MiB: the library copies its later part past the caches, both in and out.
  {
    std::string image =
        "P6\n" + std::to_string(kLetterWidth) + ' ' + std::to_string(kLetterLength) + "\n255\n";
    for (std::int32_t y = 0; y < kLetterLength; ++y) {
      for (std::int32_t x = 0; x < kLetterWidth; ++x) {
        image += static_cast<char>(x * 7 + y);
        image += static_cast<char>(x ^ y);
        image += static_cast<char>(y * 3);
      }
    }
    std::ofstream(Folder() / "colour.ppm", std::ios::binary) << image;
  }
  ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  Set<std::uint16_t>(SCAN_PARM_BPP, 24);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);

  KOV_PAGEHEADER* header = nullptr;
  std::uint32_t length = 0;
  ASSERT_EQ(lib.SCANAREAEJECT(handle, &header, nullptr, &length), RC_SCAN_MORE_DATA);
  ASSERT_EQ(length, std::uint32_t{kLetterWidth} * 3 * kLetterLength);
  // Odd pieces at odd places: every piece starts and ends off the copy's 16-byte units.
  Bytes buffer(length + 1);
  std::uint32_t received = 0;
  while (received < buffer.size() - 1) {
    std::uint32_t piece = 65537;
    const std::uint16_t rc = lib.SCANGETDATA(handle, buffer.data() + 1 + received, &piece, 0);
    ASSERT_EQ(rc, 0);
    ASSERT_GT(piece, 0u);
    received += piece;
  }
  EXPECT_EQ(received, length);
  const auto scanned = sim::LastScannedPage("VSCAN");
  ASSERT_TRUE(scanned);
  EXPECT_TRUE(std::equal(buffer.begin() + 1, buffer.end(), scanned->begin(), scanned->end()));
  EXPECT_EQ(lib.SCANGETDATA(handle, buffer.data(), &length, 0), RC_SCAN_NO_DATA);
  EXPECT_EQ(sim::LiveBlockCount(), 0u);
}

TEST_F(Pages, WithoutADataBufferTheSizeComesFirstAndAnExactBufferTakesTheWholePage) {
  const Bytes first = LetterRows(AddTextPage("a.pbm", 4));
  const Bytes second = LetterRows(AddTextPage("b.pbm", 5));
  SendRecord();
  ASSERT_EQ(lib.SCANSETSEQNUM(handle, 41), 0);

  KOV_PAGEHEADER* header = nullptr;
  std::uint32_t length = 0;
  ASSERT_EQ(lib.SCANAREAEJECT(handle, &header, nullptr, &length), RC_SCAN_MORE_DATA);
  ASSERT_NE(header, nullptr) << "the library gave the host a header";
  EXPECT_EQ(+header->usHeaderLength, PAGE_HEADER_SIZE);
  EXPECT_EQ(+header->lSeqNumber, 42);
  EXPECT_EQ(length, kBitonalPageBytes);
  Bytes page(length);
  ASSERT_EQ(lib.SCANGETDATA(handle, page.data(), &length, 0), 0);
  EXPECT_EQ(page, first);
  EXPECT_EQ(lib.SCANGETDATA(handle, page.data(), &length, 0), RC_SCAN_NO_DATA);

  length = kBitonalPageBytes;
  ASSERT_EQ(lib.SCANAREAEJECT(handle, &header, page.data(), &length), 0) << "the same header";
  EXPECT_EQ(+header->lSeqNumber, 43);
  EXPECT_EQ(page, second);
  EXPECT_EQ(lib.SCANGETDATA(handle, page.data(), &length, 0), RC_SCAN_NO_DATA);

  KOV_PAGEHEADER shortHeader{};
  shortHeader.usHeaderLength = PAGE_HEADER_SIZE - 1;
  KOV_PAGEHEADER* tooShort = &shortHeader;
  EXPECT_EQ(lib.SCANAREAEJECT(handle, &tooShort, nullptr, &length), RC_SCAN_HEADER_TOO_SHORT);
  EXPECT_EQ(lib.SCANAREAEJECT(handle, nullptr, nullptr, &length), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(lib.SCANAREAEJECT(2, &header, nullptr, &length), RC_SCAN_INVALID_HANDLE);
}

TEST_F(Pages, AnAreaOfNoLinesIsNoPageAndTheSheetStaysInTheFeeder) {
  const Bytes first = LetterRows(AddTextPage("1.pbm", 50));
  SendRecord([](ParmRecord& sent) {
    // The settings text's ImageLength, set to 0 as a stored record may hold it.
    char* at = sent.achSettings;
    while (*at != '\0' && std::strcmp(at, "ImageLength") != 0) {
      at += std::strlen(at) + 1;
      at += std::strlen(at) + 1;
    }
    ASSERT_STREQ(at, "ImageLength");
    char* value = at + std::strlen(at) + 1;
    ASSERT_GE(std::strlen(value), 1u);
    std::memset(value, '0', std::strlen(value));  // "0000" reads as 0
  });
  Bytes buffer(16);
  KOV_PAGEHEADER* header = nullptr;
  std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
  EXPECT_EQ(lib.SCANAREAEJECT(handle, &header, buffer.data(), &length), RC_SCAN_ZAFT_ERROR);
  EXPECT_NE(lib.LastErrorText().find("(-4411)"), std::string::npos) << lib.LastErrorText();
  EXPECT_EQ(lib.SCANGETDATA(handle, buffer.data(), &length, 0), RC_SCAN_NO_DATA);
  EXPECT_EQ(sim::LiveBlockCount(), 0u);

  SendRecord();
  EXPECT_EQ(Scan().data, first) << "the sheet was not taken";
}

TEST_F(Pages, NeedADriverFirst) {
  KOV_PAGEHEADER* header = nullptr;
  std::uint32_t length = 0;
  EXPECT_EQ(lib.SCANAREAEJECT(handle, &header, nullptr, &length), RC_SCAN_NO_DRIVER);
  std::uint8_t byte = 0;
  EXPECT_EQ(lib.SCANGETDATA(handle, &byte, &length, 0), RC_SCAN_NO_DATA);
}

TEST_F(Pages, GroupFourComesThroughThePipeLoadedOnceAndGoesWhenCompressionIsNone) {
  const Bytes first = LetterRows(AddTextPage("a.pbm", 6));
  const Bytes second = LetterRows(AddTextPage("b.pbm", 7));
  AddTextPage("c.pbm", 8);
  SendRecord([&](ParmRecord&) { Set<std::uint16_t>(SCAN_PARM_COMP, SCAN_COMP_G4); });

  const sim::PageFormat format = LetterFormat(4);
  for (const Bytes* expected : {&first, &second}) {
    const ScannedPage page = Scan();
    ASSERT_TRUE(page.rc == 0 || page.rc == RC_SCAN_MORE_DATA);
    EXPECT_EQ(+page.header.usCompression, SCAN_COMP_G4);
    EXPECT_EQ(+page.header.usLines, kLetterLength) << "from the length tag";
    EXPECT_LT(page.data.size(), expected->size() / 4) << "compressed";
    EXPECT_EQ(sim::DecodePage(format, page.data), *expected);
  }
  EXPECT_EQ(CountLogged("    Done mucking with pipes"), 1u) << "one pipe for both pages";
  EXPECT_EQ(sim::LivePipeCount(), 1u);

  Set<std::uint16_t>(SCAN_PARM_COMP, SCAN_COMP_NONE);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  const ScannedPage plain = Scan();
  EXPECT_EQ(+plain.header.usCompression, SCAN_COMP_NONE);
  EXPECT_EQ(plain.data.size(), kBitonalPageBytes);
  EXPECT_EQ(sim::LivePipeCount(), 0u);
  EXPECT_EQ(CountLogged("     Existing Pipe unloaded"), 2u);
}

TEST_F(Pages, PatchSheetsRaiseTheLevelOnlyWhenTheirDetectionIsOn) {
  sim::PageRecipe sheet;
  sheet.patches.push_back(sim::PatchSymbol{});  // Patch II
  ASSERT_TRUE(sim::WritePbm(sim::RenderPage(sheet), Folder() / "1.pbm"));
  ASSERT_TRUE(sim::WritePbm(sim::RenderPage(sheet), Folder() / "2.pbm"));
  AddTextPage("3.pbm", 9);
  SendRecord([](ParmRecord& sent) { sent.p2 = 1; });
  EXPECT_EQ(+Scan().header.ucLevel, 2);

  SendRecord([](ParmRecord& sent) { sent.p3 = 1; });
  EXPECT_EQ(+Scan().header.ucLevel, 1) << "a Patch II sheet with only Patch III asked for";
  EXPECT_EQ(+Scan().header.ucLevel, 1) << "an ordinary page";
  EXPECT_EQ(sim::LiveImageCount(), 0u);
}

TEST_F(Pages, TheScannersBarcodesFillTheTableInOrderFiveAtMost) {
  AddTextPage("a.pbm", 10, "barcodes=FIRST;;A-TEXT-OF-25-CHARACTERS-XY\n");
  AddTextPage("b.pbm", 11, "barcodes=1;2;3;4;5;6;7\n");
  SendRecord();
  const KOV_PAGEHEADER first = Scan().header;
  EXPECT_STREQ(first.aBarcodes[0].szText, "FIRST");
  EXPECT_EQ(+first.aBarcodes[0].usLength, 25);
  EXPECT_EQ(+first.aBarcodes[0].usNumber, 1);
  EXPECT_STREQ(first.aBarcodes[1].szText, "") << "two separators make an empty entry";
  EXPECT_EQ(+first.aBarcodes[1].usNumber, 2);
  EXPECT_STREQ(first.aBarcodes[2].szText, "A-TEXT-OF-25-CHARACT");
  EXPECT_EQ(+first.aBarcodes[3].usLength, 0) << "entries not filled stay zero";
  const KOV_PAGEHEADER second = Scan().header;
  EXPECT_STREQ(second.aBarcodes[4].szText, "5");
  EXPECT_EQ(+second.aBarcodes[4].usNumber, 5);
}

TEST_F(Pages, TheComponentReadsTheCapturedPageAfterTheScannersTexts) {
  struct Code {
    const char* symbology;
    const char* text;
    sim::PageArea area;
  };
  const auto addPage = [&](const std::string& name, std::initializer_list<Code> codes,
                           const std::string& sidecar = "") {
    sim::BitonalPage page = sim::RenderPage(sim::TextPageRecipe(300, 20));
    for (const Code& code : codes) {
      ASSERT_TRUE(sim::DrawBarcode(page, code.area, code.symbology, code.text)) << code.text;
    }
    ASSERT_TRUE(sim::WritePbm(page, Folder() / name));
    if (!sidecar.empty()) std::ofstream(Folder() / (name + ".txt")) << sidecar;
  };
  // A full page with linear and 2-D codes together.
  addPage("1.pbm", {{"Code128", "CODE-ONE", {0.3, 0.2, 2.6, 0.6}},
                    {"QRCode", "QR-TWO", {6.9, 0.1, 0.8, 0.8}},
                    {"Code39", "THREE", {3.1, 0.2, 3.4, 0.6}}});
  addPage("2.pbm",
          {{"Code128", "ALPHA", {0.5, 10.2, 3.0, 0.6}}, {"Code39", "BETA", {4.5, 10.2, 3.5, 0.6}}},
          "barcodes=S1;S2;S3\n");
  addPage("3.pbm", {{"Code128", "A-TEXT-OF-25-CHARACTERS-X", {0.5, 10.2, 5.0, 0.6}}});
  SendRecord([](ParmRecord& sent) { sent.bro = 1; });

  const auto texts = [](const KOV_PAGEHEADER& header, std::size_t from, std::size_t to) {
    std::vector<std::string> found;
    for (std::size_t i = from; i < to; ++i) found.emplace_back(header.aBarcodes[i].szText);
    std::sort(found.begin(), found.end());
    return found;
  };
  const KOV_PAGEHEADER first = Scan().header;
  EXPECT_EQ(texts(first, 0, 3), (std::vector<std::string>{"CODE-ONE", "QR-TWO", "THREE"}));
  EXPECT_EQ(+first.aBarcodes[2].usNumber, 3);
  const KOV_PAGEHEADER second = Scan().header;
  EXPECT_EQ(texts(second, 0, 3), (std::vector<std::string>{"S1", "S2", "S3"}));
  EXPECT_EQ(texts(second, 3, 5), (std::vector<std::string>{"ALPHA", "BETA"}));
  const KOV_PAGEHEADER third = Scan().header;
  EXPECT_EQ(+third.aBarcodes[0].usLength, 25) << "a text too long is not counted";
  EXPECT_EQ(+third.aBarcodes[0].usNumber, 1);
  EXPECT_STREQ(third.aBarcodes[0].szText, "");
  EXPECT_EQ(CountLogged("Too big for ULRA - max 20 characters"), 1u);
}

TEST_F(Pages, AKillDuringARunEndsItAtTheScannersNextPoll) {
  const Bytes first = LetterRows(AddTextPage("a.pbm", 15));
  SendRecord();
  // The run stops inside the storage filter's first block; the kill comes meanwhile.
  sim::HoldNext(sim::Op::Alloc);
  ScannedPage killed;
  std::thread host([&] { killed = Scan(); });
  sim::WaitUntilHeld(sim::Op::Alloc);
  EXPECT_EQ(lib.SCANKILL(handle), 0) << "from another thread, while the page runs";
  sim::Release(sim::Op::Alloc);
  host.join();
  EXPECT_EQ(killed.rc, RC_SCAN_ZAFT_ERROR);
  EXPECT_NE(lib.LastErrorText().find("(-4526)"), std::string::npos);
  EXPECT_EQ(sim::LiveBlockCount(), 0u) << "the blocks of the killed page were freed";

  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  EXPECT_EQ(Scan().data, first) << "the killed page is scanned again";
}

TEST_F(Pages, AKilledOrFailedRunKeepsItsPageInTheFeederAndLeavesNothingBehind) {
  const Bytes first = LetterRows(AddTextPage("a.pbm", 12));
  SendRecord();
  lib.SCANKILL(handle);
  EXPECT_EQ(Scan().rc, RC_SCAN_ZAFT_ERROR);
  EXPECT_NE(lib.LastErrorText().find("(-4526)"), std::string::npos) << lib.LastErrorText();

  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0) << "a new job clears the kill";
  sim::FailNext(sim::Op::Alloc, 3);  // the storage filter's third block
  EXPECT_EQ(Scan().rc, RC_SCAN_ZAFT_ERROR);
  EXPECT_EQ(sim::LiveBlockCount(), 0u) << "the failed page's blocks were freed at once";
  EXPECT_EQ(sim::LiveImageCount(), 0u);

  const ScannedPage page = Scan();
  EXPECT_EQ(page.rc, RC_SCAN_MORE_DATA);
  EXPECT_EQ(page.data, first) << "the page is still there";
}

TEST_F(Pages, ASheetWhoseRunFailsAtTheChainsEndStaysInTheFeeder) {
  std::vector<Bytes> sheets;
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    sheets.push_back(LetterRows(AddTextPage("page" + std::to_string(seed) + ".pbm", 60 + seed)));
  }
  SendRecord([&](ParmRecord&) { Set<std::uint16_t>(SCAN_PARM_COMP, SCAN_COMP_G4); });
  const sim::PageFormat format = LetterFormat(4);
  // Which sheet a page is, by its content (1 to 6); 0 for none of them.
  const auto sheetOf = [&](const ScannedPage& page) {
    if (page.data.empty()) return 0;
    const auto rows = sim::DecodePage(format, page.data);
    const auto found = std::find(sheets.begin(), sheets.end(), rows.value_or(Bytes{}));
    return found == sheets.end() ? 0 : static_cast<int>(found - sheets.begin()) + 1;
  };
  EXPECT_EQ(sheetOf(Scan()), 1);
  EXPECT_EQ(sheetOf(Scan()), 2);
  // Coded pages reach the storage filter only at the end of the chain, once the scanner has
  // handed its sheet over: the filter's first block fails there.
  for (int attempt = 0; attempt < 3; ++attempt) {
    sim::FailNext(sim::Op::Alloc, 1);
    EXPECT_EQ(Scan().rc, RC_SCAN_ZAFT_ERROR);
    EXPECT_NE(lib.LastErrorText().find("(-4500)"), std::string::npos) << lib.LastErrorText();
  }
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  for (int sheet = 3; sheet <= 6; ++sheet) EXPECT_EQ(sheetOf(Scan()), sheet);
  EXPECT_EQ(Scan().rc, RC_SCAN_ADF_EMPTY);
}

class DuplexPages : public Pages {
 protected:
  DuplexPages() : Pages("ScanTypes=4\nSendParams=1\n") {}
};

TEST_F(DuplexPages, BacksAreOddPagesAndDataFieldsComeFromTheScanner) {
  AddTextPage("1.pbm", 13, "df1=42\ndf2text=BOX7\ndf2a=3\ndf2b=4\n");
  AddTextPage("2.pbm", 14);
  SendRecord();
  ASSERT_EQ(lib.SCANSETSEQNUM(handle, 0), 0);
  const KOV_PAGEHEADER front = Scan().header;
  EXPECT_EQ(+front.lSeqNumber, 1);
  EXPECT_EQ(+front.ucSide, 1) << "odd sequence numbers are backs on a duplex scan type";
  EXPECT_EQ(+front.usDf1Length, 15);
  EXPECT_EQ(+front.usDf1Number, 1);
  EXPECT_STREQ(front.szDf1Data, "        42");
  EXPECT_EQ(+front.usDf2Length, 69);
  EXPECT_STREQ(front.szDf2Data, "     BOX7.         3.         4.         0");
  EXPECT_EQ(+Scan().header.ucSide, 0);
}

}  // namespace

namespace {

class PausingPages : public Pages {
 protected:
  // Asks for a page before each one, and can pause.
  PausingPages() : Pages("ScanTypes=3\nFeederStatus=0x210003\n") {}
};

TEST_F(PausingPages, APausedFeederIsRestartedOnceWhenNoPageIsReady) {
  AddTextPage("1.pbm", 30);
  AddTextPage("2.pbm", 31);
  SendRecord();
  ASSERT_EQ(lib.SCANPAUSE(handle), 0);
  EXPECT_EQ(lib.SCANPAUSE(handle), 0) << "already paused";
  EXPECT_EQ(Scan().rc, RC_SCAN_MORE_DATA) << "the page it held when it stopped";
  EXPECT_EQ(CountLogged("Since it's been paused, I'm restarting the scanner"), 0u);
  EXPECT_EQ(Scan().rc, RC_SCAN_MORE_DATA) << "restarted for the next";
  EXPECT_EQ(CountLogged("Since it's been paused, I'm restarting the scanner"), 1u);
  EXPECT_EQ(CountLogged("Checking feeder again"), 1u);
  EXPECT_EQ(Scan().rc, RC_SCAN_ADF_EMPTY);
}

class LevelledPages : public Pages {
 protected:
  LevelledPages() : Pages("PageLevelTag=1\nPageSideTag=1\n") {}
};

TEST_F(LevelledPages, LevelsAndSidesComeFromTheScannersPageTags) {
  AddTextPage("1.pbm", 32, "level=3\nside=1\n");
  AddTextPage("2.pbm", 33, "level=0\njobsep=5\n");
  SendRecord();
  const KOV_PAGEHEADER first = Scan().header;
  EXPECT_EQ(+first.ucLevel, 3);
  EXPECT_EQ(+first.ucSide, 1);
  const KOV_PAGEHEADER second = Scan().header;
  EXPECT_EQ(+second.ucLevel, 1) << "a level tag of 0 is level 1, whatever 1448 says";
  EXPECT_EQ(+second.ucSide, 0);
}

class JobSeparatorPages : public Pages {};

TEST_F(JobSeparatorPages, WithoutALevelTagASeparatorValueMakesLevelTwo) {
  AddTextPage("1.pbm", 34, "jobsep=5\n");
  AddTextPage("2.pbm", 35);
  SendRecord();
  EXPECT_EQ(+Scan().header.ucLevel, 2);
  EXPECT_EQ(+Scan().header.ucLevel, 1);
}

TEST_F(Pages, GroupThreeTwoDimensionalAndJpegGrayDecodeToWhatWasScanned) {
  const Bytes bitonal = LetterRows(AddTextPage("1.pbm", 36));
  // An 8-bit gray page: a smooth ramp across, darker down the page.
  {
    std::ofstream gray(Folder() / "2.pgm", std::ios::binary);
    gray << "P5\n" << kLetterWidth << ' ' << kLetterLength << "\n255\n";
    for (std::int32_t y = 0; y < kLetterLength; ++y) {
      for (std::int32_t x = 0; x < kLetterWidth; ++x)
        gray.put(static_cast<char>((x / 10 + y / 20) & 0xFF));
    }
  }
  ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  Set<std::uint16_t>(SCAN_PARM_COMP, SCAN_COMP_G3_2D);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  const ScannedPage g3 = Scan();
  EXPECT_EQ(+g3.header.usCompression, SCAN_COMP_G3_2D);
  sim::PageFormat format;
  format.width = kLetterWidth;
  format.length = kLetterLength;
  format.compression = 3;
  format.t4Options = 1;
  EXPECT_EQ(sim::DecodePage(format, g3.data), bitonal);

  Set<std::uint16_t>(SCAN_PARM_BPP, 8);
  Set<std::uint16_t>(SCAN_PARM_COMP, SCAN_COMP_JPEG);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  const ScannedPage jpeg = Scan();
  EXPECT_EQ(+jpeg.header.usCompression, SCAN_COMP_JPEG);
  EXPECT_EQ(+jpeg.header.usBpp, 8);
  format.bits = 8;
  format.photometric = 1;
  format.compression = 6;
  const auto decoded = sim::DecodePage(format, jpeg.data);
  ASSERT_TRUE(decoded);
  const auto expected = sim::LastScannedPage("VSCAN");
  ASSERT_TRUE(expected && expected->size() == decoded->size());
  std::uint64_t difference = 0;
  for (std::size_t i = 0; i < decoded->size(); ++i) {
    difference += static_cast<std::uint64_t>(std::abs((*decoded)[i] - (*expected)[i]));
  }
  EXPECT_LT(difference / decoded->size(), 3u) << "JPEG stays close to the page";
}

}  // namespace

namespace {

class OldAddressPages : public Pages {
 protected:
  OldAddressPages() : Pages("SendParams=1\n", "Use_Old_Address_Offset=1\n") {}
};

TEST_F(OldAddressPages, DataFieldTwoKeepsTheOlderWidthAndALongTextStaysInItsField) {
  AddTextPage("1.pbm", 40, "df2text=AB\ndf2a=1\ndf2b=2\n");
  AddTextPage("2.pbm", 41, "df2text=" + std::string(100, 'Z') + "\n");
  SendRecord();
  const KOV_PAGEHEADER first = Scan().header;
  EXPECT_STREQ(first.szDf2Data, "        AB.         1.         2.         0");
  const KOV_PAGEHEADER second = Scan().header;
  EXPECT_EQ(std::strlen(second.szDf2Data), 64u) << "cut to the field";
  EXPECT_EQ(+second.aBarcodes[0].usLength, 0) << "the barcode entries behind it untouched";
}

}  // namespace

namespace {

TEST_F(Pages, APatchCodeFoundOnAFailedRunGivesNoLaterPageItsLevel) {
  sim::PageRecipe sheet;
  sheet.patches.push_back(sim::PatchSymbol{});  // Patch II
  ASSERT_TRUE(sim::WritePbm(sim::RenderPage(sheet), Folder() / "1.pbm"));
  AddTextPage("2.pbm", 60);
  SendRecord([](ParmRecord& sent) {
    sent.p2 = 1;
    sent.bro = 1;
  });
  // The separator sheet is captured whole and its code found; then the barcode reader's
  // image driver fails, and with it the run.
  const std::uint32_t initsBefore = sim::CallCount(sim::Op::DrvInit);
  sim::FailNext(sim::Op::DrvInit, 3);
  EXPECT_EQ(Scan().rc, RC_SCAN_ZAFT_ERROR);
  ASSERT_EQ(sim::CallCount(sim::Op::DrvInit) - initsBefore, 3u);
  EXPECT_EQ(CountLogged("   QelDrvInit of FROMQELM failed"), 1u);

  const ScannedPage next = Scan();
  EXPECT_EQ(next.rc, RC_SCAN_MORE_DATA);
  EXPECT_EQ(+next.header.ucLevel, 1) << "a text page is no separator";
}

TEST_F(Pages, EveryPageStartsTheStorageFiltersTagsAfresh) {
  AddTextPage("1.pbm", 61);
  AddTextPage("2.pbm", 62);
  SendRecord();
  EXPECT_EQ(Scan().rc, RC_SCAN_MORE_DATA);
  EXPECT_EQ(Scan().rc, RC_SCAN_MORE_DATA);
  // Each page: the filter's starting width, then the scanner's own.
  EXPECT_EQ(CountLogged("   data capture got an imagewidth set to 2544"), 4u);
  EXPECT_EQ(CountLogged("   data capture got an imagewidth set to 2544 - ignored"), 0u)
      << "the first page's ezone swallowed the second page's starting tags";
}

TEST_F(Pages, ACompressionThePipeCannotMakeIsRefusedWhenTheRecordIsSent) {
  const Bytes first = LetterRows(AddTextPage("1.pbm", 63));
  ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  const auto sound = std::make_unique<ParmRecord>(*record);
  // A host's setter refuses it (see the parameter tests); a stored record may still hold it.
  record->lCompression = 6;  // JPEG, at one bit
  EXPECT_EQ(lib.SCANSETSTATE(handle, record.get()), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_INVALID_PARM");
  EXPECT_EQ(CountLogged("  the compression asked for cannot be made from the scanner's pages"), 1u);
  KOV_PAGEHEADER* header = nullptr;
  std::uint32_t length = 0;
  EXPECT_EQ(lib.SCANAREAEJECT(handle, &header, nullptr, &length), RC_SCAN_NO_DRIVER)
      << "a refused record leaves no driver to scan with";

  *record = *sound;
  Set<std::uint16_t>(SCAN_PARM_BPP, 8);
  record->lCompression = 4;  // Group 4
  EXPECT_EQ(lib.SCANSETSTATE(handle, record.get()), RC_SCAN_INVALID_PARM) << "G4 at 8 bits";

  ASSERT_EQ(lib.SCANSETSTATE(handle, sound.get()), 0);
  EXPECT_EQ(Scan().data, first);
}

// An installation that ignores failed checks: a record that fails them is taken, and the
// pages are then what the freshly loaded scanner makes, whatever was sent before.
class UnverifiedPages : public Pages {
 protected:
  UnverifiedPages() : Pages("", "Verify=0\n") {}
};

TEST_F(UnverifiedPages, ARecordTakenWithoutBeingAppliedScansAsTheScannerWasLoaded) {
  std::vector<Bytes> expected;
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    expected.push_back(LetterRows(AddTextPage(std::to_string(seed) + ".pbm", seed)));
  }
  ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  Set<std::uint16_t>(SCAN_PARM_COMP, SCAN_COMP_G4);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  EXPECT_EQ(Scan().header.usCompression, SCAN_COMP_G4);

  // Zeroed but for the driver's name: of no size the library knows.
  const auto bare = std::make_unique<ParmRecord>();
  std::memset(bare.get(), 0, sizeof(ParmRecord));
  std::strcpy(bare->szDriver, "VSCAN");
  ASSERT_EQ(lib.SCANSETSTATE(handle, bare.get()), 0);
  EXPECT_EQ(CountLogged("   VerifyParms: record accepted but not applied, the scanner keeps "
                        "its own settings"),
            1u);
  ScannedPage page = Scan();
  EXPECT_EQ(page.header.usCompression, SCAN_COMP_NONE);
  EXPECT_EQ(page.data.size(), std::size_t{page.header.usBytesPerLine} * page.header.usLines);

  // A stored compression the scanner does not offer is left out; the rest is applied.
  ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  ReplaceSetting(*record, "Tag 259", "5");
  record->lCompression = 0;
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  page = Scan();
  EXPECT_EQ(page.header.usCompression, SCAN_COMP_NONE);
  EXPECT_EQ(page.data, expected[2]);
}

// One rule for a page the host left half fetched, whether the scanner is asked for a page
// before each run (0x10003) or not (0x3).
class UnfetchedRest : public Pages, public ::testing::WithParamInterface<const char*> {
 protected:
  UnfetchedRest() : Pages(std::string("FeederStatus=") + GetParam() + "\n") {}
};

TEST_P(UnfetchedRest, IsDroppedByTheNextAreaEjectWhateverTheFeederAnswers) {
  AddTextPage("1.pbm", 64);
  SendRecord();
  Bytes buffer(1000);
  KOV_PAGEHEADER* header = nullptr;
  std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
  ASSERT_EQ(lib.SCANAREAEJECT(handle, &header, buffer.data(), &length), RC_SCAN_MORE_DATA);
  EXPECT_EQ(lib.SCANAREAEJECT(handle, &header, buffer.data(), &length), RC_SCAN_ADF_EMPTY);
  EXPECT_EQ(lib.SCANGETDATA(handle, buffer.data(), &length, 0), RC_SCAN_NO_DATA);
  EXPECT_EQ(CountLogged("   the rest of the last page was not fetched: " +
                        std::to_string(kBitonalPageBytes - 1000) + " bytes dropped"),
            1u);
  EXPECT_EQ(sim::LiveBlockCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(FeederStatus, UnfetchedRest, ::testing::Values("0x3", "0x10003"));

}  // namespace
