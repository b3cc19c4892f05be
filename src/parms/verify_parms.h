// Checking a host's record against the loaded scanner before it is applied.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kovzaft2.h"

// 0 when the record passed and was applied (or its failure is ignored by "Verify"=0, in
// which case it is not applied); 1 when refused.
std::int32_t VerifyParms(ParmRecord& record);

// Traces bytes 16 to a line as "%02x ".
void DumpRecordHex(const std::uint8_t* bytes, std::size_t count);
