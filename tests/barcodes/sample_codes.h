// Pages for comparing the builds' barcode readers: 300 dpi letter pages of body text with
// Code 128, Code 39 and QR codes alone, several on one page, turned codes, none at all, and QR
// codes whose text is in Latin-1, UTF-8 and Shift-JIS.
#pragma once

#include <filesystem>

namespace barcodes {

// Writes the pages into the folder as PBM files, named by what they show, and the list of
// what they show as drawn.txt: a line per code in reading order, tab-separated file, kind and
// text, or "file<TAB>none". Throws std::runtime_error when a code cannot be drawn (a build
// without the kit's drawing) or a file cannot be written.
void WriteSampleCodes(const std::filesystem::path& folder);

}  // namespace barcodes
