#include "pipeline/barcode_results.h"

#include <array>
#include <cstring>
#include <string_view>

#include "core/control_block.h"
#include "core/trace_log.h"
#include "framework/barcode.h"
#include "framework/driver_calls.h"
#include "kovzaft2.h"

namespace {

constexpr std::size_t kScannerTextSize = 128;
constexpr std::size_t kMaxText = BARCODE_TEXT_SIZE - 1;

bool TableFull() {
  return SCB.sBarcodeCount >= BARCODE_ENTRY_COUNT;
}

KOV_BARCODE& NextEntry() {
  KOV_BARCODE& entry = SCB.BarcodeTable[static_cast<std::size_t>(SCB.sBarcodeCount)];
  entry.usLength = sizeof(KOV_BARCODE);
  entry.usNumber = static_cast<std::uint16_t>(SCB.sBarcodeCount + 1);
  return entry;
}

// Writes the text (at most 20 characters) into the next entry and counts it.
void AddEntry(std::string_view text) {
  KOV_BARCODE& entry = NextEntry();
  text = text.substr(0, kMaxText);
  std::memcpy(entry.szText, text.data(), text.size());
  entry.szText[text.size()] = '\0';
  TraceLogStr("Found barcode: %s", entry.szText);
  TraceLogInt("barcode #%d for this page", entry.usNumber);
  ++SCB.sBarcodeCount;
}

}  // namespace

void ClearBarcodeTable() {
  SCB.sBarcodeCount = 0;
  SCB.BarcodeTable = {};
}

void TakeScannerBarcodes(const DriverRecord& storage) {
  std::array<char, kScannerTextSize> buffer{};
  DrvGetStringTag(storage, kTagScannerBarcodes, buffer);
  buffer.back() = '\0';
  std::string_view text(buffer.data());
  // Entries end at ";"; a ";" at the very end starts none.
  while (!text.empty() && !TableFull()) {
    const auto end = text.find(';');
    AddEntry(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

void ReadBarcodeResults() {
  TraceLog("   Interpreting barcode results for image header");
  std::int32_t found = 0;
  if (SCB.pBarcode->get_barcoderesultcount(&found) < 0) {
    TraceLog("   get_barcoderesultcount failed");
    return;
  }
  TraceLogInt("   Number of barcodes found: %d", found);
  found = std::min<std::int32_t>(found, BARCODE_ENTRY_COUNT);
  for (std::int32_t k = 1; k <= found && !TableFull(); ++k) {
    IBarcodeResult* result = nullptr;
    if (SCB.pBarcode->get_Result(k, &result) < 0 || result == nullptr) return;
    platform::ComString text = nullptr;
    char ansi[256] = {};
    const bool got = result->get_Text(&text) >= 0;
    const std::size_t length = got ? platform::ComStringToAnsi(text, ansi, sizeof ansi) : 0;
    platform::FreeComString(text);
    result->Release();
    if (length + 1 > BARCODE_TEXT_SIZE) {
      // Not counted: its entry keeps length and number, the text stays empty.
      NextEntry();
      TraceLogStr("Found barcode: %s", ansi);
      TraceLog("Too big for ULRA - max 20 characters");
      continue;
    }
    AddEntry(std::string_view(ansi, length));
  }
}
