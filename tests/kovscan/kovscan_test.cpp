// kovscan end to end on a generated sample batch, and the files it writes read back.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "tests/kovscan/program.h"
#include "tests/kovscan/scratch_folder_test.h"
#include "tools/kovscan/compressions.h"
#include "tools/kovscan/failure.h"
#include "tools/kovscan/library_text.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/page_picture.h"
#include "tools/kovscan/record_file.h"
#include "tools/kovscan/scan_command.h"
#include "tools/samples/sample_batch.h"

namespace {

class Kovscan : public kovscan_test::ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    samplePages = samples::WriteSampleBatch(folder);
  }

  // Each scan feeds a batch of its own: the scanner's feeder keeps what an earlier scan left.
  nlohmann::json Scan(const std::string& out, std::uint16_t compression, bool dropBlank = false,
                      bool detect = true) {
    samples::WriteSampleBatch(folder / ("batch-" + out));
    kovscan::ScanCommand command;
    command.out = folder / out;
    command.profile = folder / ("batch-" + out) / "zaft.ini";
    command.options.compression = compression;
    command.options.patches = detect;
    command.options.barcodes = detect;
    command.dropBlank = dropBlank;
    command.quiet = true;
    EXPECT_EQ(kovscan::RunScan(command), kovscan::kSuccess);
    std::ifstream manifest(command.out / "manifest.json");
    return nlohmann::json::parse(manifest);
  }
  std::vector<samples::SamplePage> samplePages;
};

using kovscan_test::RunKovscan;
using kovscan_test::RunProgram;

TEST_F(Kovscan, TheManifestTellsWhatTheSamplesHold) {
  const nlohmann::json manifest = Scan("g4", SCAN_COMP_G4);
  const auto& pages = manifest["pages"];
  ASSERT_EQ(pages.size(), samplePages.size());
  std::size_t separators = 0;
  for (std::size_t at = 0; at < pages.size(); ++at) {
    const samples::SamplePage& sample = samplePages[at];
    const auto& page = pages[at];
    const auto& header = page["header"];
    SCOPED_TRACE(sample.file);
    EXPECT_EQ(header["compression"], "g4");
    EXPECT_EQ(header["width"], 2544);
    EXPECT_EQ(header["lines"], 3300);
    const bool patch = sample.kind.starts_with("patch");
    EXPECT_EQ(header["level"].get<int>() > 1, patch);
    EXPECT_EQ(page["separator"], patch);
    EXPECT_EQ(page["blank"], sample.kind == "blank");
    if (patch) ++separators;
    std::vector<std::string> expected = sample.barcodes;
    if (!sample.scannerBarcode.empty()) expected.insert(expected.begin(), sample.scannerBarcode);
    EXPECT_EQ(header["barcodes"].get<std::vector<std::string>>(), expected);
    EXPECT_TRUE(std::filesystem::exists(folder / "g4" / page["file"].get<std::string>()));
    EXPECT_TRUE(std::filesystem::exists(folder / "g4" / page["thumbnail"].get<std::string>()));
  }
  EXPECT_EQ(manifest["documents"].size(), separators + 1u) << "one more than the separators";
  EXPECT_EQ(manifest["documents"][1]["pages"][0], 4) << "a document starts at its sheet";
  EXPECT_EQ(
      manifest["end"],
      nlohmann::json({{"state", "complete"}, {"reason", "the feeder ran empty"}, {"exitCode", 0}}));
  // The report fetches the pictures beside it as they come into view.
  std::ifstream report(folder / "g4" / "report.html");
  const std::string html{std::istreambuf_iterator<char>(report), {}};
  EXPECT_NE(html.find("<img loading=\"lazy\" alt=\"page 1\" src=\"thumbnails/page-0001.jpg\">"),
            std::string::npos)
      << html.substr(0, 2000);

  // libtiff's own tools read the documents, every strip decoded.
  for (const auto& document : manifest["documents"]) {
    const std::string file = (folder / "g4" / document["file"].get<std::string>()).string();
    const auto [status, text] = RunProgram("tiffinfo -D " + file);
    EXPECT_EQ(status, 0) << text;
    EXPECT_EQ(text.find("rror"), std::string::npos) << text;
    EXPECT_EQ(RunProgram("tiffcp " + file + " " + file + ".copy.tif").first, 0);
  }
}

