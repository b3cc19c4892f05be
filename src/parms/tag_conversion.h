// Moving a scanner configuration between the host's record and the loaded driver.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/messages.h"
#include "kovzaft2.h"
#include "platform/platform.h"

// Captures the driver's whole state and the working values into the record.
void tagstoparm(ParmRecord& record);
// Applies a checked record to the driver and to the working values. False when the record
// holds a value of its own tags the scanner does not offer: that one is not set, and traced.
bool parmtotags(ParmRecord& record);

// Lowers ImageWidth to a whole number of bytes per row.
void RoundImageWidth();

// The settings name a single tag is saved under; valid until the next call.
const char* TagKeyText(std::uint16_t tag);
void SaveTagText(ParmRecord& record, QelSaveSettingFn save, std::uint16_t tag);
// 0, or a negative code; kErrValueNotAllowed for a value the scanner does not offer, which is
// not set.
std::int32_t RestoreTagText(ParmRecord& record, QelRestoreSettingFn restore, std::uint16_t tag);

// Sets the driver's compression tags to the working compression; false when it names none.
bool ApplyCompression();

// Whether the working compression can be delivered: pipeText then holds the conversion pipe,
// or nothing when the driver delivers it itself; when it cannot, pipeText is empty.
bool BuildCompressionPipe(char* pipeText, std::size_t pipeTextSize);

// The working compression becomes the driver's own (uncompressed when it does not say),
// with its T4 options and no conversion pipe.
void TakeDriverCompression();

// Clears the detection switches and gives the barcode component its default state back.
void ResetDetection();

// The text as the component's string; 0, or -4500 when memory runs out.
std::int32_t ToComponentString(const char* text, platform::ComString& result);
