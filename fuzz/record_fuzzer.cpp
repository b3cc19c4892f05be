// A host's record, whatever it holds, checked and applied to the loaded scanner: the
// verification, the driver's restore through the settings-text callbacks (both formats),
// the single-tag texts and the barcode component's state text.
//
// Input: the record's fields before the settings area, then those after it, then the
// settings area; what the input does not reach stays zero.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "framework/tags.h"
#include "fuzz_scanner.h"
#include "kovzaft2.h"
#include "parms/settings_callbacks.h"
#include "parms/tag_conversion.h"
#include "parms/verify_parms.h"

namespace {

constexpr std::size_t kHead = offsetof(ParmRecord, achSettings);
constexpr std::size_t kTail = sizeof(ParmRecord) - offsetof(ParmRecord, sSettingsLen);

void Fill(ParmRecord& record, const std::uint8_t* data, std::size_t size) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(&record);
  auto take = [&](std::size_t offset, std::size_t count) {
    const std::size_t n = std::min(count, size);
    std::memcpy(bytes + offset, data, n);
    data += n;
    size -= n;
  };
  take(0, kHead);
  take(offsetof(ParmRecord, sSettingsLen), kTail);
  take(offsetof(ParmRecord, achSettings), PARM_SETTINGS_SIZE);
}

// The record as the scanner starts, put back after each input so inputs do not depend on
// the ones before.
ParmRecord& Baseline() {
  static const auto baseline = [] {
    auto record = std::make_unique<ParmRecord>();
    tagstoparm(*record);
    return record;
  }();
  return *baseline;
}

// Calls the restore callbacks as a driver does, with a name and a buffer size from the record.
void RestoreByHand(ParmRecord& record) {
  const std::string name(record.szID, strnlen(record.szID, sizeof record.szID));
  const auto size = static_cast<std::int32_t>(static_cast<std::uint8_t>(record.abReserved[0]));
  auto buffer = std::make_unique<char[]>(static_cast<std::size_t>(size) + 1);
  RestoreCallback(0, name.c_str(), "default", buffer.get(), size, &record);
  OldRestoreCallback(0, name.c_str(), "default", buffer.get(), size, &record);
  char room[kOldNameSize];
  ShortenOldName(name, room);
  for (std::uint16_t tag : {kTagCompression, kTagScanAhead, kTagXResolution, kTagScannerId}) {
    RestoreTagText(record, record.sOldCount != 0 ? OldRestoreCallback : RestoreCallback, tag);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  UseFuzzProfile();
  LoadFuzzScanner();
  Baseline();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto record = std::make_unique<ParmRecord>();
  Fill(*record, data, size);
  VerifyParms(*record);
  RestoreByHand(*record);
  parmtotags(Baseline());
  return 0;
}