TEST_F(Kovscan, DocumentsAreNamedAfterTheirInvoiceNumbers) {
  samples::WriteSampleBatch(folder / "batch-named");
  const auto [status, output] = RunKovscan(
      "--profile " + (folder / "batch-named" / "zaft.ini").string() +
      " scan --quiet --barcodes --patches --compression g4 --name-by-barcode '^INV-' --out " +
      (folder / "named").string());
  ASSERT_EQ(status, kovscan::kSuccess) << output;
  std::ifstream file(folder / "named" / "manifest.json");
  const auto documents = nlohmann::json::parse(file)["documents"];
  ASSERT_GE(documents.size(), 3u);
  EXPECT_EQ(documents.front()["name"], "INV-2026-0001");
  EXPECT_EQ(documents.front()["barcode"], "INV-2026-0001");
  EXPECT_EQ(documents.front()["file"], "documents/INV-2026-0001.tif");
  EXPECT_EQ(documents[1]["name"], "document-02") << "no invoice number on it";
  EXPECT_TRUE(documents[1]["barcode"].is_null());
  EXPECT_EQ(documents.back()["name"], "INV-2026-0004");
  for (const auto& document : documents) {
    EXPECT_TRUE(std::filesystem::exists(folder / "named" / document["file"].get<std::string>()));
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "named" / "documents" / "document-01.tif"));

  const auto [refused, why] =
      RunKovscan("scan --name-by-barcode '(' --out " + (folder / "unnamed").string());
  EXPECT_EQ(refused, kovscan::kBadArguments);
  EXPECT_NE(why.find("not a regular expression"), std::string::npos) << why;
}

// The bytes a hex field of the manifest holds.
std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t at = 0; at + 1 < hex.size(); at += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
  }
  return bytes;
}

// What HTML allows: UTF-8 without control characters other than white space.
bool HtmlCharacters(const std::string& text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const bool c1 =
        byte == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) < 0xA0;
    if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F || c1) return false;
  }
  return kovscan::IsUtf8(text);
}

TEST_F(Kovscan, BarcodeTextsOfAnyBytesKeepTheManifestAndReportAndActOnNoTerminal) {
  samples::WriteSampleBatch(folder / "batch-bytes");
  // The scanner's own barcodes on the first page: Latin-1, UTF-8 cut short by the header's
  // 20-byte field, and a terminal's control sequences (clear the screen, bell, C1 CSI).
  const std::string latin1 = "INV-M\xFCller";
  const std::string cut = "ABCDEFGHIJKLMNOPQRS\xC3";
  const std::string control =
      "A\x1B[2J\x07"
      "B\xC2\x9B"
      "C\x7F\\";
  std::ofstream(folder / "batch-bytes" / "pages" / (samplePages[0].file + ".txt"), std::ios::binary)
      << "barcodes=" << latin1 << ";" << cut << "\xBC;" << control << "\n";
  const auto [status, output] = RunKovscan(
      "--profile " + (folder / "batch-bytes" / "zaft.ini").string() +
      " scan --pages 3 --barcodes --name-by-barcode '^INV-' --out " + (folder / "bytes").string());
  ASSERT_EQ(status, kovscan::kSuccess) << output;

  std::ifstream file(folder / "bytes" / "manifest.json");
  const auto manifest = nlohmann::json::parse(file);
  const auto& header = manifest["pages"][0]["header"];
  EXPECT_EQ(header["barcodes"],
            (std::vector<std::string>{"INV-M\uFFFDller", "ABCDEFGHIJKLMNOPQRS\uFFFD", control}));
  std::vector<std::string> raw;
  for (const auto& hex : header["barcodesHex"]) raw.push_back(FromHex(hex));
  EXPECT_EQ(raw, (std::vector<std::string>{latin1, cut, control})) << "the bytes recovered";
  EXPECT_FALSE(manifest["pages"][1]["header"].contains("barcodesHex")) << "only where needed";

  const auto& document = manifest["documents"][0];
  EXPECT_EQ(document["name"], "INV-M_ller");
  EXPECT_EQ(document["file"], "documents/INV-M_ller.tif");
  EXPECT_TRUE(std::filesystem::exists(folder / "bytes" / "documents" / "INV-M_ller.tif"));
  EXPECT_EQ(document["barcode"], "INV-M\uFFFDller");
  EXPECT_EQ(FromHex(document["barcodeHex"]), latin1);

  std::ifstream report(folder / "bytes" / "report.html", std::ios::binary);
  const std::string html{std::istreambuf_iterator<char>(report), {}};
  EXPECT_TRUE(HtmlCharacters(html));
  for (const std::string shown :
       {"INV-M\\xfcller", "ABCDEFGHIJKLMNOPQRS\\xc3", "A\\x1b[2J\\x07B\\xc2\\x9bC\\x7f\\\\"}) {
    EXPECT_NE(html.find("<code>" + shown + "</code>"), std::string::npos) << shown;
    EXPECT_NE(output.find(shown), std::string::npos) << shown << " in the summary:\n" << output;
  }
  EXPECT_NE(html.find("(barcode INV-M\\xfcller)"), std::string::npos);
  EXPECT_TRUE(HtmlCharacters(output)) << "nothing on the terminal acts";
}

