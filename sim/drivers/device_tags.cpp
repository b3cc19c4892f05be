#include "sim/drivers/device_tags.h"

#include "framework/tags.h"

namespace sim {

void DefineDeviceTags(TagTable& table, const std::string& identity) {
  table.Define(kTagScannerId, TiffType::Ascii, identity);
  table.Define(kTagCompression, TiffType::Short, 1, {1});
  table.Define(kTagT4Options, TiffType::Long, 0, {0, 1});
  table.Define(kTagPlanarConfiguration, TiffType::Short, 1);
  table.Define(kTagScanAhead, TiffType::Short, 1, {0, 1}, "ScanAhead");
}

}  // namespace sim
