// The texts of the return codes, as SCANLASTERROR hands them out.
#pragma once

#include <cstddef>
#include <cstdint>

// The code's name, or null for a value without one.
const char* ReturnCodeName(std::uint16_t rc);
// Writes the code's text into buffer, cut to fit: its fixed text, the stored framework text
// for RC_SCAN_ZAFT_ERROR, else "Unknown Error == 0x<hex>".
void ReturnCodeText(std::uint16_t rc, char* buffer, std::size_t bufferSize);
