// Scanning SANE's own `test` device through the exported calls, as a host does: every page
// must be byte for byte what `scanimage` writes for the same options, and the device's
// failures must reach the host as codes with texts. SANE reads the configuration in
// tests/sane, which lists only the `test` backend, so no real hardware is probed.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host_library.h"
#include "sim/pipes/codecs.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

struct Raster {
  std::int32_t width = 0;
  std::int32_t height = 0;
  Bytes bytes;
};

// The raster of a PNM file as scanimage writes it (P4, P5 or P6, comments allowed).
Raster ReadPnm(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  in >> magic;
  auto number = [&in] {
    in >> std::ws;
    while (in.peek() == '#') {
      std::string comment;
      std::getline(in, comment);
      in >> std::ws;
    }
    int value = 0;
    in >> value;
    return value;
  };
  Raster raster;
  raster.width = number();
  raster.height = number();
  if (magic != "P4") number();  // the largest level
  in.get();                     // the one blank before the raster
  raster.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  // The bits after a one-bit row's last dot are whatever the device left there; the driver
  // clears them.
  const std::size_t rowBytes = (static_cast<std::size_t>(raster.width) + 7) / 8;
  const auto padding = static_cast<unsigned>(rowBytes * 8 - static_cast<std::size_t>(raster.width));
  if (magic == "P4" && padding != 0) {
    for (std::size_t end = rowBytes; end <= raster.bytes.size(); end += rowBytes) {
      raster.bytes[end - 1] &= static_cast<std::uint8_t>(0xFF << padding);
    }
  }
  return raster;
}

// A scan's settings, as the host asks for them and as scanimage is told.
struct Settings {
  std::uint16_t bpp = 8;
  std::uint32_t dpi = 100;
  std::uint16_t widthDots = 0;  // 0: the device's own area
  std::uint16_t lengthDots = 0;
  std::uint16_t compression = SCAN_COMP_NONE;
  std::string scanimageExtra;  // the device's own options, after the mode, for scanimage

  std::string ScanimageOptions() const {
    std::ostringstream options;
    options << (bpp == 24 ? " --mode Color --depth 8" : " --mode Gray --depth ")
            << (bpp == 24 ? "" : std::to_string(bpp)) << " --resolution " << dpi << scanimageExtra;
    if (widthDots != 0) {
      // The millimetres the driver sets for the dots (its end a quarter into the next dot), as
      // text that reads back to the same.
      char area[96];
      std::snprintf(area, sizeof area, " -l 0 -t 0 -x %.17g -y %.17g",
                    (widthDots + 0.25) * 25.4 / dpi, (lengthDots + 0.25) * 25.4 / dpi);
      options << area;
    }
    return options.str();
  }
};

struct Page {
  KOV_PAGEHEADER header{};
  Bytes data;
};

class SaneScanning : public ::testing::Test {
 protected:
  SaneScanning() {
    fs::create_directories(folder_);
    setenv("SANE_CONFIG_DIR", KOV_SANE_CONFIG, 1);
  }
  ~SaneScanning() override { fs::remove_all(folder_); }

  // A library whose scanner SANE is the test device showing its grid, with these profile lines
  // after. The device keeps its options from one load to the next, as a scanner does, so
  // reading is set back to normal first.
  std::unique_ptr<HostLibrary> Library(const std::string& extraLines = "") {
    return std::make_unique<HostLibrary>(
        ProfileWithDebug() +
        "[ZAFT]\nScanner=SANE\n[SANE]\nType=SaneScanner\nDevice=test\n"
        "Option.test-picture=Grid\nOption.read-return-value=Default\nOption.read-delay=no\n"
        "Option.read-limit=no\n" +
        extraLines);
  }

