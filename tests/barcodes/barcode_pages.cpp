// The barcode component's reader on page files, for comparing the builds: zxing-cpp on Linux,
// ZBar in the DLL's stand-in (this program links the same stand-in the DLL is built from).
// Usage:
//   barcode_pages draw DIR           writes the sample pages (where the kit draws: Linux)
//   barcode_pages read DIR           the table of every page image of DIR, in name order
//   barcode_pages state TEXT...      what the component answers to each settings text
//   barcode_pages time DIR ROUNDS    milliseconds per page, each page read ROUNDS times with a
//                                    new reader's settings (bench/barcode_reading_bench.cpp
//                                    times the Linux build's library so)
// The table has a line per barcode, tab-separated: file, kind, the box around it in dots
// (left top right bottom) and its text; "file<TAB>none" for a page without. The pages are read
// for every kind the build reads, trying harder, at most 100 codes a page.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/barcode.h"
#include "sim/barcode/barcode_decoding.h"
#include "sim/barcode/barcode_reader.h"
#include "sim/barcode/com_string.h"
#include "sim/drivers/page_images.h"
#include "tests/barcodes/sample_codes.h"

namespace {

constexpr std::int32_t kDpi = 300;

sim::BarcodeSettings EveryKind() {
  return {sim::ReadableKinds(), true, 100};
}

std::optional<std::vector<sim::FoundBarcode>> Read(const std::filesystem::path& file) {
  const auto image = sim::ReadPageImage(file, kDpi);
  if (!image) return std::nullopt;
  return sim::ReadBarcodes(image->format, image->rows, EveryKind());
}

int Table(const std::filesystem::path& folder) {
  for (const auto& file : sim::PageImageFiles(folder)) {
    const std::string name = file.filename().string();
    const auto found = Read(file);
    if (!found) {
      std::fprintf(stderr, "barcode_pages: cannot read %s\n", name.c_str());
      return 1;
    }
    if (found->empty()) std::printf("%s\tnone\n", name.c_str());
    for (const sim::FoundBarcode& code : *found) {
      const std::string kind(sim::kSymbologies[code.kind].name);
      std::printf("%s\t%s\t%d %d %d %d\t%s\n", name.c_str(), kind.c_str(), code.box.left,
                  code.box.top, code.box.right, code.box.bottom, code.text.c_str());
    }
  }
  return 0;
}

int Time(const std::filesystem::path& folder, int rounds) {
  for (const auto& file : sim::PageImageFiles(folder)) {
    const auto image = sim::ReadPageImage(file, kDpi);
    if (!image || rounds < 1) return 1;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round)
      sim::ReadBarcodes(image->format, image->rows, sim::BarcodeSettings::Defaults());
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    std::printf("%s\t%.1f ms\n", file.filename().string().c_str(), spent.count() / rounds);
  }
  return 0;
}

// A line for each text: "accepted", or the framework's text for the component's refusal.
int States(const std::vector<std::string_view>& texts) {
  IBarcodeReader* reader = nullptr;
  if (QelIpCreateInstance(&reader) != 0) return 1;
  int status = 0;
  for (const std::string_view text : texts) {
    platform::ComString state = sim::NewComString(text);
    const std::int32_t answer = reader->PutState(state);
    QelIpFreeString(state);
    char why[256] = "accepted";
    if (answer != 0 && QelErrorText(0, nullptr, answer, why, sizeof why) < 0) status = 1;
    std::printf("%s\n", why);
  }
  reader->Release();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  try {
    if (command == "draw" && argc == 3) {
      barcodes::WriteSampleCodes(argv[2]);
      return 0;
    }
    if (command == "read" && argc == 3) return Table(argv[2]);
    if (command == "state" && argc >= 3) return States({argv + 2, argv + argc});
    if (command == "time" && argc == 4) return Time(argv[2], std::atoi(argv[3]));
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "barcode_pages: %s\n", failure.what());
    return 1;
  }
  std::fprintf(stderr,
               "usage: barcode_pages draw DIR | read DIR | state TEXT... | time DIR ROUNDS\n");
  return 2;
}
