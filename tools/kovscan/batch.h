// A scanned batch as kovscan keeps it: the pages in scan order with their files, documents
// and what was seen on them; their data are on disk, not here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/kovscan/ocr_reader.h"
#include "tools/kovscan/page_straightening.h"
#include "tools/kovscan/scan_session.h"

namespace kovscan {

struct BatchPage {
  int number = 0;    // 1 up, in scan order
  int document = 0;  // 1 up; 0 for a separator sheet left out of the documents
  KOV_PAGEHEADER header{};
  std::uint64_t bytes = 0;  // as delivered
  std::string file;         // the page's own file, relative to the output folder
  bool separator = false;   // level above 1: a sheet that starts a document; and its back
  bool separatorBack = false;  // the back of a separator sheet, which belongs to it
  bool blank = false;
  bool dropped = false;   // left out on request (blank or separator)
  double ink = 0;         // the share of its dots that are ink
  std::size_t marks = 0;  // letter-sized groups of ink or larger
  std::string thumbnail;  // JPEG, relative to the output folder; empty when none
  std::optional<Skew> skew;  // with --deskew
  std::optional<PageTurn> turn;  // with --rotate auto, when the finder could tell
};

struct Document {
  int number = 0;
  std::string file;        // relative to the output folder; empty when no TIFF is written
  std::vector<int> pages;  // page numbers
  std::string pdf;         // its PDF, relative to the output folder; empty when none is written
  std::string name;        // its files' name without the extension
  std::optional<std::string> barcode;  // the barcode text it is named after
};

// What OCR made of a batch's pages.
struct OcrCounts {
  std::string language;
  std::size_t read = 0;
  std::size_t failed = 0;     // pages the engine could not read
  std::size_t abandoned = 0;  // pages left unread by a stop
  double longestWait = 0;     // seconds the scanning thread waited for a free slot in the queue
};

// How a batch ended, as its manifest and report tell it.
struct BatchEnd {
  enum class State { Complete, Stopped, Failed };
  State state = State::Complete;
  std::string reason;  // what ended it: the feeder ran empty, a signal, the failure's text
  int exitCode = 0;
};

struct Batch {
  std::string scanner;  // the record's identification
  std::vector<BatchPage> pages;
  std::vector<Document> documents;
  double seconds = 0;
  std::uint64_t bytes = 0;
  std::optional<OcrCounts> ocr;  // when its pages were read
  BatchEnd end;
};

// The barcode texts of a header, in table order.
std::vector<std::string> BarcodesOf(const KOV_PAGEHEADER& header);
// "complete", "stopped", "failed".
const char* StateName(BatchEnd::State state);
// A fixed field's text up to its zero or its end.
std::string FieldText(const char* field, std::size_t size);

}  // namespace kovscan
