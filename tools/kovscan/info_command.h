// `kovscan info`: what the library says of itself and of a record: device names, record
// size, quick controls, the parameter values a record gives, the colour table.
#pragma once

#include "kovzaft2.h"

namespace kovscan {

// Prints to standard output; the record is the one to query (fresh: built first).
int RunInfo(ParmRecord& record);

}  // namespace kovscan
