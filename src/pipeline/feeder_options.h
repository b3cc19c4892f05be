// What the loaded scanner says about how pages reach it.
#pragma once

#include <cstdint>

struct FeederOptions {
  std::int32_t* bshouldcheckfeeder = nullptr;  // ask for a page before each page
  std::int32_t* bpauseforeachpage = nullptr;   // the feeder stops after each page
  std::int32_t* bcandosingle = nullptr;
  std::int32_t* bcandocontinuous = nullptr;
  std::int32_t* bhasduplex = nullptr;
  std::int32_t* bsetforduplex = nullptr;
};

// Fills the flags asked for (null pointers are skipped); 0, or 1 when asking the scanner for
// a page failed (the error text is then stored).
std::int32_t GetFeederOptions(const FeederOptions& options);

// The host's feeder value (-1 flatbed, 0 or 1 feeder) and duplex value for the scan type.
void FeederParmValues(std::int16_t& feeder, std::int16_t& duplex);
