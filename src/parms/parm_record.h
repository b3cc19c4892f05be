// Small routines over the host's parameter record and the loaded driver's choices.
#pragma once

#include <cstdint>

#include "kovzaft2.h"

// Bits per dot recorded in the settings text ("SamplesPerPixel" x "BitsPerSample"); 1 when
// the text does not tell.
std::int32_t getbpp(const ParmRecord& record);

// The host's compression code for a TIFF Compression value and its T4 options.
std::uint16_t HostCompressionCode(std::int32_t compression, std::int32_t t4Options);

// Sets an integer tag of the loaded scanner driver only to a value it lists among the tag's
// choices: 0 set, 1 not allowed (or the choices cannot be read).
std::int32_t SetTagIfAllowed(std::uint16_t tag, std::int32_t value);

// The trace line naming a parameter identifier 1 to 6 ("   RES queried" ...), and 0 as
// "   VERSION queried" for a query; null for others.
const char* ParmIdentifierLine(std::uint16_t usParm, bool query);

// The three trace lines that describe a record.
void TraceRecord(const ParmRecord& record);

// Worker command 12: the colour table for the record's bit depth.
void FillColourTable();
