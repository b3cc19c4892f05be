// Image files the virtual scanner feeds, as a host meets them: hostile claims, files cut
// short, files the image libraries warn about, multi-page TIFFs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host_library.h"
#include "image_files.h"
#include "sim/pipes/codecs.h"

namespace {

constexpr std::size_t kLetterRowBytes = 2544 / 8;  // letter at 300 dpi, one bit

std::size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t total = 0, resident = 0;
  statm >> total >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// The most resident memory since the last ResetPeak.
std::size_t PeakBytes() {
  std::ifstream status("/proc/self/status");
  std::string word;
  std::size_t kib = 0;
  while (status >> word && word != "VmHWM:") {
  }
  status >> kib;
  return kib * 1024;
}

void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// What the process writes to its standard error while one lives.
class StandardErrorCapture {
 public:
  StandardErrorCapture() : file_(std::tmpfile()), saved_(dup(2)) {
    std::fflush(stderr);
    dup2(fileno(file_), 2);
  }
  ~StandardErrorCapture() {
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    std::fclose(file_);
  }
  StandardErrorCapture(const StandardErrorCapture&) = delete;
  StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

  std::string Text() const {
    std::fflush(stderr);
    std::string text;
    std::rewind(file_);
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) text += static_cast<char>(c);
    return text;
  }

 private:
  std::FILE* file_;
  int saved_;
};

struct Scanned {
  std::uint16_t rc = 0;
  std::vector<std::uint8_t> data;
};

class PageFiles : public ::testing::Test {
 protected:
  PageFiles()
      : lib(ProfileWithDebug() +
            "[ZAFT]\nScanner=VSCAN\n[VSCAN]\nType=VirtualScanner\nImageFolder=pages\n") {
    std::filesystem::create_directory(Folder());
  }

  std::filesystem::path Folder() const { return lib.Folder() / "pages"; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Folder() / name, std::ios::binary) << bytes;
  }

  // SCANINIT to SCANSETSTATE; the scanner reads the folder at its first load.
  void Open() {
    ASSERT_EQ(lib.SCANINIT(), 0);
    ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
    ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
    ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  }
  void Close() {
    EXPECT_EQ(lib.SCANCLOSE(handle), 0);
    EXPECT_EQ(lib.SCANFREE(), 0);
  }

  // The next page, whole.
  Scanned Scan() {
    Scanned page;
    KOV_PAGEHEADER header{};
    header.usHeaderLength = PAGE_HEADER_SIZE;
    KOV_PAGEHEADER* headerAt = &header;
    std::vector<std::uint8_t> buffer(1 << 20);
    std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
    page.rc = lib.SCANAREAEJECT(handle, &headerAt, buffer.data(), &length);
    if (page.rc != 0 && page.rc != RC_SCAN_MORE_DATA) return page;
    page.data.assign(buffer.begin(), buffer.begin() + length);
    while (page.rc == RC_SCAN_MORE_DATA) {
      length = static_cast<std::uint32_t>(buffer.size());
      if (lib.SCANGETDATA(handle, buffer.data(), &length, 0) != 0) page.rc = 0;
      if (page.rc != 0) page.data.insert(page.data.end(), buffer.begin(), buffer.begin() + length);
    }
    return page;
  }

  // The start of the text SCANLASTERROR gives for a file that cannot be read.
  std::string Unreadable(const std::string& name) const {
    return "The page image cannot be read: " + name + " (";
  }

  HostLibrary lib;
  std::int32_t handle = 0;
  std::unique_ptr<ParmRecord> record = std::make_unique<ParmRecord>();
};

struct Hostile {
  const char* name;
  std::string bytes;
  const char* reason;
};

void PrintTo(const Hostile& file, std::ostream* out) {
  *out << file.name;
}

class HostileFiles : public PageFiles, public ::testing::WithParamInterface<Hostile> {};

