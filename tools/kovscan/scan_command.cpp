#include "tools/kovscan/scan_command.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <thread>

#include "tools/kovscan/batch.h"
#include "tools/kovscan/document_writer.h"
#include "tools/kovscan/library_text.h"
#include "tools/kovscan/manifest.h"
#include "tools/kovscan/ocr_pool.h"
#include "tools/kovscan/output_folder.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/page_picture.h"
#include "tools/kovscan/platform.h"
#include "tools/kovscan/progress_line.h"
#include "tools/kovscan/record_file.h"
#include "tools/kovscan/report.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

// A back side or an empty sheet carries hardly any ink; text pages carry several percent.
constexpr double kBlankInk = 0.002;
constexpr std::uint32_t kThumbnailWidth = 160;
// Pages waiting for OCR: only their numbers and paths, so a long queue costs nothing and a
// fast scanner seldom waits for a slot.
constexpr std::size_t kOcrQueuePages = 256;

using Clock = std::chrono::steady_clock;

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

// Its ink, blank or not, and its thumbnail: a small file beside the report, which loads it when
// it comes into view, so a report of thousands of pages opens at once.
void LookAt(const std::filesystem::path& out, BatchPage& page) {
  page.separator = page.header.ucLevel > 1;
  const auto picture = ReadPicture(out / page.file);
  if (!picture) return;
  page.ink = InkCoverage(*picture);
  page.blank = !page.separator && page.ink < kBlankInk;
  char name[40];
  std::snprintf(name, sizeof name, "thumbnails/page-%04d.jpg", page.number);
  WriteWholeBytes(out / name, ThumbnailJpeg(*picture, kThumbnailWidth));
  page.thumbnail = name;
}

