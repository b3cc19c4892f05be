#include "tools/kovscan/scan_command.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>

#include "tools/kovscan/batch.h"
#include "tools/kovscan/document_writer.h"
#include "tools/kovscan/manifest.h"
#include "tools/kovscan/output_folder.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/page_picture.h"
#include "tools/kovscan/platform.h"
#include "tools/kovscan/record_file.h"
#include "tools/kovscan/report.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

// A back side or an empty sheet carries hardly any ink; text pages carry several percent.
constexpr double kBlankInk = 0.002;
constexpr std::uint32_t kThumbnailWidth = 160;

using Clock = std::chrono::steady_clock;

void ShowProgress(const Batch& batch, Clock::time_point start) {
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::fprintf(stderr, "\rpages %zu  %.0f pages/min  %.1f MB", batch.pages.size(),
               seconds > 0 ? static_cast<double>(batch.pages.size()) * 60.0 / seconds : 0.0,
               static_cast<double>(batch.bytes) / 1e6);
  std::fflush(stderr);
}

void WritePageFile(const std::filesystem::path& out, BatchPage& page,
                   std::span<const std::uint8_t> data) {
  char name[32];
  std::snprintf(name, sizeof name, "pages/page-%04d.%s", page.number,
                IsJpeg(page.header) ? "jpg" : "tif");
  page.file = name;
  if (IsJpeg(page.header)) {
    WriteWholeBytes(out / name, data);
    return;
  }
  TiffFile file(out / name);
  file.Add(page.header, data);
  file.Commit();
}

void LookAt(const std::filesystem::path& out, BatchPage& page, ThumbnailSpool& thumbnails) {
  page.separator = page.header.ucLevel > 1;
  const auto picture = ReadPicture(out / page.file);
  if (!picture) return;
  page.ink = InkCoverage(*picture);
  page.blank = !page.separator && page.ink < kBlankInk;
  page.thumbnail = thumbnails.Add(ThumbnailJpeg(*picture, kThumbnailWidth));
}

// Each page goes to its file and its document as it comes; the batch keeps only what the
// manifest and the report need of it.
void ScanPages(ScanSession& session, const ScanCommand& command, Batch& batch) {
  const auto start = Clock::now();
  DocumentWriter documents(command.out, batch.documents, DocumentNames(command.nameByBarcode));
  // The flatbed holds one sheet: it would answer every request with another scan of it.
  const std::size_t limit = command.pages.value_or(command.options.flatbed ? 1 : SIZE_MAX);
  while (batch.pages.size() < limit) {
    auto scanned = session.NextPage();
    if (!scanned) break;
    BatchPage page;
    page.number = static_cast<int>(batch.pages.size()) + 1;
    page.header = scanned->header;
    page.bytes = scanned->data.size();
    batch.bytes += page.bytes;
    WritePageFile(command.out, page, scanned->data);
    LookAt(command.out, page, batch.thumbnails);
    page.dropped = (page.separator && command.dropSeparators) || (page.blank && command.dropBlank);
    documents.Add(page, scanned->data);
    batch.pages.push_back(std::move(page));
    if (!command.quiet) ShowProgress(batch, start);
  }
  documents.Finish();
  batch.seconds = std::chrono::duration<double>(Clock::now() - start).count();
}

void PrintSummary(const Batch& batch, const std::filesystem::path& out) {
  std::printf("\n%5s %4s %-24s %6s %5s %-6s %s\n", "page", "doc", "file", "level", "side", "comp",
              "barcodes");
  for (const BatchPage& page : batch.pages) {
    std::string barcodes;
    for (const std::string& text : BarcodesOf(page.header)) barcodes += text + " ";
    std::printf("%5d %4d %-24s %6d %5s %-6s %s%s%s\n", page.number, page.document,
                page.file.c_str(), page.header.ucLevel, page.header.ucSide == 0 ? "front" : "back",
                CompressionName(page.header.usCompression).c_str(), barcodes.c_str(),
                page.blank ? "(blank) " : "", page.dropped ? "(dropped)" : "");
  }
  std::printf("\n%zu pages in %zu documents, %.1f MB in %.1f s\n", batch.pages.size(),
              batch.documents.size(), static_cast<double>(batch.bytes) / 1e6, batch.seconds);
  std::printf("pages:     %s\ndocuments: %s\nmanifest:  %s\nreport:    %s\n",
              (out / "pages").string().c_str(), (out / "documents").string().c_str(),
              (out / "manifest.json").string().c_str(), (out / "report.html").string().c_str());
}

// The message on a line of its own, past the progress line.
int Failed(const ScanCommand& command, const std::exception& failure, int code) {
  std::fprintf(stderr, "%skovscan: %s\n", command.quiet ? "" : "\n", failure.what());
  return code;
}

}  // namespace

int RunScan(const ScanCommand& command) {
  if (command.profile) platform::UseProfile(*command.profile);
  try {
    PrepareOutputFolder(command.out, command.overwrite);
    Batch batch;
    {
      const auto record = LoadRecord(command.record);
      ScanSession session;
      session.BuildRecord(*record, command.options);
      session.Send(*record);
      batch.scanner = FieldText(record->szID, sizeof record->szID);
      ScanPages(session, command, batch);
    }
    if (batch.pages.empty()) {
      std::fprintf(stderr, "kovscan: the feeder is empty: no page was scanned\n");
      return kFeederEmpty;
    }
    WriteManifest(batch, command.out / "manifest.json");
    WriteReport(batch, command.out / "report.html");
    if (!command.quiet) PrintSummary(batch, command.out);
    return kSuccess;
  } catch (const LibraryError& failure) {
    return Failed(command, failure, kLibraryFailure);
  } catch (const FileError& failure) {
    return Failed(command, failure, kFileFailure);
  } catch (const std::invalid_argument& refusal) {
    return Failed(command, refusal, kBadArguments);
  }
}

}  // namespace kovscan