// A few bytes claiming a huge image: refused before anything is made for it, in one session
// and the next, with nothing kept.
TEST_P(HostileFiles, AreRefusedWithTheFileNamedAndLeaveNoMemoryBehind) {
  Write(GetParam().name, GetParam().bytes);
  const std::size_t before = ResidentBytes();
  for (int session = 1; session <= 2; ++session) {
    SCOPED_TRACE(session);
    Open();
    ResetPeak();
    const std::size_t start = ResidentBytes();
    EXPECT_NE(Scan().rc, 0);
    const std::size_t highest = PeakBytes();
    const std::size_t peak = highest - std::min(start, highest);
    RecordProperty("peak_growth_kib_session_" + std::to_string(session),
                   std::to_string(peak / 1024));
    EXPECT_LT(peak, std::size_t{64} << 20) << "the read took " << (peak >> 20) << " MiB";
    const std::string text = lib.LastErrorText();
    EXPECT_EQ(text.find(Unreadable(GetParam().name) + GetParam().reason), 0u) << text;
    Close();
    const std::size_t after = ResidentBytes();
    const std::size_t grown = after - std::min(before, after);
    RecordProperty("resident_growth_kib_session_" + std::to_string(session),
                   std::to_string(grown / 1024));
    EXPECT_LT(grown, std::size_t{32} << 20)
        << "resident memory grew by " << (grown >> 20) << " MiB";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Claims, HostileFiles,
    ::testing::Values(Hostile{"uncompressed.tif",
                              TiffFile({{100000, 100000, 1, std::string(8, '\0')}}),
                              "claims 100000 x 100000 dots, more than its 130 bytes hold)"},
                      Hostile{"group4.tif", TiffFile({{100000, 100000, 4, std::string(8, '\0')}}),
                              "claims 100000 x 100000 dots, over 12 x 17 in at 1200 dpi)"},
                      Hostile{"gray.tif",
                              TiffFile({{14000, 20000, 5, std::string(8, '\x80'), false, 8}}),
                              "Not enough data at scanline 0"},
                      Hostile{"large.png", PngFile(20000, 20000, 1),
                              "claims 20000 x 20000 dots, over 12 x 17 in at 1200 dpi)"}),
    [](const auto& hostile) {
      const std::string name = hostile.param.name;
      return name.substr(0, name.find('.'));
    });

// A PNG cut short is refused with libpng's reason, leaves nothing allocated (the leak checker
// runs at the test's exit) and nothing on the host's terminal.
TEST_F(PageFiles, APngCutShortIsRefusedQuietlyAndLeavesNothing) {
  Write("short.png", PngFile(100, 200, 20));
  Open();
  const StandardErrorCapture errors;
  EXPECT_NE(Scan().rc, 0);
  const std::string text = lib.LastErrorText();
  EXPECT_EQ(text.find(Unreadable("short.png") + "the file is cut short)"), 0u) << text;
  EXPECT_EQ(errors.Text(), "");
  Close();
}

// libtiff's warnings are dropped and its errors become the failure's text; neither reaches
// the host's standard error.
TEST_F(PageFiles, TiffMessagesStayOffTheHostsTerminal) {
  TiffPage warned{16, 2, 1, "\xF0\x0F\x3C\xC3"};
  warned.privateTag = true;
  Write("a.tif", TiffFile({warned}));
  Write("b.tif", TiffFile({{16, 2, 12345, std::string(4, '\0')}}));  // no such compression
  Open();
  const StandardErrorCapture errors;
  const Scanned first = Scan();
  EXPECT_EQ(first.rc, 0) << "a warning does not refuse the page";
  ASSERT_GE(first.data.size(), 2u);
  EXPECT_EQ(first.data[0], 0xF0);
  EXPECT_NE(Scan().rc, 0);
  const std::string text = lib.LastErrorText();
  EXPECT_EQ(text.find(Unreadable("b.tif") + "Compression scheme 12345 scanline decoding is not"),
            0u)
      << text;
  EXPECT_EQ(errors.Text(), "");
  Close();

  // The same for the codecs of the conversion pipes.
  sim::PageFormat group4;
  group4.width = 64;
  group4.length = 16;
  group4.compression = 4;
  EXPECT_FALSE(sim::DecodePage(group4, std::vector<std::uint8_t>(32, 0)));
  EXPECT_EQ(errors.Text(), "");
}

// The pages in order, each in its own layout: the one-bit scanner thresholds the gray one.
TEST_F(PageFiles, EveryPageOfAMultiPageTiffIsFedInOrder) {
  const auto page = [](const std::string& firstRow) {
    return TiffPage{16, 2, 1, firstRow + std::string(2, '\0')};  // the second row white
  };
  TiffPage gray{16, 2, 1, std::string(8, '\0') + std::string(24, '\xFF')};
  gray.bits = 8;  // black is 0
  Write("a.tif", TiffFile({page("\x80\x01"), gray, page("\x20\x04")}));
  Write("b.pbm", std::string("P4\n16 2\n") + "\x10\x08" + std::string(2, '\0'));
  Open();
  const std::vector<std::vector<std::uint8_t>> starts = {
      {0x80, 0x01}, {0xFF, 0x00}, {0x20, 0x04}, {0x10, 0x08}};
  for (const auto& start : starts) {
    SCOPED_TRACE(start[0]);
    const Scanned scanned = Scan();
    ASSERT_EQ(scanned.rc, 0) << lib.LastErrorText();
    ASSERT_GT(scanned.data.size(), kLetterRowBytes);
    EXPECT_EQ(std::vector<std::uint8_t>(scanned.data.begin(), scanned.data.begin() + 2), start);
    EXPECT_EQ(scanned.data[kLetterRowBytes], 0) << "the second row is white";
  }
  EXPECT_EQ(Scan().rc, RC_SCAN_ADF_EMPTY);
  Close();
}

}  // namespace