TEST_F(Kovscan, ALibraryFailureMidBatchKeepsThePagesBeforeItAndDescribesThem) {
  samples::WriteSampleBatch(folder / "batch-broken");
  std::ofstream(folder / "batch-broken" / "pages" / "page-00004.pbm", std::ios::trunc) << "garbage";
  // Not quiet, and not on a terminal: progress comes as whole lines.
  const auto [status, output] =
      RunKovscan("--profile " + (folder / "batch-broken" / "zaft.ini").string() +
                 " scan --compression g4 --out " + (folder / "broken").string());
  EXPECT_EQ(status, kovscan::kLibraryFailure) << output;
  EXPECT_NE(output.find("3 pages kept"), std::string::npos) << output;
  EXPECT_NE(output.find("page-00004.pbm"), std::string::npos) << output;
  EXPECT_EQ(output.find('\r'), std::string::npos) << "no carriage returns in a log";
  std::ifstream file(folder / "broken" / "manifest.json");
  const auto manifest = nlohmann::json::parse(file);
  EXPECT_EQ(manifest["pages"].size(), 3u);
  EXPECT_EQ(manifest["documents"][0]["pages"].size(), 3u);
  EXPECT_TRUE(std::filesystem::exists(folder / "broken" / "documents" / "document-01.tif"));
  // How it ended, in the manifest and at the top of the report.
  EXPECT_EQ(manifest["end"]["state"], "failed");
  EXPECT_EQ(manifest["end"]["exitCode"], kovscan::kLibraryFailure);
  const std::string reason = manifest["end"]["reason"];
  EXPECT_TRUE(reason.starts_with("SCANAREAEJECT answered ")) << reason;
  EXPECT_NE(output.find("kovscan: " + reason + "\n"), std::string::npos) << output;
  std::ifstream report(folder / "broken" / "report.html");
  const std::string html{std::istreambuf_iterator<char>(report), {}};
  EXPECT_LT(html.find("<p class=\"end failed\"><b>Failed</b>: SCANAREAEJECT answered "),
            html.find("<h1>"))
      << html.substr(0, 2000);
}

