#include "tools/kovscan/scan_command.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <thread>

#include "tools/kovscan/batch.h"
#include "tools/kovscan/compressions.h"
#include "tools/kovscan/document_writer.h"
#include "tools/kovscan/library_text.h"
#include "tools/kovscan/manifest.h"
#include "tools/kovscan/ocr_pool.h"
#include "tools/kovscan/output_folder.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/page_ink.h"
#include "tools/kovscan/page_picture.h"
#include "tools/kovscan/page_straightening.h"
#include "tools/kovscan/platform.h"
#include "tools/kovscan/progress_line.h"
#include "tools/kovscan/record_file.h"
#include "tools/kovscan/report.h"
#include "tools/kovscan/whole_file.h"
#include "tools/kovscan/written_files.h"

namespace kovscan {

namespace {

constexpr std::uint32_t kThumbnailWidth = 160;
// Pages waiting for OCR: only their numbers and paths, so a long queue costs nothing and a
// fast scanner seldom waits for a slot.
constexpr std::size_t kOcrQueuePages = 256;

using Clock = std::chrono::steady_clock;

void WritePageFile(const std::filesystem::path& out, BatchPage& page,
                   std::span<const std::uint8_t> data, WrittenFiles& written) {
  char name[32];
  std::snprintf(name, sizeof name, "pages/page-%04d.%s", page.number,
                IsJpeg(page.header) ? "jpg" : "tif");
  if (IsJpeg(page.header)) {
    WriteWholeBytes(out / name, data, &written);
  } else {
    TiffFile file(out / name, &written);
    file.Add(page.header, data);
    file.Commit();
  }
  page.file = name;
}

// Its ink, blank or not (page_ink.h), and its thumbnail: a small file beside the report, which
// loads it when it comes into view, so a report of thousands of pages opens at once.
void LookAt(const std::filesystem::path& out, BatchPage& page, WrittenFiles& written) {
  const auto picture = ReadPicture(out / page.file);
  if (!picture) return;
  const PageLayout layout = LayoutOf(page.header);
  const PageInk ink = LookForInk(*picture, layout.xDpi, layout.yDpi);
  page.ink = ink.coverage;
  page.marks = ink.marks;
  page.blank = !page.separator && ink.blank;
  char name[40];
  std::snprintf(name, sizeof name, "thumbnails/page-%04d.jpg", page.number);
  WriteWholeBytes(out / name, ThumbnailJpeg(*picture, kThumbnailWidth), &written);
  page.thumbnail = name;
}

// The last page is a separator when its level says so, or when it is the back of a separator
// sheet's front, whatever the back holds.
void MarkSeparator(std::vector<BatchPage>& pages) {
  BatchPage& page = pages.back();
  const BatchPage* front = pages.size() > 1 ? &pages[pages.size() - 2] : nullptr;
  page.separatorBack = page.header.ucSide != 0 && front != nullptr && front->separator &&
                       front->header.ucSide == 0;
  page.separator = page.header.ucLevel > 1 || page.separatorBack;
}

// Shows the pages still being read until the last is done, unless a stop leaves them unread.
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
// asked for or a failure, which is returned: what came before it is kept, the open document
// put in place.
std::exception_ptr ScanPages(ScanSession& session, const ScanCommand& command, Batch& batch,
                             ProgressLine& progress, OcrPool* ocr, WrittenFiles& written) {
  const auto start = Clock::now();
  DocumentWriter documents(command.out, batch.documents, DocumentNames(command.nameByBarcode),
                           command.formats, ocr, written);
  // The flatbed holds one sheet: it would answer every request with another scan of it.
  const std::size_t limit = command.pages.value_or(command.options.flatbed ? 1 : SIZE_MAX);
  std::exception_ptr failure;
  batch.end.reason = "the feeder ran empty";
  try {
    while (!platform::StopRequested()) {
      if (batch.pages.size() == limit) {
        batch.end.reason = command.pages ? "--pages " + std::to_string(limit) + " reached"
                                         : "the flatbed's sheet was scanned";
        break;
      }
      std::optional<ScannedPage> scanned = session.NextPage();
      if (!scanned) break;
      BatchPage& page = batch.pages.emplace_back();
      page.number = static_cast<int>(batch.pages.size());
      page.header = scanned->header;
      page.bytes = scanned->data.size();
      WritePageFile(command.out, page, scanned->data, written);
      if (command.deskew) {
        page.skew = Straighten(command.out / page.file, page.header, scanned->data, written);
      }
      MarkSeparator(batch.pages);
      batch.bytes += page.bytes;
      LookAt(command.out, page, written);
      page.dropped =
          (page.separator && command.dropSeparators) || (page.blank && command.dropBlank);
      documents.Add(page, scanned->data);
      progress.Show(batch, ocr != nullptr ? std::optional(ocr->Pending()) : std::nullopt);
    }
  } catch (...) {
    failure = std::current_exception();
  }
  // A page whose file could not be written is not the batch's.
  if (failure && !batch.pages.empty() && batch.pages.back().file.empty()) batch.pages.pop_back();
  if (ocr != nullptr) {
    if (failure) ocr->Abandon();
    AwaitOcr(*ocr, batch, progress);
  }
  try {
    documents.Finish();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (ocr != nullptr) {
    if (command.ocrLanguage) batch.ocr = ocr->Totals();
    for (BatchPage& page : batch.pages) page.turn = ocr->TurnOf(page.number);
  }
  batch.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return failure;
}

void PrintSummary(const Batch& batch, const std::filesystem::path& out) {
  std::printf("%5s %4s %-24s %6s %5s %-6s %s\n", "page", "doc", "file", "level", "side", "comp",
              "barcodes");
  for (const BatchPage& page : batch.pages) {
    std::string barcodes;
    for (const std::string& text : BarcodesOf(page.header)) barcodes += Shown(text) + " ";
    char found[64] = "";
    if (const int turned = UprightTurn(page.turn)) {
      std::snprintf(found, sizeof found, "(turned %d) ", turned);
    } else if (page.skew && page.skew->straightened) {
      std::snprintf(found, sizeof found, "(straightened %.1f) ", page.skew->degrees);
    }
    std::printf("%5d %4d %-24s %6d %5s %-6s %s%s%s%s\n", page.number, page.document,
                page.file.c_str(), page.header.ucLevel, page.header.ucSide == 0 ? "front" : "back",
                CompressionName(page.header.usCompression).c_str(), barcodes.c_str(), found,
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

// How the batch ended; the reason it came to its end when it is complete.
void SetEnd(BatchEnd& end, const std::exception_ptr& failure) {
  if (failure) {
    const Outcome outcome = OutcomeOf(failure);
    end = {BatchEnd::State::Failed, outcome.message, outcome.code};
  } else if (platform::StopRequested()) {
    end = {BatchEnd::State::Stopped, "stopped by " + platform::StopReason(), kStopped};
  }
}

}  // namespace

int RunScan(const ScanCommand& command) {
  if (command.profile) platform::UseProfile(*command.profile);
  ProgressLine progress(command.quiet);
  try {
    if (command.formats.pdf && !PdfDocument::Available()) {
      throw ArgumentError("this build writes no PDF documents (--format tiff)");
    }
    if (command.deskew && !StraighteningAvailable()) {
      throw ArgumentError("this build does not straighten pages (leave out --deskew)");
    }
    if (command.ocrLanguage && !OcrReader::Available()) {
      throw ArgumentError("this build has no OCR (leave out --ocr)");
    }
    if (command.rotate && !OcrReader::Available()) {
      throw ArgumentError("this build does not find how pages are turned (leave out --rotate)");
    }
    if (command.ocrLanguage && !command.formats.pdf) {
      throw ArgumentError("--ocr lays its text over PDF pages: give --format pdf or both");
    }
    OutputFolder folder(command.out, {"pages", "documents", "thumbnails"}, command.overwrite);
    const auto record = LoadRecord(command.record);
    // The engines, the record and the scanner's answer to it before the folder is touched: a
    // language without data, a value the scanner refuses, a profile it cannot use are told
    // with nothing made.
    std::optional<OcrPool> ocr;
    if (command.ocrLanguage || command.rotate) {
      ocr.emplace(OcrPool::Settings{{command.ocrLanguage, command.rotate},
                                    OcrEngineCount(command.ocrThreads),
                                    kOcrQueuePages,
                                    command.out / kTextLayerFolder});
    }
    Batch batch;
    std::exception_ptr failure;
    {
      ScanSession session;
      session.BuildRecord(*record, command.options);
      session.Send(*record);
      batch.scanner = FieldText(record->szID, sizeof record->szID);
      WrittenFiles& written = folder.Make();
      if (ocr) ocr->ListLayers(written);
      platform::CatchInterrupt();
      failure = ScanPages(session, command, batch, progress, ocr ? &*ocr : nullptr, written);
      // A batch that ended early keeps what it has, described as for any other.
      if (!batch.pages.empty()) {
        SetEnd(batch.end, failure);
        try {
          WriteManifest(batch, command.out / "manifest.json", &written);
          WriteReport(batch, command.out / "report.html", &written);
        } catch (...) {
          // Told after what ended the batch.
          if (failure) Report(OutcomeOf(failure));
          throw;
        }
      }
    }
    if (batch.pages.empty()) {
      if (failure) std::rethrow_exception(failure);
      progress.End();
      std::fprintf(stderr, "kovscan: %s\n",
                   platform::StopRequested() ? "stopped before the first page"
                                             : "the feeder is empty: no page was scanned");
      return platform::StopRequested() ? kStopped : kFeederEmpty;
    }
    progress.End();
    if (!command.quiet) PrintSummary(batch, command.out);
    const std::string kept =
        std::to_string(batch.pages.size()) + " pages kept in " + command.out.string();
    if (batch.end.state == BatchEnd::State::Failed) {
      std::fprintf(stderr, "kovscan: %s\nkovscan: %s\n", batch.end.reason.c_str(), kept.c_str());
    } else if (batch.end.state == BatchEnd::State::Stopped) {
      std::fprintf(stderr, "kovscan: %s: %s\n", batch.end.reason.c_str(), kept.c_str());
    }
    return batch.end.exitCode;
  } catch (...) {
    progress.End();
    return Report(OutcomeOf(std::current_exception()));
  }
}

}  // namespace kovscan
