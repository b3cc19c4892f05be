#include "tools/kovscan/manifest.h"

#include <nlohmann/json.hpp>

#include "tools/kovscan/compressions.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

// The header is packed: its fields are copied (unary +), never bound by reference.
nlohmann::json HeaderJson(const KOV_PAGEHEADER& header) {
  const PageLayout layout = LayoutOf(header);
  return {
      {"resolution",
       {{"x", {+header.ulXResNum, +header.ulXResDenom}},
        {"y", {+header.ulYResNum, +header.ulYResDenom}}}},
      {"width", layout.width},
      {"lines", +header.usLines},
      {"bytesPerLine", +header.usBytesPerLine},
      {"bitsPerDot", +header.usBpp},
      {"compression", CompressionName(+header.usCompression)},
      {"sequence", +header.lSeqNumber},
      {"level", +header.ucLevel},
      {"side", header.ucSide == 0 ? "front" : "back"},
      {"dataField1", FieldText(header.szDf1Data, sizeof header.szDf1Data)},
      {"dataField2", FieldText(header.szDf2Data, sizeof header.szDf2Data)},
      {"barcodes", BarcodesOf(header)},
  };
}

}  // namespace

void WriteManifest(const Batch& batch, const std::filesystem::path& path, WrittenFiles* written) {
  nlohmann::json pages = nlohmann::json::array();
  for (const BatchPage& page : batch.pages) {
    pages.push_back({{"page", page.number},
                     {"file", page.file},
                     {"document", page.document},
                     {"bytes", page.bytes},
                     {"separator", page.separator},
                     {"blank", page.blank},
                     {"dropped", page.dropped},
                     {"ink", page.ink},
                     {"marks", page.marks},
                     {"thumbnail", page.thumbnail},
                     {"header", HeaderJson(page.header)}});
  }
  nlohmann::json documents = nlohmann::json::array();
  for (const Document& document : batch.documents) {
    documents.push_back(
        {{"document", document.number},
         {"name", document.name},
         {"barcode", document.barcode ? nlohmann::json(*document.barcode) : nullptr},
         {"file", document.file},
         {"pdf", document.pdf},
         {"pages", document.pages}});
  }
  nlohmann::json manifest = {{"end",
                              {{"state", StateName(batch.end.state)},
                               {"reason", batch.end.reason},
                               {"exitCode", batch.end.exitCode}}},
                             {"scanner", batch.scanner},
                             {"pages", pages},
                             {"documents", documents},
                             {"seconds", batch.seconds},
                             {"bytes", batch.bytes}};
  if (batch.ocr) {
    manifest["ocr"] = {{"language", batch.ocr->language},
                       {"pagesRead", batch.ocr->read},
                       {"pagesFailed", batch.ocr->failed},
                       {"pagesLeftUnread", batch.ocr->abandoned},
                       {"longestQueueWait", batch.ocr->longestWait}};
  }
  WriteWholeText(
      path, [&manifest](std::ostream& file) { file << manifest.dump(2) << '\n'; }, written);
}

}  // namespace kovscan
