#include "tools/kovscan/record_file.h"

#include <fstream>
#include <sstream>

#include "tools/kovscan/batch.h"
#include "tools/kovscan/compressions.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

// Describes the settings text: name and value, each ended by a zero, until an empty name; it
// is read within the area whatever the file holds.
void DescribeSettings(std::ostream& out, const ParmRecord& record) {
  const std::string_view area(record.achSettings, sizeof record.achSettings);
  std::size_t at = 0;
  while (at < area.size() && area[at] != '\0') {
    const std::size_t nameEnd = std::min(area.find('\0', at), area.size());
    const std::string_view name = area.substr(at, nameEnd - at);
    const std::size_t valueAt = std::min(nameEnd + 1, area.size());
    const std::size_t valueEnd = std::min(area.find('\0', valueAt), area.size());
    out << "  " << name << " = " << area.substr(valueAt, valueEnd - valueAt) << '\n';
    at = valueEnd + 1;
  }
}

}  // namespace

std::unique_ptr<ParmRecord> LoadRecord(const std::optional<std::filesystem::path>& path) {
  auto record = std::make_unique<ParmRecord>();
  if (!path) return record;
  std::ifstream file(*path, std::ios::binary);
  file.read(reinterpret_cast<char*>(record.get()), sizeof(ParmRecord));
  if (file.gcount() != static_cast<std::streamsize>(sizeof(ParmRecord)) ||
      file.peek() != std::char_traits<char>::eof()) {
    throw ArgumentError(path->string() + " is not a saved parameter record");
  }
  return record;
}

void SaveRecord(const ParmRecord& record, const std::filesystem::path& path) {
  WriteWholeBytes(path, std::span(reinterpret_cast<const std::uint8_t*>(&record), sizeof record));
}

std::string DescribeRecord(const ParmRecord& record) {
  std::ostringstream out;
  out << "size:        " << record.usSize << (record.usSize == 0 ? " (fresh)" : "") << '\n'
      << "driver:      " << FieldText(record.szDriver, sizeof record.szDriver) << '\n'
      << "scanner:     " << FieldText(record.szID, sizeof record.szID) << '\n'
      << "compression: " << CompressionOf(record) << '\n'
      << "source:      " << (record.lFeeder != 0 ? "feeder" : "flatbed") << '\n'
      << "detection:   Patch II " << +record.p2 << ", Patch III " << +record.p3 << ", Patch T "
      << +record.pt << ", barcodes " << +record.bro << '\n'
      << "barcodes:    " << FieldText(record.szBarcodeState, sizeof record.szBarcodeState)
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