  // Opens the scanner with the settings on its feeder; false (with a failure) when refused.
  bool Open(HostLibrary& lib, const Settings& settings) {
    EXPECT_EQ(lib.SCANINIT(), 0);
    EXPECT_EQ(lib.SCANOPEN("dev", 0, &handle_), 0);
    record_ = std::make_unique<ParmRecord>();
    std::int16_t feeder = 1;
    SCAN_RES res{settings.dpi, 1, settings.dpi, 1, 0};
    std::uint16_t bpp = settings.bpp;
    std::uint16_t compression = settings.compression;
    EXPECT_EQ(lib.SCANSETPARM("dev", record_.get(), SCAN_PARM_INIT, nullptr), 0)
        << lib.LastErrorText();
    EXPECT_EQ(lib.SCANSETPARM("dev", record_.get(), SCAN_PARM_ADF, &feeder), 0);
    EXPECT_EQ(lib.SCANSETPARM("dev", record_.get(), SCAN_PARM_RES, &res), 0);
    EXPECT_EQ(lib.SCANSETPARM("dev", record_.get(), SCAN_PARM_BPP, &bpp), 0);
    if (settings.widthDots != 0) {
      SCAN_AREA area{0, 0, settings.widthDots, settings.lengthDots};
      EXPECT_EQ(lib.SCANSETPARM("dev", record_.get(), SCAN_PARM_AREA, &area), 0);
    }
    EXPECT_EQ(lib.SCANSETPARM("dev", record_.get(), SCAN_PARM_COMP, &compression), 0);
    EXPECT_EQ(lib.SCANSETSTATE(handle_, record_.get()), 0) << lib.LastErrorText();
    return !HasFailure();
  }

  // One page, header and data; rc its SCANAREAEJECT's answer.
  std::uint16_t Scan(HostLibrary& lib, Page& page) {
    KOV_PAGEHEADER* header = &page.header;
    page.header.usHeaderLength = PAGE_HEADER_SIZE;
    std::uint32_t length = 0;
    const std::uint16_t rc = lib.SCANAREAEJECT(handle_, &header, nullptr, &length);
    if (rc != RC_SCAN_MORE_DATA) return rc;
    page.data.resize(length);
    std::uint32_t received = 0;
    while (received < length) {
      std::uint32_t piece = length - received;
      if (lib.SCANGETDATA(handle_, page.data.data() + received, &piece, 0) != 0 || piece == 0) {
        ADD_FAILURE() << "SCANGETDATA stopped after " << received << " of " << length;
        break;
      }
      received += piece;
    }
    return 0;
  }

  // Every page until the feeder is empty.
  std::vector<Page> ScanFeeder(HostLibrary& lib) {
    std::vector<Page> pages;
    for (int guard = 0; guard < 20; ++guard) {
      Page page;
      const std::uint16_t rc = Scan(lib, page);
      if (rc == RC_SCAN_ADF_EMPTY) return pages;
      EXPECT_EQ(rc, 0) << lib.LastErrorText();
      if (rc != 0) return pages;
      pages.push_back(std::move(page));
    }
    ADD_FAILURE() << "the feeder never ran empty";
    return pages;
  }

  void Close(HostLibrary& lib) {
    EXPECT_EQ(lib.SCANCLOSE(handle_), 0);
    EXPECT_EQ(lib.SCANFREE(), 0);
  }

