// A long batch through the exported calls: sessions of 500 pages each, with the options
// changing from session to session, every page checked against the stand-in's rendering of
// its image at the settings the scanner was given (a checksum of the rows, or of the rows
// the compressed data decode to; JPEG against the stand-in's own encoding), the patch sheet
// and the barcode page recognised, the feeder empty after exactly the pages it held, and
// the resident memory read after every session.
//
// kovzaft2_soak [pages]   (default 20000, a multiple of 500)
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/tags.h"
#include "kovzaft2.h"
#include "sim/drivers/page_images.h"
#include "sim/drivers/page_rendering.h"
#include "sim/drivers/virtual_scanner.h"
#include "sim/kit/barcode_drawing.h"
#include "sim/kit/kit.h"
#include "sim/kit/page_generator.h"
#include "sim/pipes/codecs.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kPagesPerSession = 500;
constexpr std::uint32_t kChunk = 256 * 1024;
constexpr std::int32_t kImageDpi = 300;
constexpr char kBarcodeText[] = "SOAK-0001";

// The images of the feeder, in name order; which of them are special.
constexpr std::size_t kPatchImage = 6;
constexpr std::size_t kBarcodeImage = 7;

std::uint64_t Checksum(const std::uint8_t* data, std::size_t size) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
  return hash;
}
std::uint64_t Checksum(const Bytes& data) {
  return Checksum(data.data(), data.size());
}

std::vector<std::filesystem::path> WriteImages(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    sim::WritePbm(sim::RenderPage(sim::TextPageRecipe(kImageDpi, seed)),
                  folder / ("page0" + std::to_string(seed - 1) + ".pbm"));
  }
  sim::PageRecipe sheet;
  sheet.xDpi = sheet.yDpi = kImageDpi;
  sheet.patches.emplace_back();  // Patch II
  sim::WritePbm(sim::RenderPage(sheet), folder / "page06.pbm");
  sim::BitonalPage coded = sim::RenderPage(sim::TextPageRecipe(kImageDpi, 7));
  sim::DrawBarcode(coded, {0.5, 0.3, 3.0, 0.5}, "Code128", kBarcodeText);
  sim::WritePbm(coded, folder / "page07.pbm");
  const sim::BitonalPage toned = sim::RenderPage(sim::TextPageRecipe(kImageDpi, 8));
  sim::WriteTintedPnm(toned, folder / "page08.pgm", false);
  sim::WriteTintedPnm(toned, folder / "page09.ppm", true);
  return sim::PageImageFiles(folder);
}

struct Options {
  const char* name;
  std::uint16_t bpp;
  std::uint32_t dpi;
  std::uint16_t compression;
  bool detection;  // patch codes and barcodes
  std::optional<SCAN_AREA> area;
};

const Options kOptions[] = {
    {"1 bit, 300 dpi, uncompressed", 1, 300, SCAN_COMP_NONE, false, {}},
    {"1 bit, 200 dpi, Group 4, patch codes and barcodes", 1, 200, SCAN_COMP_G4, true, {}},
    {"gray, 150 dpi, 4 x 5 inch area", 8, 150, SCAN_COMP_NONE, false, SCAN_AREA{0, 0, 600, 750}},
    {"colour, 100 dpi, JPEG", 24, 100, SCAN_COMP_JPEG, false, {}},
    {"1 bit, 300 dpi, Group 3 two-dimensional, patch codes", 1, 300, SCAN_COMP_G3_2D, true, {}},
};

// What the scanner delivers for each image under the session's settings.
sim::PageFormat ScannerFormat() {
  const sim::DriverView scanner("VSCAN");
  sim::PageFormat format;
  format.width = scanner.Integer(kTagImageWidth).value_or(0);
  format.length = scanner.Integer(kTagImageLength).value_or(0);
  format.samples = scanner.Integer(kTagSamplesPerPixel).value_or(1);
  format.bits = scanner.Integer(kTagBitsPerSample).value_or(1);
  format.photometric = scanner.Integer(kTagPhotometricInterpretation).value_or(0);
  format.xResolution = scanner.Rational(kTagXResolution).value_or(QelRational{300, 1});
  format.yResolution = scanner.Rational(kTagYResolution).value_or(QelRational{300, 1});
  format.xPosition = scanner.Integer(kTagXPosition).value_or(0);
  format.yPosition = scanner.Integer(kTagYPosition).value_or(0);
  return format;
}

