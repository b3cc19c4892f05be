// A SANE device's options as the framework's tags, both ways: resolution, mode and depth,
// source and scan area become tags as the options stand (Sync); a tag a set message changed
// goes back to the options it stands for (Apply).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/drivers/sane_options.h"
#include "sim/services/driver_model/tag_table.h"

namespace sim {

// The scan type (tag 1300) a SANE source stands for, by the names backends give them: 4 duplex
// ("ADF Duplex", "Duplex", "Automatic Document Feeder(left aligned,Duplex)"), 3 one side through
// the feeder ("ADF", "ADF Front", "ADF Back", "Automatic Document Feeder"), 2 flatbed ("Flatbed",
// "FB", "Platen", "Document Table"), 0 anything else (a film unit, say).
std::int32_t ScanTypeOf(std::string_view source);

class SaneTags {
 public:
  // The table is the driver's; both outlive this.
  SaneTags(SaneOptions& options, TagTable& table) : options_(options), table_(table) {}

  // Brings the tags to where the device's options now stand. Values are written directly: a
  // set message reaches the device through Apply, these only follow it.
  void Sync();
  // Brings the tags to where the options stand, outside any message.
  void ReshapeNow();
  // Tags the device's options gained or lost during the last set.
  void Reshape();
  // Gives a set message's new value to the device.
  void Apply(const Tag& tag);
  // The device's resolution; 300 when it has none.
  double Dpi() const;

 private:
  // One direction of the scan area: the SANE options of its start and end, and the tags of
  // its offset and size.
  struct Axis {
    const char* start;
    const char* end;
    std::uint16_t offsetTag;
    std::uint16_t sizeTag;
    const char* offsetSetting;
    const char* sizeSetting;
  };

  // Updates the tag in its place. Declaring a tag or letting one go moves the others, so it
  // waits while a message may hold one of them (a set's Apply) for the next message.
  void Put(std::uint16_t number, bool present, TiffType type, TagValue value,
           std::vector<TagValue> choices, const char* setting);
  std::int32_t Number(std::uint16_t number) const;
  // Geometry in the option's unit and in dots at the current resolution.
  std::int32_t ToDots(SANE_Int option, double value) const;
  double FromDots(SANE_Int option, double dots) const;

  void SyncResolution();
  void SyncDepth();
  void SyncSource();
  void SyncArea();
  void ApplyDepth(std::int32_t samples, std::int32_t bits);
  void ApplySource(std::int32_t type);
  void ApplyArea(const Axis& axis);

  static const Axis kAxes[2];

  SaneOptions& options_;
  TagTable& table_;
  bool reshapeDue_ = false;
  bool mayReshape_ = false;
};

}  // namespace sim
