// Loading the scanner driver with everything a page needs, reference-counted.
#pragma once

#include <cstdint>

// 0 when the driver is loaded (or was already, under the same name); -1 otherwise, with the
// reason left as the stored code (StoreLastRc). A failed load leaves nothing loaded and the count
// as it was.
std::int32_t LoadDriver(const char* name);
// Lowers the count; at zero unloads the scanner, the barcode component and the image drivers.
void UnloadDriver();
// Worker command 3.
void UnloadScannerDriver();