class Soak {
 public:
  explicit Soak(std::filesystem::path folder) : folder_(std::move(folder)) {
    for (const auto& path : WriteImages(folder_ / "pages")) {
      images_.push_back(*sim::ReadPageImage(path, kImageDpi));
    }
    std::ofstream(folder_ / "zaft.ini") << "[ZAFT]\nScanner=VSCAN\n[VSCAN]\nType=VirtualScanner\n"
                                        << "ImageFolder=pages\n";
    setenv("ZAFT_PROFILE", (folder_ / "zaft.ini").c_str(), 1);
  }

  // False at the first fault, which it prints.
  bool RunSession(const Options& options, bool firstLoad) {
    if (SCANINIT() != 0 || SCANOPEN("dev", 0, &handle_) != 0) return Fail("no session");
    const bool ran = Configure(options) && Expect(options) && Feed(firstLoad) && Scan(options);
    SCANCLOSE(handle_);
    SCANFREE();
    return ran;
  }

  std::uint64_t Pages() const { return pages_; }
  std::uint64_t Verified() const { return verified_; }

 private:
  bool Fail(const std::string& what) {
    std::printf("FAULT at page %llu: %s\n", static_cast<unsigned long long>(pages_), what.c_str());
    return false;
  }

  bool Configure(const Options& options) {
    auto record = std::make_unique<ParmRecord>();
    SCAN_RES res{options.dpi, 1, options.dpi, 1, 0};
    std::uint16_t bpp = options.bpp, compression = options.compression;
    if (SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr) != 0 ||
        SCANSETPARM("dev", record.get(), SCAN_PARM_RES, &res) != 0 ||
        SCANSETPARM("dev", record.get(), SCAN_PARM_BPP, &bpp) != 0 ||
        SCANSETPARM("dev", record.get(), SCAN_PARM_COMP, &compression) != 0) {
      return Fail("parameters refused");
    }
    if (options.area) {
      SCAN_AREA area = *options.area;
      if (SCANSETPARM("dev", record.get(), SCAN_PARM_AREA, &area) != 0) return Fail("area");
    }
    if (options.detection) {
      record->p2 = record->p3 = record->pt = record->bro = 1;
      std::strcpy(record->szBarcodeState, "symbologies=Code128;tryharder=1;maxresults=5");
    }
    if (SCANSETSTATE(handle_, record.get()) != 0) return Fail("record refused");
    // Each page counts on from the number set: the first is 1.
    return SCANSETSEQNUM(handle_, 0) == 0 || Fail("sequence number");
  }

  // The checksum each image's page must have.
  bool Expect(const Options& options) {
    format_ = ScannerFormat();
    expected_.clear();
    for (const sim::PageImage& image : images_) {
      const Bytes rows = sim::RenderPageImage(image, format_);
      if (options.compression != SCAN_COMP_JPEG) {
        expected_.push_back(Checksum(rows));
        continue;
      }
      sim::PageFormat jpeg = format_;
      jpeg.compression = 6;
      jpeg.photometric = format_.samples == 3 ? 120 : format_.photometric;
      const auto encoded = sim::EncodePage(jpeg, rows);
      if (!encoded) return Fail("the stand-in does not encode the page");
      expected_.push_back(Checksum(*encoded));
    }
    return true;
  }

  // The feeder holds exactly one session's pages, images in name order from the first.
  bool Feed(bool firstLoad) {
    const auto rounds = static_cast<std::uint32_t>(kPagesPerSession / images_.size());
    return sim::RepeatFeeder("VSCAN", firstLoad ? rounds - 1 : rounds) || Fail("feeder");
  }

  bool Scan(const Options& options) {
    for (std::uint32_t i = 0; i < kPagesPerSession; ++i) {
      if (!ScanPage()) return Fail("page not delivered");
      const std::size_t image = i % images_.size();
      if (!Check(options, image, i + 1)) return false;
      ++pages_;
    }
    KOV_PAGEHEADER* header = &header_;
    std::uint32_t length = 0;
    const std::uint16_t rc = SCANAREAEJECT(handle_, &header, nullptr, &length);
    return rc == RC_SCAN_ADF_EMPTY || Fail("feeder not empty after the session's pages");
  }

  bool ScanPage() {
    KOV_PAGEHEADER* header = &header_;
    header_.usHeaderLength = PAGE_HEADER_SIZE;
    std::uint32_t length = 0;
    if (SCANAREAEJECT(handle_, &header, nullptr, &length) != RC_SCAN_MORE_DATA) return false;
    data_.resize(length);
    std::uint32_t received = 0;
    while (received < data_.size()) {
      std::uint32_t piece = std::min<std::uint32_t>(kChunk, length - received);
      if (SCANGETDATA(handle_, data_.data() + received, &piece, 0) != 0 || piece == 0) {
        return false;
      }
      received += piece;
    }
    // And nothing after the page.
    std::uint8_t extra[16];
    std::uint32_t piece = sizeof extra;
    return SCANGETDATA(handle_, extra, &piece, 0) == RC_SCAN_NO_DATA;
  }

  bool Check(const Options& options, std::size_t image, std::uint32_t sequence) {
    std::uint64_t sum = 0;
    if (options.compression == SCAN_COMP_G4 || options.compression == SCAN_COMP_G3_2D) {
      sim::PageFormat coded = format_;
      coded.compression = options.compression == SCAN_COMP_G4 ? 4 : 3;
      coded.t4Options = options.compression == SCAN_COMP_G3_2D ? 1 : 0;
      const auto rows = sim::DecodePage(coded, data_);
      if (!rows) return Fail("the page does not decode");
      sum = Checksum(*rows);
    } else {
      sum = Checksum(data_);
    }
    if (sum != expected_[image]) return Fail("checksum of image " + std::to_string(image));
    if (header_.lSeqNumber != static_cast<std::int32_t>(sequence)) return Fail("sequence");
    if (header_.usCompression != options.compression) return Fail("header compression");
    const bool patch = options.detection && image == kPatchImage;
    if ((header_.ucLevel == 2) != patch) return Fail("patch sheet level");
    const bool coded =
        options.detection && options.compression == SCAN_COMP_G4 && image == kBarcodeImage;
    if (coded && std::strcmp(header_.aBarcodes[0].szText, kBarcodeText) != 0) {
      return Fail(std::string("barcode not read: ") + header_.aBarcodes[0].szText);
    }
    ++verified_;
    return true;
  }

  std::filesystem::path folder_;
  std::vector<sim::PageImage> images_;
  sim::PageFormat format_;
  std::vector<std::uint64_t> expected_;
  std::int32_t handle_ = 0;
  KOV_PAGEHEADER header_{};
  Bytes data_;
  std::uint64_t pages_ = 0;
  std::uint64_t verified_ = 0;
};