// The pages still being read shown until the last is, unless a stop leaves them unread.
void AwaitOcr(OcrPool& ocr, const Batch& batch, ProgressLine& progress) {
  while (ocr.Pending() > 0) {
    if (platform::StopRequested()) {
      ocr.Abandon();
      return;
    }
    progress.Show(batch, ocr.Pending());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

// Each page goes to its file and its document as it comes; the batch keeps only what the
// manifest and the report need of it. The pages come until the feeder is empty, the cap, a stop
// asked for or the library's failure, which is returned: what came before it is kept.
std::optional<LibraryError> ScanPages(ScanSession& session, const ScanCommand& command,
                                      Batch& batch, ProgressLine& progress, OcrPool* ocr) {
  const auto start = Clock::now();
  DocumentWriter documents(command.out, batch.documents, DocumentNames(command.nameByBarcode),
                           command.formats, ocr);
  // The flatbed holds one sheet: it would answer every request with another scan of it.
  const std::size_t limit = command.pages.value_or(command.options.flatbed ? 1 : SIZE_MAX);
  std::optional<LibraryError> failure;
  while (batch.pages.size() < limit && !platform::StopRequested()) {
    std::optional<ScannedPage> scanned;
    try {
      scanned = session.NextPage();
    } catch (const LibraryError& error) {
      failure = error;
      break;
    }
    if (!scanned) break;
    BatchPage page;
    page.number = static_cast<int>(batch.pages.size()) + 1;
    page.header = scanned->header;
    page.bytes = scanned->data.size();
    batch.bytes += page.bytes;
    WritePageFile(command.out, page, scanned->data);
    LookAt(command.out, page);
    page.dropped = (page.separator && command.dropSeparators) || (page.blank && command.dropBlank);
    documents.Add(page, scanned->data);
    batch.pages.push_back(std::move(page));
    progress.Show(batch, ocr != nullptr ? std::optional(ocr->Pending()) : std::nullopt);
  }
  if (ocr != nullptr) AwaitOcr(*ocr, batch, progress);
  documents.Finish();
  if (ocr != nullptr) batch.ocr = ocr->Totals();
  batch.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return failure;
}

void PrintSummary(const Batch& batch, const std::filesystem::path& out) {
  std::printf("%5s %4s %-24s %6s %5s %-6s %s\n", "page", "doc", "file", "level", "side", "comp",
              "barcodes");
  for (const BatchPage& page : batch.pages) {
    std::string barcodes;
    for (const std::string& text : BarcodesOf(page.header)) barcodes += Shown(text) + " ";
    std::printf("%5d %4d %-24s %6d %5s %-6s %s%s%s\n", page.number, page.document,
                page.file.c_str(), page.header.ucLevel, page.header.ucSide == 0 ? "front" : "back",
                CompressionName(page.header.usCompression).c_str(), barcodes.c_str(),
                page.blank ? "(blank) " : "", page.dropped ? "(dropped)" : "");
  }
  std::printf("\n%zu pages in %zu documents, %.1f MB in %.1f s\n", batch.pages.size(),
              batch.documents.size(), static_cast<double>(batch.bytes) / 1e6, batch.seconds);
  if (batch.ocr) {
    std::printf(
        "OCR (%s): %zu pages read, %zu could not be read, %zu left unread; the scan "
        "waited at most %.1f s for the OCR queue\n",
        batch.ocr->language.c_str(), batch.ocr->read, batch.ocr->failed, batch.ocr->abandoned,
        batch.ocr->longestWait);
  }
  std::printf("pages:     %s\ndocuments: %s\nmanifest:  %s\nreport:    %s\n",
              (out / "pages").string().c_str(), (out / "documents").string().c_str(),
              (out / "manifest.json").string().c_str(), (out / "report.html").string().c_str());
}

// The message on a line of its own, past the progress line.
int Failed(ProgressLine& progress, const std::exception& failure, int code) {
  progress.End();
  std::fprintf(stderr, "kovscan: %s\n", failure.what());
  return code;
}

}  // namespace

int RunScan(const ScanCommand& command) {
  if (command.profile) platform::UseProfile(*command.profile);
  ProgressLine progress(command.quiet);
  try {
    if (command.formats.pdf && !PdfDocument::Available()) {
      throw std::invalid_argument("this build writes no PDF documents (--format tiff)");
    }
    if (command.ocrLanguage && !OcrReader::Available()) {
      throw std::invalid_argument("this build has no OCR (leave out --ocr)");
    }
    if (command.ocrLanguage && !command.formats.pdf) {
      throw std::invalid_argument("--ocr lays its text over PDF pages: give --format pdf or both");
    }
    // The engines first: a language without data is refused before the folder is touched.
    std::optional<OcrPool> ocr;
    if (command.ocrLanguage) {
      ocr.emplace(OcrPool::Settings{*command.ocrLanguage, OcrEngineCount(command.ocrThreads),
                                    kOcrQueuePages, command.out / kTextLayerFolder});
    }
    PrepareOutputFolder(command.out, command.overwrite);
    Batch batch;
    std::optional<LibraryError> failure;
    {
      const auto record = LoadRecord(command.record);
      ScanSession session;
      session.BuildRecord(*record, command.options);
      session.Send(*record);
      batch.scanner = FieldText(record->szID, sizeof record->szID);
      platform::CatchInterrupt();
      failure = ScanPages(session, command, batch, progress, ocr ? &*ocr : nullptr);
    }
    if (batch.pages.empty()) {
      if (failure) throw *failure;
      progress.End();
      std::fprintf(stderr, "kovscan: %s\n",
                   platform::StopRequested() ? "stopped before the first page"
                                             : "the feeder is empty: no page was scanned");
      return platform::StopRequested() ? kStopped : kFeederEmpty;
    }
    // A batch that ended early keeps what it has, described as for any other.
    WriteManifest(batch, command.out / "manifest.json");
    WriteReport(batch, command.out / "report.html");
    progress.End();
    if (!command.quiet) PrintSummary(batch, command.out);
    if (failure) {
      std::fprintf(stderr, "kovscan: %zu pages kept in %s\n", batch.pages.size(),
                   command.out.string().c_str());
      return Failed(progress, *failure, kLibraryFailure);
    }
    if (platform::StopRequested()) {
      std::fprintf(stderr, "kovscan: stopped: %zu pages kept in %s\n", batch.pages.size(),
                   command.out.string().c_str());
      return kStopped;
    }
    return kSuccess;
  } catch (const LibraryError& failure) {
    return Failed(progress, failure, kLibraryFailure);
  } catch (const FileError& failure) {
    return Failed(progress, failure, kFileFailure);
  } catch (const std::invalid_argument& refusal) {
    return Failed(progress, refusal, kBadArguments);
  }
}

}  // namespace kovscan
