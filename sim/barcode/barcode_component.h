// The stand-in barcode-reading component, as tests see it. The library reaches it only
// through QelIpCreateInstance and the interface in framework/barcode.h.
//
// A new reader has one reference and BarcodeSettings::Defaults(); GetState and PutState carry
// its settings as their text (sim/barcode/barcode_settings.h), and PutState refuses kinds the
// build's library does not read (kKindNotRead, its text naming them). ZAFTPipePull plays the
// page of a source driver (the replay driver) and reads its barcodes with that library
// (sim/barcode/barcode_reader.h); the count and the results answer for that page.
// ShowPropertySheet edits the settings in the component's own dialog.
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
