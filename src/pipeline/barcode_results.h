// The page's barcode table: texts the scanner reports during the run, then the barcode
// component's results, five entries at most, copied into the page header.
#pragma once

#include "framework/records.h"

void ClearBarcodeTable();
// Message 0x631: the scanner's texts, read from tag 1735 through the storage filter.
void TakeScannerBarcodes(const DriverRecord& storage);
// After the component read the page: its results fill the entries left.
void ReadBarcodeResults();
