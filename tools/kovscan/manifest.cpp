#include "tools/kovscan/manifest.h"

#include <nlohmann/json.hpp>

#include "tools/kovscan/compressions.h"
#include "tools/kovscan/library_text.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

// A text the library handed over, as UTF-8 text under `key`; when its bytes are not UTF-8,
// they are kept as well, in hex under `key` + "Hex".
void PutText(nlohmann::json& object, const std::string& key, const std::string& bytes) {
  object[key] = Utf8Text(bytes);
  if (!IsUtf8(bytes)) object[key + "Hex"] = HexBytes(bytes);
}

// The barcode texts likewise: when any of them is not UTF-8, "barcodesHex" holds the bytes
// of every one, in the same order.
void PutBarcodes(nlohmann::json& object, const std::vector<std::string>& texts) {
  nlohmann::json& shown = object["barcodes"] = nlohmann::json::array();
  nlohmann::json hex = nlohmann::json::array();
  bool allUtf8 = true;
  for (const std::string& text : texts) {
    shown.push_back(Utf8Text(text));
    hex.push_back(HexBytes(text));
    allUtf8 = allUtf8 && IsUtf8(text);
  }
  if (!allUtf8) object["barcodesHex"] = hex;
}

// The header is packed: its fields are copied (unary +), never bound by reference.
nlohmann::json HeaderJson(const KOV_PAGEHEADER& header) {
  const PageLayout layout = LayoutOf(header);
  nlohmann::json json = {
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
  };
  PutText(json, "dataField1", FieldText(header.szDf1Data, sizeof header.szDf1Data));
  PutText(json, "dataField2", FieldText(header.szDf2Data, sizeof header.szDf2Data));
  PutBarcodes(json, BarcodesOf(header));
  return json;
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
    if (page.skew) {
      pages.back()["skew"] = {{"degrees", page.skew->degrees},
                              {"confidence", page.skew->confidence},
                              {"straightened", page.skew->straightened}};
    }
    if (page.turn) {
      pages.back()["turn"] = {{"degrees", page.turn->degrees},
                              {"confidence", page.turn->confidence},
                              {"finder", page.turn->finder},
                              {"turned", page.turn->Turned()}};
    }
  }
  nlohmann::json documents = nlohmann::json::array();
  for (const Document& document : batch.documents) {
    nlohmann::json entry = {{"document", document.number}, {"name", document.name},
                            {"barcode", nullptr},          {"file", document.file},
                            {"pdf", document.pdf},         {"pages", document.pages}};
    if (document.barcode) PutText(entry, "barcode", *document.barcode);
    documents.push_back(entry);
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
  PutText(manifest, "scanner", batch.scanner);
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