TEST_F(Kovscan, CtrlCSigtermAndSighupStopTheBatchWithItsPagesManifestAndReport) {
  // A feeder that does not run empty in this test's time.
  std::ofstream(folder / "endless.ini")
      << "[ZAFT]\nScanner=ENDLESS\n[ENDLESS]\nType=VirtualScanner\nFeederPages=100000\n";
  const std::pair<const char*, const char*> signals[] = {
      {"INT", "SIGINT (Ctrl-C)"}, {"TERM", "SIGTERM"}, {"HUP", "SIGHUP (the terminal was closed)"}};
  for (const auto& [signal, reason] : signals) {
    SCOPED_TRACE(signal);
    const std::filesystem::path out = folder / (std::string("stopped-") + signal);
    const auto [status, output] =
        RunProgram(std::string(KOVSCAN_PROGRAM) + " --profile " +
                   (folder / "endless.ini").string() + " scan --quiet --format both --out " +
                   out.string() + " & kovscan=$!; tries=0; while [ ! -e " + out.string() +
                   "/pages/page-0003.tif ] && [ $tries -lt 600 ]; do sleep 0.05; " +
                   "tries=$((tries + 1)); done; kill -" + signal + " $kovscan; wait $kovscan");
    EXPECT_EQ(status, kovscan::kStopped) << output;
    std::ifstream file(out / "manifest.json");
    const auto manifest = nlohmann::json::parse(file);
    const auto& pages = manifest["pages"];
    EXPECT_GE(pages.size(), 3u);
    EXPECT_EQ(manifest["end"], nlohmann::json({{"state", "stopped"},
                                               {"reason", std::string("stopped by ") + reason},
                                               {"exitCode", kovscan::kStopped}}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out / "pages"),
                            std::filesystem::directory_iterator{}),
              static_cast<std::ptrdiff_t>(pages.size()))
        << "every page on disk, and no half-written one";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out)) {
      EXPECT_FALSE(entry.path().string().ends_with(".part")) << entry.path();
    }
    EXPECT_TRUE(std::filesystem::exists(out / "documents" / "document-01.pdf"));
    EXPECT_TRUE(std::filesystem::exists(out / "report.html"));
    EXPECT_NE(output.find(std::string("stopped by ") + reason + ": " +
                          std::to_string(pages.size()) + " pages kept"),
              std::string::npos)
        << output;
  }
}

TEST_F(Kovscan, PdfDocumentsCarryThePagesAsDelivered) {
  for (const char* compression : {"g4", "g3-2d", "none"}) {
    SCOPED_TRACE(compression);
    const std::string out = std::string("pdf-") + compression;
    samples::WriteSampleBatch(folder / ("batch-" + out));
    const auto [status, output] =
        RunKovscan("--profile " + (folder / ("batch-" + out) / "zaft.ini").string() +
                   " scan --quiet --patches --format both --compression " + compression +
                   " --out " + (folder / out).string());
    ASSERT_EQ(status, kovscan::kSuccess) << output;
    std::ifstream file(folder / out / "manifest.json");
    const auto manifest = nlohmann::json::parse(file);
    for (const auto& document : manifest["documents"]) {
      const std::string pdf = (folder / out / document["pdf"].get<std::string>()).string();
      const auto [checked, problems] = RunProgram("qpdf --check " + pdf);
      EXPECT_EQ(checked, 0) << problems;
      EXPECT_EQ(problems.find("WARNING"), std::string::npos) << problems;
      // One image a page, in the encoding it came in, at its size and resolution.
      const auto [listed, list] = RunProgram("pdfimages -list " + pdf + " | tail -n +3");
      ASSERT_EQ(listed, 0);
      std::istringstream rows(list);
      std::size_t images = 0;
      for (std::string row; std::getline(rows, row); ++images) {
        std::istringstream fields(row);
        std::string page, number, type, width, height, color, components, bits, encoding, interp,
            object, id, xPpi, yPpi;
        fields >> page >> number >> type >> width >> height >> color >> components >> bits >>
            encoding >> interp >> object >> id >> xPpi >> yPpi;
        EXPECT_EQ(encoding, compression == std::string("none") ? "image" : "ccitt") << row;
        EXPECT_EQ(width + "x" + height + "@" + xPpi, "2544x3300@300") << row;
      }
      EXPECT_EQ(images, document["pages"].size()) << list;
    }
  }
  // Every encoding shows the same page; the Group 4 image is the delivered data itself.
  const std::string first = "/documents/document-01.pdf";
  for (const char* compression : {"g4", "g3-2d", "none"}) {
    const std::string out = (folder / (std::string("pdf-") + compression)).string();
    EXPECT_EQ(RunProgram("pdfimages -f 1 -l 1 " + out + first + " " + out + "/shown").first, 0);
  }
  for (const char* compression : {"g3-2d", "none"}) {
    EXPECT_EQ(RunProgram("cmp " + (folder / "pdf-g4/shown-000.pbm").string() + " " +
                         (folder / (std::string("pdf-") + compression) / "shown-000.pbm").string())
                  .first,
              0)
        << compression;
  }
  const std::string g4 = (folder / "pdf-g4").string();
  ASSERT_EQ(RunProgram("pdfimages -ccitt -f 1 -l 1 " + g4 + first + " " + g4 + "/raw").first, 0);
  std::ifstream raw(g4 + "/raw-000.ccitt", std::ios::binary);
  const std::vector<std::uint8_t> extracted{std::istreambuf_iterator<char>(raw), {}};
  EXPECT_TRUE(extracted == kovscan::ReadDeliveredData(g4 + "/pages/page-0001.tif"));
}

