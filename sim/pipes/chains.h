// Pages running down driver chains. A chain is built with set-output messages and
// QelPipeAttach; QelRunZone asks the chain's source for one page, which it sends as the
// page protocol's messages to the first stage; each stage passes them on to the next.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/records.h"
#include "sim/services/driver_model/page_flow.h"

namespace sim {

// The chain from an output on; null when there is none.
std::unique_ptr<Stage> ChainFrom(const Output& output);

// Runs one page from the source driver into `out`, ends the page there and tells the source
// whether it arrived. 0, or the first failure; error::kDriverNotFound when the source is not
// loaded, kMessageNotSupported when it delivers no pages.
std::int32_t RunSource(const DriverRecord& source, Stage& out);

}  // namespace sim
