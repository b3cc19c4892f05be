#include "tools/kovscan/record_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tools/kovscan/batch.h"
#include "tools/kovscan/compressions.h"
#include "tools/kovscan/library_text.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/record_settings.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

bool Ended(const char* field, std::size_t size) {
  return std::memchr(field, '\0', size) != nullptr;
}

// What the record holds that no record the library writes holds, one text a field; none for
// a fresh record, which the library builds anew whatever it holds.
std::vector<std::string> RecordFaults(const ParmRecord& record) {
  std::vector<std::string> faults;
  if (record.usSize == 0) return faults;
  if (record.usSize != PARM_RECORD_SIZE) {
    faults.push_back("its size field holds " + std::to_string(record.usSize) + ", not " +
                     std::to_string(PARM_RECORD_SIZE) + " (or 0 for a fresh record)");
  }
  // The driver's name runs to the field's end when it has no end of its own.
  const std::string driver = FieldText(record.szDriver, sizeof record.szDriver);
  if (!IsDriverName(driver)) {
    faults.push_back("its driver \"" + Shown(driver) +
                     "\" is no driver name (1 to 8 letters or digits)");
  }
  if (!Ended(record.szID, sizeof record.szID)) {
    faults.push_back("its scanner identification runs past the field's " +
                     std::to_string(sizeof record.szID) + " bytes without an end");
  }
  constexpr int kMostOldEntries = PARM_SETTINGS_SIZE / PARM_OLD_ENTRY_SIZE;
  if (record.sOldCount < 0 || record.sOldCount > kMostOldEntries) {
    faults.push_back("its count of settings in the older format is " +
                     std::to_string(record.sOldCount) + ", not 0 to " +
                     std::to_string(kMostOldEntries));
  } else if (record.sOldCount == 0 && (record.sSettingsLen >= PARM_SETTINGS_SIZE ||
                                       record.achSettings[record.sSettingsLen] != '\0')) {
    faults.push_back("its settings do not end where their length (" +
                     std::to_string(record.sSettingsLen) + " bytes) says");
  }
  if (record.lFeeder != 0 && record.lFeeder != 1) {
    faults.push_back("its feeder switch is " + std::to_string(record.lFeeder) +
                     ", not 0 (flatbed) or 1 (feeder)");
  }
  const std::pair<const char*, std::uint8_t> switches[] = {
      {"p2", record.p2}, {"p3", record.p3}, {"pt", record.pt}, {"bro", record.bro}};
  for (const auto& [name, value] : switches) {
    if (value > 1) {
      faults.push_back(std::string("its detection switch ") + name + " is " +
                       std::to_string(value) + ", not 0 or 1");
    }
  }
  if (!Ended(record.szBarcodeState, sizeof record.szBarcodeState)) {
    faults.push_back("its barcode reader's state runs past the field's " +
                     std::to_string(sizeof record.szBarcodeState) + " bytes without an end");
  }
  return faults;
}

// Describes the settings text, entry by entry.
void DescribeSettings(std::ostream& out, const ParmRecord& record) {
  for (const auto& [name, value] : SettingsOf(record)) {
    out << "  " << Shown(name) << " = " << Shown(value) << '\n';
  }
}

}  // namespace

bool IsDriverName(const std::string& name) {
  return !name.empty() && name.size() <= 8 &&
         std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c); });
}

std::unique_ptr<ParmRecord> LoadRecord(const std::optional<std::filesystem::path>& path) {
  auto record = std::make_unique<ParmRecord>();
  if (!path) return record;
  std::ifstream file(*path, std::ios::binary);
  file.read(reinterpret_cast<char*>(record.get()), sizeof(ParmRecord));
  if (file.gcount() != static_cast<std::streamsize>(sizeof(ParmRecord)) ||
      file.peek() != std::char_traits<char>::eof()) {
    throw ArgumentError(path->string() + " is not a saved parameter record");
  }
  const std::vector<std::string> faults = RecordFaults(*record);
  if (!faults.empty()) {
    std::string text = path->string() + " is not a saved parameter record: " + faults.front();
    for (std::size_t at = 1; at < faults.size(); ++at) text += "; " + faults[at];
    throw ArgumentError(text);
  }
  return record;
}

void SaveRecord(const ParmRecord& record, const std::filesystem::path& path) {
  WriteWholeBytes(path, std::span(reinterpret_cast<const std::uint8_t*>(&record), sizeof record));
}

std::string DescribeRecord(const ParmRecord& record) {
  std::ostringstream out;
  out << "size:        " << record.usSize << (record.usSize == 0 ? " (fresh)" : "") << '\n'
      << "driver:      " << Shown(FieldText(record.szDriver, sizeof record.szDriver)) << '\n'
      << "scanner:     " << Shown(FieldText(record.szID, sizeof record.szID)) << '\n'
      << "compression: " << CompressionOf(record) << '\n'
      << "source:      " << (record.lFeeder != 0 ? "feeder" : "flatbed") << '\n'
      << "detection:   Patch II " << +record.p2 << ", Patch III " << +record.p3 << ", Patch T "
      << +record.pt << ", barcodes " << +record.bro << '\n'
      << "barcodes:    " << Shown(FieldText(record.szBarcodeState, sizeof record.szBarcodeState))
      << (record.lDiscardState != 0 ? " (not applied)" : "") << '\n';
  if (record.sOldCount != 0) {
    out << "settings:    " << record.sOldCount << " entries in the older format\n";
  } else {
    out << "settings:\n";
    DescribeSettings(out, record);
  }
  return out.str();
}

}  // namespace kovscan
