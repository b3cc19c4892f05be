// The page the storage filter captured: its blocks, handed out in any portions, and released
// once the last byte has gone out.
#pragma once

#include <cstdint>

#include "framework/records.h"
#include "kovzaft2.h"

// Starts a page: no bytes, no blocks.
void StartCapture();
// Handles the start-page message: starts a new capture and keeps the layout of the data to
// come.
void StartPage(const DriverContext& context);
// Keeps `count` bytes of a data message in a new block at the end of the chain: 0, or the
// framework's out-of-memory value with the context's driver number. StoreSize grows only
// by what a block holds, so delivery never walks past the last block. The context's data
// handler gets the message as it came.
std::int32_t StoreData(const DriverContext& context, std::uint32_t message, std::int32_t count,
                       const void* bytes);

// Copies up to `count` bytes (never more than StoreSize) of the page from where the last
// delivery stopped; releases the page when its last byte went out. Answers the bytes copied.
std::uint32_t GetImage(std::uint32_t count, std::uint8_t* destination);

// Hands the host the header of the page run last (all but its first field) and the first
// `ulDataLen` bytes of the page, lowering ulDataLen to what went out: 0 when the page went
// out whole, RC_SCAN_MORE_DATA (stored) while bytes remain. With no data buffer nothing is
// delivered: RC_SCAN_MORE_DATA and ulDataLen the page's size.
std::uint16_t DeliverPage(KOV_PAGEHEADER& header, std::uint8_t* pucData, std::uint32_t& ulDataLen);

// Frees the blocks, closes the memory image and unloads the storage filter; does nothing
// when no page is held. The result of the unload.
std::int32_t ReleasePage();
