// Conversion pipes: loaded from the text QelMakePipe writes, attached to an output driver,
// and run as a stage of a chain that turns the page into the wanted format.
#pragma once

#include <cstdint>
#include <memory>

#include "sim/services/driver_model/page_flow.h"

namespace sim {

// The stage of a loaded pipe, sending to the output it is attached to; null when the pipe
// is not loaded.
std::unique_ptr<Stage> PipeStage(std::uint64_t pipe);

// Pipes loaded and not yet unloaded.
std::size_t LivePipeCount();

}  // namespace sim
