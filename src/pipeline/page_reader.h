// Scanning one page: the feeder check, the chain, the run into the storage filter, barcodes
// and patch codes on the memory image, the header; and pausing the feeder.
#pragma once

#include <cstdint>

#include "core/command.h"
#include "framework/records.h"

// Worker command 8: on success the page is held and its header waits in SCB.PageHeader
// (built on the header bytes the caller left there); the result 0. Otherwise
// RC_SCAN_ADF_EMPTY or the code of the failure, and nothing of the page is held.
void PageReader(Command& command);
// Worker command 11.
void PauseFeeder(Command& command);

// Unloads the compression pipe, which otherwise outlives pages and drivers; at framework stop.
void UnloadPipe();

// 0 go on, 1 stop (the stored code says why).
std::int32_t CheckFeeder(const DriverRecord& scanner);
// 0, or a negative framework code (its text stored) with nothing of the page held.
std::int32_t RunPage();
