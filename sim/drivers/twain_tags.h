// A TWAIN source's capabilities as the framework's tags, both ways: resolution, pixel type and
// bit depth, the frame and the feeder become tags as the source now has them (Sync); a tag a
// set message changed goes back to the capabilities it stands for (Apply). A capability the
// source does not offer gives no tag.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/drivers/twain_session.h"
#include "sim/services/driver_model/tag_table.h"

namespace sim {

class TwainTags {
 public:
  // The session and the table outlive this. Units are set to inches where the source allows.
  TwainTags(TwainSession& session, TagTable& table);

  void Sync();
  void Apply(const Tag& tag);
  // The source's current resolution across; 300 when it has none.
  double Dpi() const { return dpi_; }

 private:
  // Updates the tag, or declares it the first time.
  void Put(std::uint16_t number, TiffType type, TagValue value, std::vector<TagValue> choices,
           const char* setting);
  std::int32_t Number(std::uint16_t number) const;
  // Inches of the source's units.
  double Inches(double value) const;
  double Units(double inches) const;

  void SyncResolution();
  void SyncPixels();
  void SyncFrame();
  void SyncFeeder();
  void ApplyPixels();
  void ApplyFrame();
  void ApplyScanType();

  TwainSession& session_;
  TagTable& table_;
  std::uint16_t units_ = twain::kUnInches;
  double dpi_ = 300;
  double dpiDown_ = 300;
};

}  // namespace sim
