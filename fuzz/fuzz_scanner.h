// The process-wide set-up the in-process fuzz targets share: a profile of their own in a
// fresh folder (tracing off, so a long run does not grow a log) and the virtual scanner.
#pragma once

#include <string>

// Writes a profile with the virtual scanner VSCAN (the keys given added to its section)
// and points the framework at it. Once per process.
void UseFuzzProfile(const std::string& extraScannerKeys = "");

// Loads VSCAN with its barcode component, as SCANOPEN does; aborts the run when it cannot,
// since every input would then test nothing.
void LoadFuzzScanner();
