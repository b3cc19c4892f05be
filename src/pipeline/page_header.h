// The 253-byte header in front of each page the host receives.
#pragma once

#include <cstdint>

#include "kovzaft2.h"

// Patch code found on the page: 0 none, 1 Patch II, 2 Patch III, 3 Patch T. Set by the page
// run, read and cleared by BuildPageHeader.
extern std::int32_t lPatchResult;

// Fills the header of the page just run, all but its first field.
void BuildPageHeader(KOV_PAGEHEADER& header);