TEST_F(Kovscan, CcittFilesDecodeToTheUncompressedPages) {
  Scan("none", SCAN_COMP_NONE, false, false);
  for (const std::uint16_t code :
       std::initializer_list<std::uint16_t>{SCAN_COMP_G3_1D, SCAN_COMP_G3_2D, SCAN_COMP_G4}) {
    const std::string out = kovscan::CompressionName(code);
    Scan(out, code, false, false);
    for (const char* file : {"pages/page-0002.tif", "pages/page-0004.tif"}) {
      const auto reference = kovscan::ReadPicture(folder / "none" / file);
      const auto decoded = kovscan::ReadPicture(folder / out / file);
      ASSERT_TRUE(reference && decoded) << out << " " << file;
      EXPECT_EQ(decoded->width, reference->width);
      EXPECT_TRUE(decoded->dots == reference->dots) << out << " " << file;
    }
    EXPECT_LT(std::filesystem::file_size(folder / out / "pages/page-0002.tif"),
              std::filesystem::file_size(folder / "none" / "pages/page-0002.tif") / 4);
  }
}

TEST_F(Kovscan, BlankPagesAreDroppedOnRequestAndDocumentsHoldTheRest) {
  const nlohmann::json manifest = Scan("dropped", SCAN_COMP_G4, true);
  std::size_t inDocuments = 0;
  for (const auto& document : manifest["documents"]) inDocuments += document["pages"].size();
  EXPECT_EQ(inDocuments, samplePages.size() - 1);
  EXPECT_EQ(manifest["pages"][5]["dropped"], true);
  EXPECT_EQ(manifest["pages"][5]["document"], 0);
  // A document is one multi-page TIFF: its pages read back one directory each.
  const auto first = kovscan::ReadPicture(folder / "dropped" / "documents/document-01.tif");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->width, 2544u);
}

TEST_F(Kovscan, ArgumentsRecordsAndExitCodes) {
  EXPECT_EQ(RunKovscan("").first, kovscan::kBadArguments);
  EXPECT_EQ(RunKovscan("scan").first, kovscan::kBadArguments) << "--out is required";
  EXPECT_EQ(RunKovscan("scan --out x --compression lzw").first, kovscan::kBadArguments);
  EXPECT_EQ(RunKovscan("record show /etc/hostname").first, kovscan::kBadArguments);

  const std::string profile = "--profile " + (folder / "zaft.ini").string();
  const std::string saved = (folder / "saved.rec").string();
  const auto [status, text] =
      RunKovscan(profile + " record save " + saved +
                 " --dpi 200 --area 0 0 1200 1500 --compression g3-2d --barcodes");
  ASSERT_EQ(status, kovscan::kSuccess) << text;
  EXPECT_EQ(std::filesystem::file_size(saved), sizeof(ParmRecord));
  const auto [shown, description] = RunKovscan("record show " + saved);
  EXPECT_EQ(shown, kovscan::kSuccess);
  for (const char* line :
       {"driver:      KOVDEMO", "compression: g3-2d", "  XResolution = 200/1",
        "  ImageWidth = 1200", "detection:   Patch II 0, Patch III 0, Patch T 0, barcodes 1"}) {
    EXPECT_NE(description.find(line), std::string::npos) << line << "\n" << description;
  }
  // A library failure names the code and gives SCANLASTERROR's text.
  std::ofstream(folder / "missing.ini") << "[ZAFT]\nScanner=NOSUCH\n";
  const auto [failed, failure] = RunKovscan("scan --out " + (folder / "none").string() +
                                            " --profile " + (folder / "missing.ini").string());
  EXPECT_EQ(failed, kovscan::kLibraryFailure);
  EXPECT_NE(failure.find("SCANSETPARM INIT answered RC_SCAN_ZAFT_ERROR: The driver was not found"),
            std::string::npos)
      << failure;

  const auto [queried, info] = RunKovscan(profile + " info --record " + saved);
  EXPECT_EQ(queried, kovscan::kSuccess);
  EXPECT_NE(info.find("resolution:  200/1 x 200/1 dpi"), std::string::npos) << info;
  EXPECT_NE(info.find("record size: 57546 bytes"), std::string::npos) << info;
}