  // What scanimage writes for the test device's feeder with these settings.
  std::vector<Raster> Oracle(const Settings& settings) {
    const fs::path folder = folder_ / ("oracle-" + std::to_string(oracleRuns_++));
    fs::create_directories(folder);
    // scanimage meets the backend's rare hang too: a run that does not end is tried again.
    const std::string command =
        "timeout 60 scanimage -d test --source 'Automatic Document Feeder' --test-picture Grid" +
        settings.ScanimageOptions() + " --format=pnm --batch='" + (folder / "p%02d.pnm").string() +
        "' >/dev/null 2>&1";
    for (int attempt = 0; attempt < 3; ++attempt) {
      fs::remove_all(folder);
      fs::create_directories(folder);
      if (WEXITSTATUS(std::system(command.c_str())) != 124) break;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<Raster> rasters;
    for (const auto& file : files) rasters.push_back(ReadPnm(file));
    return rasters;
  }

  // Scans one page with these profile lines and expects scanimage's first with the settings.
  void ExpectAPageAsScanimageWritesIt(const std::string& extraLines, const Settings& settings) {
    auto lib = Library(extraLines);
    ASSERT_TRUE(Open(*lib, settings));
    Page page;
    ASSERT_EQ(Scan(*lib, page), 0) << lib->LastErrorText();
    Close(*lib);
    const std::vector<Raster> expected = Oracle(settings);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(+page.header.usLines, expected[0].height);
    EXPECT_EQ(page.data.size(), expected[0].bytes.size());
    EXPECT_TRUE(page.data == expected[0].bytes);
  }

  // SANE reads a configuration with the backend's own step of the area, 1 mm, as its
  // default configuration has it; otherwise the same as tests/sane.
  void UseTheDefaultAreaStep() {
    const fs::path config = folder_ / "sane-default";
    fs::create_directories(config);
    fs::copy_file(fs::path(KOV_SANE_CONFIG) / "dll.conf", config / "dll.conf");
    std::ifstream in(fs::path(KOV_SANE_CONFIG) / "test.conf");
    std::ofstream out(config / "test.conf");
    for (std::string line; std::getline(in, line);) {
      out << (line.starts_with("geometry_quant ") ? "geometry_quant 1.0" : line) << '\n';
    }
    setenv("SANE_CONFIG_DIR", config.c_str(), 1);
  }

  // Sessions one after the other in this process with nothing but resolution and depth set:
  // the area the device came with stays as it was, in the record and on the page.
  std::vector<Page> PagesOfSixSessions(const Settings& settings) {
    std::vector<Page> pages;
    std::vector<SCAN_AREA> areas;
    for (int session = 0; session < 6; ++session) {
      auto lib = Library();
      if (!Open(*lib, settings)) return pages;
      EXPECT_EQ(lib->SCANQUERYPARM(record_.get(), SCAN_PARM_AREA, &areas.emplace_back()), 0);
      EXPECT_EQ(Scan(*lib, pages.emplace_back()), 0) << lib->LastErrorText();
      Close(*lib);
    }
    for (std::size_t i = 1; i < pages.size(); ++i) {
      SCOPED_TRACE("session " + std::to_string(i + 1));
      EXPECT_EQ(areas[i].usWidth, areas[0].usWidth);
      EXPECT_EQ(areas[i].usLength, areas[0].usLength);
      EXPECT_EQ(pages[i].header.usBytesPerLine, pages[0].header.usBytesPerLine);
      EXPECT_EQ(pages[i].header.usLines, pages[0].header.usLines);
      EXPECT_TRUE(pages[i].data == pages[0].data);
    }
    return pages;
  }

  fs::path folder_ = fs::temp_directory_path() / ("kovzaft2-sane-" + std::to_string(getpid()));
  int oracleRuns_ = 0;
  std::int32_t handle_ = 0;
  std::unique_ptr<ParmRecord> record_;
};

TEST_F(SaneScanning, FeederPagesAreWhatScanimageWritesAtEveryDepthAndTwoResolutions) {
  for (const std::uint16_t bpp : std::initializer_list<std::uint16_t>{1, 8, 24}) {
    for (const std::uint32_t dpi : {75u, 150u}) {
      Settings settings;
      settings.bpp = bpp;
      settings.dpi = dpi;
      // About 2 x 3 inches, rows of whole bytes at one bit.
      settings.widthDots = static_cast<std::uint16_t>((dpi * 2 + 7) / 8 * 8);
      settings.lengthDots = static_cast<std::uint16_t>(dpi * 3);
      SCOPED_TRACE(std::to_string(bpp) + " bits a dot at " + std::to_string(dpi) + " dpi");
      auto lib = Library();
      if (!Open(*lib, settings)) return;
      const std::vector<Page> pages = ScanFeeder(*lib);
      Close(*lib);
      const std::vector<Raster> expected = Oracle(settings);
      ASSERT_EQ(expected.size(), 10u) << "scanimage scans ten sheets";
      ASSERT_EQ(pages.size(), expected.size());
      for (std::size_t i = 0; i < pages.size(); ++i) {
        const KOV_PAGEHEADER& header = pages[i].header;
        EXPECT_EQ(+header.usLines, expected[i].height) << "page " << i + 1;
        EXPECT_EQ(header.usBytesPerLine * 8 / bpp, expected[i].width);
        EXPECT_EQ(pages[i].data.size(), expected[i].bytes.size());
        EXPECT_TRUE(pages[i].data == expected[i].bytes) << "page " << i + 1;
        EXPECT_EQ(+header.usBpp, bpp);
        EXPECT_EQ(+header.ulXResNum, dpi);
      }
    }
  }
}

TEST_F(SaneScanning, AnAreaTheHostLeavesAloneStaysTheSameFromSessionToSession) {
  Settings settings;
  settings.bpp = 1;
  PagesOfSixSessions(settings);
}

TEST_F(SaneScanning, WithTheDefaultAreaStepTheAreaStaysAndPagesAreWhatScanimageWrites) {
  UseTheDefaultAreaStep();
  Settings settings;
  settings.bpp = 1;
  const std::vector<Page> pages = PagesOfSixSessions(settings);
  const std::vector<Raster> expected = Oracle(settings);
  ASSERT_FALSE(expected.empty());
  ASSERT_FALSE(pages.empty());
  EXPECT_EQ(pages.front().header.usBytesPerLine, (expected[0].width + 7) / 8);
  EXPECT_EQ(+pages.front().header.usLines, expected[0].height);
  EXPECT_TRUE(pages.front().data == expected[0].bytes);
}

TEST_F(SaneScanning, ThreePassColourFramesAreInterleavedAsScanimageWritesThem) {
  Settings settings;
  settings.bpp = 24;
  settings.dpi = 50;
  settings.widthDots = 80;
  settings.lengthDots = 100;
  settings.scanimageExtra = " --three-pass=yes";
  // The option is there only in colour: the mode comes first.
  ExpectAPageAsScanimageWritesIt("Option.mode=Color\nOption.three-pass=yes\n", settings);
}

TEST_F(SaneScanning, GroupFourPagesDecodeToTheUncompressedScan) {
  Settings settings;
  settings.bpp = 1;
  settings.dpi = 200;
  settings.widthDots = 400;
  settings.lengthDots = 500;
  settings.compression = SCAN_COMP_G4;
  auto lib = Library();
  ASSERT_TRUE(Open(*lib, settings));
  Page page;
  ASSERT_EQ(Scan(*lib, page), 0) << lib->LastErrorText();
  Close(*lib);
  EXPECT_EQ(+page.header.usCompression, SCAN_COMP_G4);

  const std::vector<Raster> expected = Oracle([&] {
    Settings plain = settings;
    plain.compression = SCAN_COMP_NONE;
    return plain;
  }());
  ASSERT_FALSE(expected.empty());
  sim::PageFormat format;
  format.width = expected[0].width;
  format.length = expected[0].height;
  format.compression = 4;
  EXPECT_EQ(sim::DecodePage(format, page.data), expected[0].bytes);
}

TEST_F(SaneScanning, DeviceFailuresReachTheHostWithTheirTextsAndTheNextSessionWorks) {
  const struct {
    const char* status;
    std::uint16_t rc;
    const char* text;
  } kCases[] = {
      {"SANE_STATUS_JAMMED", RC_SCAN_ZAFT_ERROR, "The document feeder is jammed (-4701)"},
      {"SANE_STATUS_IO_ERROR", RC_SCAN_ZAFT_ERROR,
       "The scanner could not be reached (input/output error) (-4703)"},
      {"SANE_STATUS_NO_DOCS", RC_SCAN_ADF_EMPTY, "RC_SCAN_ADF_EMPTY"},
      // The page ends at once, before any of the lines it announced.
      {"SANE_STATUS_EOF", RC_SCAN_ZAFT_ERROR,
       "The scanner ended the page before all its lines came (-4711)"},
  };
  for (const auto& failure : kCases) {
    SCOPED_TRACE(failure.status);
    auto lib = Library(std::string("Option.read-return-value=") + failure.status + "\n");
    if (!Open(*lib, Settings{})) return;
    Page page;
    EXPECT_EQ(Scan(*lib, page), failure.rc);
    EXPECT_EQ(lib->LastErrorText(), failure.text);
    Close(*lib);

    auto next = Library();
    ASSERT_TRUE(Open(*next, Settings{}));
    EXPECT_EQ(Scan(*next, page), 0) << next->LastErrorText();
    Close(*next);
  }
}

TEST_F(SaneScanning, AHandScannersPageHasTheLinesThatCameAndAPageWithoutLinesFails) {
  Settings settings;
  settings.scanimageExtra = " --hand-scanner=yes";
  ExpectAPageAsScanimageWritesIt("Option.hand-scanner=yes\n", settings);
  auto lib = Library("Option.hand-scanner=yes\nOption.read-return-value=SANE_STATUS_EOF\n");
  ASSERT_TRUE(Open(*lib, settings));
  Page page;
  EXPECT_EQ(Scan(*lib, page), RC_SCAN_ZAFT_ERROR);
  EXPECT_EQ(lib->LastErrorText(), "The scanner ended the page before all its lines came (-4711)");
  Close(*lib);
}

TEST_F(SaneScanning, ADeviceThatDoesNotOpenOrAnOptionItRefusesStopsTheLoadWithItsName) {
  {
    auto lib = std::make_unique<HostLibrary>(
        ProfileWithDebug() + "[ZAFT]\nScanner=SANE\n[SANE]\nType=SaneScanner\nDevice=nosuch:7\n");
    ASSERT_EQ(lib->SCANINIT(), 0);
    auto record = std::make_unique<ParmRecord>();
    EXPECT_EQ(lib->SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), RC_SCAN_ZAFT_ERROR);
    EXPECT_NE(lib->LastErrorText().find("The scanner device could not be opened: nosuch:7"),
              std::string::npos)
        << lib->LastErrorText();
    EXPECT_EQ(lib->SCANFREE(), 0);
  }
  auto lib = Library("Option.no-such-option=1\n");
  ASSERT_EQ(lib->SCANINIT(), 0);
  auto record = std::make_unique<ParmRecord>();
  EXPECT_EQ(lib->SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), RC_SCAN_ZAFT_ERROR);
  EXPECT_EQ(lib->LastErrorText(),
            "The scanner refused an option of its profile section: Option.no-such-option=1 "
            "(-4710)");
  EXPECT_EQ(lib->SCANFREE(), 0);
}