// Resident and peak resident memory in KiB.
std::pair<long, long> Memory() {
  std::ifstream status("/proc/self/status");
  long rss = 0, peak = 0;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) rss = std::atol(line.c_str() + 6);
    if (line.rfind("VmHWM:", 0) == 0) peak = std::atol(line.c_str() + 6);
  }
  return {rss, peak};
}

}  // namespace

int main(int argc, char** argv) {
  const long wanted = argc > 1 ? std::atol(argv[1]) : 20000;
  if (wanted <= 0 || wanted % kPagesPerSession != 0) {
    std::fprintf(stderr, "usage: kovzaft2_soak [pages, a multiple of %u]\n", kPagesPerSession);
    return 2;
  }
  const auto folder =
      std::filesystem::temp_directory_path() / ("kovzaft2-soak-" + std::to_string(getpid()));
  Soak soak(folder);
  const auto start = std::chrono::steady_clock::now();
  const std::size_t sessions = static_cast<std::size_t>(wanted) / kPagesPerSession;
  const std::size_t kinds = std::size(kOptions);
  long settledRss = 0;
  bool ok = true;
  for (std::size_t s = 0; s < sessions && ok; ++s) {
    const Options& options = kOptions[s % kinds];
    ok = soak.RunSession(options, s == 0);
    const auto [rss, peak] = Memory();
    if (s + 1 == kinds) settledRss = rss;  // every kind of session has run once
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "session %2zu/%zu  %-52s pages %6llu  verified %6llu  RSS %6ld KiB  peak %6ld KiB"
        "  %7.1f s\n",
        s + 1, sessions, options.name, static_cast<unsigned long long>(soak.Pages()),
        static_cast<unsigned long long>(soak.Verified()), rss, peak, seconds);
    std::fflush(stdout);
  }
  std::filesystem::remove_all(folder);
  const auto [rss, peak] = Memory();
  std::printf(
      "%s: %llu pages, %llu checksums verified; RSS after the first %zu sessions %ld KiB, "
      "at the end %ld KiB, peak %ld KiB\n",
      ok ? "PASSED" : "FAILED", static_cast<unsigned long long>(soak.Pages()),
      static_cast<unsigned long long>(soak.Verified()), kinds, settledRss, rss, peak);
  // Flat: the end may not hold more than 16 MiB over what every kind of session settled at.
  if (ok && settledRss != 0 && rss > settledRss + 16 * 1024) {
    std::printf("FAILED: resident memory grew by %ld KiB\n", rss - settledRss);
    return 1;
  }
  return ok ? 0 : 1;
}
