// Tags every driver over a real device has beside those its options give: its identity, pages
// uncompressed in one plane, and scan-ahead.
#pragma once

#include <string>

#include "sim/services/tag_table.h"

namespace sim {

void DefineDeviceTags(TagTable& table, const std::string& identity);

}  // namespace sim