TEST_F(Kovscan, ARecordIsCheckedFieldByFieldBeforeTheLibraryTakesIt) {
  const std::string saved = (folder / "saved.rec").string();
  ASSERT_EQ(
      RunKovscan("--profile " + (folder / "zaft.ini").string() + " record save " + saved).first,
      kovscan::kSuccess);
  const auto good = kovscan::LoadRecord(saved);
  const std::pair<std::function<void(ParmRecord&)>, std::string> faults[] = {
      {[](ParmRecord& r) { r.usSize = 1234; },
       "its size field holds 1234, not 57546 (or 0 for a fresh record)"},
      {[](ParmRecord& r) { std::memset(r.szDriver, 'K', sizeof r.szDriver); },
       "its driver \"" + std::string(60, 'K') + "\" is no driver name (1 to 8 letters or digits)"},
      {[](ParmRecord& r) { std::strcpy(r.szDriver, "KOV\x1B[2J"); },
       "its driver \"KOV\\x1b[2J\" is no driver name"},
      {[](ParmRecord& r) { std::memset(r.szID, 'x', sizeof r.szID); },
       "its scanner identification runs past the field's 128 bytes without an end"},
      {[](ParmRecord& r) { r.sOldCount = -3; },
       "its count of settings in the older format is -3, not 0 to 749"},
      {[](ParmRecord& r) { r.sSettingsLen = 3; },
       "its settings do not end where their length (3 bytes) says"},
      {[](ParmRecord& r) { r.lFeeder = 7; },
       "its feeder switch is 7, not 0 (flatbed) or 1 (feeder)"},
      {[](ParmRecord& r) { r.bro = 0xFF; }, "its detection switch bro is 255, not 0 or 1"},
      {[](ParmRecord& r) { std::memset(r.szBarcodeState, 'b', sizeof r.szBarcodeState); },
       "its barcode reader's state runs past the field's 4080 bytes without an end"},
  };
  for (const auto& [spoil, fault] : faults) {
    ParmRecord record = *good;
    spoil(record);
    kovscan::SaveRecord(record, folder / "spoilt.rec");
    try {
      kovscan::LoadRecord(folder / "spoilt.rec");
      ADD_FAILURE() << "taken: " << fault;
    } catch (const kovscan::ArgumentError& refusal) {
      EXPECT_NE(std::string(refusal.what()).find(fault), std::string::npos) << refusal.what();
    }
  }

  // Random bytes of a record's length: each field that no record holds is named, before the
  // library refuses the driver's name by its code alone.
  std::mt19937 random(57546);
  std::string bytes(sizeof(ParmRecord), '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  std::ofstream(folder / "random.rec", std::ios::binary) << bytes;
  const auto [refused, why] =
      RunKovscan("--profile " + (folder / "zaft.ini").string() + " scan --record " +
                 (folder / "random.rec").string() + " --out " + (folder / "random").string());
  EXPECT_EQ(refused, kovscan::kBadArguments) << why;
  EXPECT_NE(why.find("random.rec is not a saved parameter record: its size field holds"),
            std::string::npos)
      << why;
  EXPECT_NE(why.find("is no driver name"), std::string::npos) << why;
  EXPECT_EQ(why.find("RC_SCAN_"), std::string::npos) << why;
}

TEST_F(Kovscan, RefusedArgumentsSayWhatIsWrongWithThem) {
  const std::string profile = "--profile " + (folder / "zaft.ini").string() + " ";
  const std::string out = " --out " + (folder / "refused").string();
  const std::pair<std::string, std::string> refusals[] = {
      {"--profile " + folder.string() + " scan" + out,
       "the profile " + folder.string() + " is a folder"},
      {"devices --profile " + folder.string(), "is a folder"},
      {profile + "scan --pages abc" + out, "--pages: abc is not a whole number"},
      {profile + "scan --pages 2.5" + out, "--pages: 2.5 is not a whole number"},
      {profile + "scan --pages 0" + out, "--pages: 0 is not in the range 1 to 1000000"},
      {profile + "scan --pages 99999999999999999999" + out, "is not in the range 1 to 1000000"},
      {profile + "scan --ocr eng --ocr-threads many" + out, "--ocr-threads: many is not a whole"},
      {"samples " + (folder / "more").string() + " --pages ten", "--pages: ten is not a whole"},
      {profile + "scan --dpi 300dpi" + out, "--dpi: 300dpi is not a whole number"},
      {profile + "scan --bits -1" + out, "--bits: -1 is not a whole number"},
      {profile + "record save x.rec --area 0 0 70000 100",
       "--area: 70000 is not in the range 0 to 65535"},
  };
  for (const auto& [arguments, message] : refusals) {
    const auto [status, text] = RunKovscan(arguments);
    EXPECT_EQ(status, kovscan::kBadArguments) << arguments << "\n" << text;
    EXPECT_NE(text.find(message), std::string::npos) << arguments << "\n" << text;
  }
}

TEST_F(Kovscan, AnEmptyFeederIsItsOwnExitCode) {
  std::filesystem::remove_all(folder / "pages");
  std::filesystem::create_directories(folder / "pages");
  kovscan::ScanCommand command;
  command.out = folder / "empty";
  command.profile = folder / "zaft.ini";
  command.quiet = true;
  EXPECT_EQ(kovscan::RunScan(command), kovscan::kFeederEmpty);
}

TEST_F(Kovscan, ListsSanesScannersWritesAProfileAndScansFromIt) {
  // SANE reads a configuration that lists only its test backend.
  const std::string sane = std::string("SANE_CONFIG_DIR=") + KOV_SANE_CONFIG + " ";

  const auto [listed, devices] = RunProgram(sane + KOVSCAN_PROGRAM + " devices");
  EXPECT_EQ(listed, kovscan::kSuccess);
  EXPECT_NE(devices.find("test:0 "), std::string::npos) << devices;
  EXPECT_NE(devices.find("test:1 "), std::string::npos) << devices;

  const std::string profile = (folder / "sane.ini").string();
  const auto [written, said] =
      RunProgram(sane + KOVSCAN_PROGRAM + " devices --profile " + profile + " --device test:1");
  ASSERT_EQ(written, kovscan::kSuccess) << said;
  EXPECT_NE(said.find("scanner SANE is SANE's test:1"), std::string::npos) << said;
  EXPECT_EQ(RunProgram(sane + KOVSCAN_PROGRAM + " devices --profile " + profile).first,
            kovscan::kBadArguments)
      << "an existing profile is kept";

  const std::string out = (folder / "sane-batch").string();
  const auto [scanned, text] = RunProgram(sane + KOVSCAN_PROGRAM + " scan --quiet --profile " +
                                          profile + " --out " + out + " --dpi 75 --bits 8");
  ASSERT_EQ(scanned, kovscan::kSuccess) << text;
  std::ifstream manifest(folder / "sane-batch" / "manifest.json");
  const auto pages = nlohmann::json::parse(manifest)["pages"];
  ASSERT_EQ(pages.size(), 10u) << "the test device's feeder holds ten sheets";
  EXPECT_EQ(pages[0]["header"]["width"], 236) << "80 mm at 75 dpi";
}

// Only the library's failures are library failures: out of memory and the unforeseen are
// kovscan's own.
TEST(Failures, EachEndsWithItsOwnExitCode) {
  const auto outcome = [](auto failure) {
    const kovscan::Outcome got = kovscan::OutcomeOf(std::make_exception_ptr(failure));
    return std::to_string(got.code) + " " + got.message;
  };
  EXPECT_EQ(outcome(kovscan::LibraryError("SCANOPEN", RC_SCAN_TIMEOUT, "late")),
            "4 SCANOPEN answered RC_SCAN_TIMEOUT: late");
  EXPECT_EQ(outcome(kovscan::FileError("cannot write x")), "5 cannot write x");
  EXPECT_EQ(outcome(kovscan::ArgumentError("no")), "3 no");
  EXPECT_EQ(outcome(std::filesystem::filesystem_error(
                        "cannot remove", "x", std::make_error_code(std::errc::permission_denied)))
                .substr(0, 2),
            "5 ");
  EXPECT_EQ(outcome(std::bad_alloc()), "1 out of memory");
  EXPECT_EQ(outcome(std::logic_error("a fault")), "1 unexpected failure: a fault");
}

}  // namespace
