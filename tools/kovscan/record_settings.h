// A record's settings text (name and value, each ended by a zero, until an empty name), read and
// changed entry by entry, as the library itself would write it.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kovzaft2.h"

namespace kovscan {

// The setting that carries the scan type (tag 1300) to the scanner.
inline constexpr const char* kScanTypeSetting = "ScanType";

using Settings = std::vector<std::pair<std::string, std::string>>;

// The entries, in order, within the length the record gives; none for the older format.
Settings SettingsOf(const ParmRecord& record);
// The value of the named entry; none when the record has no such entry or keeps its settings
// in the older format.
std::optional<std::string> SettingOf(const ParmRecord& record, const std::string& name);
// Gives the named entry that value, in its place. False, the record unchanged, when the record
// has no such entry or keeps its settings in the older format.
bool ReplaceSetting(ParmRecord& record, const std::string& name, const std::string& value);

}  // namespace kovscan
