// The compressions a page can come in, one row each: the name options, the manifest and the
// messages give it, its codes in the library's calls and records, and how TIFF and PDF files
// carry its data. Every use of a compression's code or name reads this table.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "kovzaft2.h"
#include "tools/kovscan/pdf_document.h"

namespace kovscan {

struct Compression {
  const char* name;
  std::uint16_t hostCode;   // the library's calls and page headers
  std::int32_t recordCode;  // a record's lCompression
  bool twoDimensional;      // Group 3 coded in two dimensions: bit 0 of the T4 options
  std::uint16_t tiffCode;   // the TIFF files kovscan writes
  PdfImage::Encoding pdfEncoding;
};

// In the order options list them.
extern const std::array<Compression, 5> kCompressions;

// The row of a host code, a record's codes or a name; null for none.
const Compression* CompressionOfCode(std::uint16_t hostCode);
const Compression* CompressionOfRecord(const ParmRecord& record);
const Compression* CompressionNamed(const std::string& name);
// The names, in the table's order.
std::vector<std::string> CompressionNames();

// A host code's name, or the code in hex.
std::string CompressionName(std::uint16_t hostCode);
// The record's compression by name, or its code.
std::string CompressionOf(const ParmRecord& record);

}  // namespace kovscan
