// The stand-in barcode-reading component, as tests see it. The library reaches it only
// through QelIpCreateInstance and the interface in framework/barcode.h.
//
// A new reader has one reference and BarcodeSettings::Defaults(); GetState and PutState carry
// its settings as their text (sim/barcode_settings.h). ZAFTPipePull plays the page of a
// source driver (the replay driver) and reads its barcodes with zxing-cpp; the count and the
// results answer for that page. It has no property sheet yet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// Readers created and not yet released to zero.
std::uint32_t LiveBarcodeReaders();

// The state text of the newest live reader; none while no reader lives.
std::optional<std::string> CurrentBarcodeState();

}  // namespace sim
