// Tags every driver over a real device has beside those its options give: its identity, pages
// uncompressed in one plane, and scan-ahead.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim/services/driver_model/tag_table.h"

namespace sim {

void DefineDeviceTags(TagTable& table, const std::string& identity);

// What a fresh start goes back to: a device's settings as they stand once its load is done
// (its profile lines included).
class StartingValues {
 public:
  void Remember(const TagTable& table);
  // Gives each remembered setting back through `assign` (a set message's way, so linked tags
  // follow), in the order the tags were declared; a tag gone or of another type is skipped.
  void Restore(TagTable& table, const std::function<void(Tag&, const TagValue&)>& assign) const;

 private:
  std::vector<std::pair<std::uint16_t, TagValue>> values_;
};

}  // namespace sim
