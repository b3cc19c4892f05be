// Small routines over the host's parameter record and the loaded driver's choices.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/command.h"
#include "kovzaft2.h"

// Bits per dot recorded in the settings text ("SamplesPerPixel" x "BitsPerSample"); 1 when
// the text does not tell, 0 when its values make no depth a 16-bit field can carry.
std::int32_t getbpp(const ParmRecord& record);

// Whether the loaded scanner driver lists value among the tag's choices (not when it does
// not answer the count).
bool TagHasChoice(std::uint16_t tag, std::int32_t value);
// Sets an integer tag of the loaded scanner driver only to a value it lists among the tag's
// choices: 0 set, 1 not allowed (or the choices cannot be read).
std::int32_t SetTagIfAllowed(std::uint16_t tag, std::int32_t value);

// The trace line naming a parameter identifier 1 to 6 ("   RES queried" ...), and 0 as
// "   VERSION queried" for a query; null for others.
const char* ParmIdentifierLine(std::uint16_t usParm, bool query);

// Traces the three lines that describe a record.
void TraceRecord(const ParmRecord& record);

// A run of bytes of a host's parameter value.
struct ValueBytes {
  std::size_t offset = 0;
  std::size_t size = 0;
};
// Which bytes of the host's value a call reads and which it writes back.
struct ParmValueUse {
  ValueBytes read;
  ValueBytes written;
};
// A set reads the whole value of RES to QCTRL, nothing for INIT or another identifier, and
// writes nothing back: hosts may keep their values as constants.
ParmValueUse SetValueUse(std::uint16_t usParm);
// A query writes its answer; of the value it reads only QCTRL's index.
ParmValueUse QueryValueUse(std::uint16_t usParm);

// Worker command 12: the colour table for the record's bit depth.
void FillColourTable(Command& command);
