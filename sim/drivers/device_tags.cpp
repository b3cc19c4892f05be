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

void StartingValues::Remember(const TagTable& table) {
  values_.clear();
  for (const Tag& tag : table.InOrder()) {
    if (!tag.setting.empty()) values_.emplace_back(tag.number, tag.value);
  }
}

void StartingValues::Restore(TagTable& table,
                             const std::function<void(Tag&, const TagValue&)>& assign) const {
  for (const auto& [number, value] : values_) {
    if (Tag* tag = table.Find(number); tag != nullptr && tag->value.index() == value.index()) {
      assign(*tag, value);
    }
  }
}

}  // namespace sim
