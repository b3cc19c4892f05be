// A sample batch for the virtual scanner: a folder of 300 dpi letter pages as a document
// scanner would see them (text pages, pages with barcodes, patch-code separator sheets
// between documents, a blank page) with sidecar files for barcodes printed by the scanner
// itself, and a framework profile whose scanner feeds that folder. The text is set in a real
// font, and known, so that what reads the scans can be checked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace samples {

// What a sample page carries, for checking a scan of the batch.
struct SamplePage {
  std::string file;                   // in the pages folder
  std::string kind;                   // "text", "barcode", "patch2", "patch3", "patchT", "blank"
  std::vector<std::string> barcodes;  // printed on the page
  std::string scannerBarcode;         // given by the scanner (sidecar), or empty
  std::string text;  // set on the page, paragraphs apart by an empty line; or empty
  int turned = 0;    // degrees clockwise the page must turn to stand upright
  double skew = 0;   // degrees its lines run from level, counterclockwise
};

// Which pages a batch is drawn from.
enum class SampleSet {
  Office,  // the planned pages below, all upright and straight, one side each
  Duplex,  // sheets of two sides: pages turned and skewed, backs blank and backs with text
};

// The scanner's driver name in the profile.
inline constexpr const char* kScannerName = "KOVDEMO";

// The batch as planned: three documents behind separator sheets.
inline constexpr std::uint32_t kPlannedPages = 12;
// The duplex batch as planned: seven sheets, a separator among them.
inline constexpr std::uint32_t kDuplexPlannedPages = 14;
// The pages of one round of the set's plan.
inline constexpr std::uint32_t PlannedPages(SampleSet set) {
  return set == SampleSet::Duplex ? kDuplexPlannedPages : kPlannedPages;
}
// Page files are numbered in five digits, so that names sort in feeder order.
inline constexpr std::uint32_t kMostPages = 99999;

// Writes `count` pages into folder/pages (the set's plan over and over) and the profile
// folder/zaft.ini, whose scanner scans one side or both; the pages in feeder order, a duplex
// sheet's front before its back. Each planned page is drawn once: its repeats are
// hard links to it where the file system allows, so a long batch takes no more room than the
// plan. Nothing else in the folder is touched: its pages folder is to hold none of the pages'
// names. `beforeWriting` is told each file's path before it is made. Throws
// std::invalid_argument for no pages, more than kMostPages or an odd count of duplex pages,
// std::filesystem::filesystem_error when a file cannot be written, std::runtime_error when
// the font is missing.
std::vector<SamplePage> WriteSampleBatch(
    const std::filesystem::path& folder, std::uint32_t count = kPlannedPages,
    const std::function<void(const std::filesystem::path&)>& beforeWriting = {},
    SampleSet set = SampleSet::Office);

}  // namespace samples