TEST_F(SaneScanning, AKillDuringAPageCancelsTheScan) {
  // Slow pages: 256 bytes a read, 20 ms after each; a small area keeps the page that follows
  // short.
  auto lib = Library(
      "Option.read-limit=yes\nOption.read-limit-size=256\nOption.read-delay=yes\n"
      "Option.read-delay-duration=20000\n");
  Settings settings;
  settings.dpi = 75;
  settings.widthDots = 80;
  settings.lengthDots = 75;
  ASSERT_TRUE(Open(*lib, settings));
  // The kill comes once the page runs.
  std::thread killer([&] {
    const auto messages = [&] { return lib->LogMessages(); };
    while (std::ranges::count(messages(), std::string("   QelRunZone called here")) == 0) {
      std::this_thread::yield();
    }
    lib->SCANKILL(handle_);
  });
  Page page;
  const std::uint16_t rc = Scan(*lib, page);
  killer.join();
  EXPECT_EQ(rc, RC_SCAN_ZAFT_ERROR);
  EXPECT_EQ(lib->LastErrorText(), "The operation was aborted by the application (-4526)");
  // The host starts its next job: the page that was cancelled comes again.
  ASSERT_EQ(lib->SCANSETSTATE(handle_, record_.get()), 0);
  EXPECT_EQ(Scan(*lib, page), 0) << lib->LastErrorText();
  EXPECT_FALSE(page.data.empty());
  EXPECT_EQ(page.data.size(), std::size_t{page.header.usLines} * page.header.usBytesPerLine);
  Close(*lib);
}

}  // namespace
