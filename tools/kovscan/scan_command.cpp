#include "tools/kovscan/scan_command.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>

#include "tools/kovscan/batch.h"
#include "tools/kovscan/manifest.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/page_picture.h"
#include "tools/kovscan/record_file.h"
#include "tools/kovscan/report.h"

namespace kovscan {

namespace {

// A back side or an empty sheet carries hardly any ink; text pages carry several percent.
constexpr double kBlankInk = 0.002;
constexpr std::uint32_t kThumbnailWidth = 160;

using Clock = std::chrono::steady_clock;

void ShowProgress(const Batch& batch, Clock::time_point start) {
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::fprintf(stderr, "\rpages %zu  %.0f pages/min  %.1f MB", batch.pages.size(),
               seconds > 0 ? batch.pages.size() * 60.0 / seconds : 0.0, batch.bytes / 1e6);
  std::fflush(stderr);
}

void WritePageFile(const std::filesystem::path& out, BatchPage& page) {
  char name[32];
  std::snprintf(name, sizeof name, "pages/page-%04d.%s", page.number,
                IsJpeg(page.page.header) ? "jpg" : "tif");
  page.file = name;
  const bool written = IsJpeg(page.page.header) ? WriteBytes(out / name, page.page.data)
                                                : WriteTiff(out / name, {&page.page});
  if (!written) throw std::runtime_error("cannot write " + (out / name).string());
}

void LookAt(const std::filesystem::path& out, BatchPage& page) {
  page.separator = page.page.header.ucLevel > 1;
  const auto picture = ReadPicture(out / page.file);
  if (!picture) return;
  page.ink = InkCoverage(*picture);
  page.blank = !page.separator && page.ink < kBlankInk;
  page.thumbnail = ThumbnailPng(*picture, kThumbnailWidth);
}

// Documents start at each separator sheet; dropped pages belong to none.
void SplitDocuments(Batch& batch, const ScanCommand& command) {
  int current = 0;
  for (BatchPage& page : batch.pages) {
    if (current == 0 || (page.separator && !batch.documents.back().pages.empty())) {
      batch.documents.push_back({++current, {}, {}});
    }
    page.dropped = (page.separator && command.dropSeparators) || (page.blank && command.dropBlank);
    if (page.dropped) continue;
    page.document = current;
    batch.documents.back().pages.push_back(page.number);
  }
  std::erase_if(batch.documents, [](const Document& document) { return document.pages.empty(); });
}

void WriteDocuments(Batch& batch, const std::filesystem::path& out) {
  for (Document& document : batch.documents) {
    std::vector<const ScannedPage*> pages;
    for (const int number : document.pages) {
      const BatchPage& page = batch.pages[static_cast<std::size_t>(number - 1)];
      if (!IsJpeg(page.page.header)) pages.push_back(&page.page);
    }
    if (pages.empty()) continue;
    char name[40];
    std::snprintf(name, sizeof name, "documents/document-%02d.tif", document.number);
    if (!WriteTiff(out / name, pages))
      throw std::runtime_error("cannot write " + std::string(name));
    document.file = name;
  }
}

void PrintSummary(const Batch& batch, const std::filesystem::path& out) {
  std::printf("\n%5s %4s %-24s %6s %5s %-6s %s\n", "page", "doc", "file", "level", "side", "comp",
              "barcodes");
  for (const BatchPage& page : batch.pages) {
    std::string barcodes;
    for (const std::string& text : BarcodesOf(page.page.header)) barcodes += text + " ";
    std::printf("%5d %4d %-24s %6d %5s %-6s %s%s%s\n", page.number, page.document,
                page.file.c_str(), page.page.header.ucLevel,
                page.page.header.ucSide == 0 ? "front" : "back",
                CompressionName(page.page.header.usCompression).c_str(), barcodes.c_str(),
                page.blank ? "(blank) " : "", page.dropped ? "(dropped)" : "");
  }
  std::printf("\n%zu pages in %zu documents, %.1f MB in %.1f s\n", batch.pages.size(),
              batch.documents.size(), batch.bytes / 1e6, batch.seconds);
  std::printf("pages:     %s\ndocuments: %s\nmanifest:  %s\nreport:    %s\n",
              (out / "pages").c_str(), (out / "documents").c_str(), (out / "manifest.json").c_str(),
              (out / "report.html").c_str());
}

}  // namespace

int RunScan(const ScanCommand& command) {
  if (command.profile) {
    setenv("ZAFT_PROFILE", std::filesystem::absolute(*command.profile).c_str(), 1);
  }
  std::filesystem::create_directories(command.out / "pages");
  std::filesystem::create_directories(command.out / "documents");
  const auto start = Clock::now();
  Batch batch;
  try {
    const auto record = LoadRecord(command.record);
    ScanSession session;
    session.BuildRecord(*record, command.options);
    session.Send(*record);
    batch.scanner = FieldText(record->szID, sizeof record->szID);
    while (auto scanned = session.NextPage()) {
      BatchPage page;
      page.number = static_cast<int>(batch.pages.size()) + 1;
      page.page = std::move(*scanned);
      batch.bytes += page.page.data.size();
      WritePageFile(command.out, page);
      batch.pages.push_back(std::move(page));
      if (!command.quiet) ShowProgress(batch, start);
    }
  } catch (const LibraryError& failure) {
    std::fprintf(stderr, "\nkovscan: %s\n", failure.what());
    return kLibraryFailure;
  }
  batch.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (batch.pages.empty()) {
    std::fprintf(stderr, "kovscan: the feeder is empty: no page was scanned\n");
    return kFeederEmpty;
  }
  for (BatchPage& page : batch.pages) LookAt(command.out, page);
  SplitDocuments(batch, command);
  WriteDocuments(batch, command.out);
  if (!WriteManifest(batch, command.out / "manifest.json") ||
      !WriteReport(batch, command.out / "report.html")) {
    throw std::runtime_error("cannot write the manifest or the report");
  }
  if (!command.quiet) PrintSummary(batch, command.out);
  return kSuccess;
}

}  // namespace kovscan
