// Image files made byte by byte for the feeder's tests: TIFF pages claiming what a test
// wants, and PNG files cut short.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TiffPage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t compression = 1;  // 1 none, 4 CCITT Group 4, 5 LZW
  std::string strip;              // the page's one strip as stored
  bool privateTag = false;        // a tag libtiff does not know, which it warns about
  std::uint16_t bits = 1;         // 1: 1 is black; 8: gray, 0 is black
};

// A little-endian TIFF holding the pages in order.
std::string TiffFile(const std::vector<TiffPage>& pages);

// A gray PNG of that size in shades, holding only its first `rows` rows (a whole file when
// they are all of them).
std::string PngFile(std::uint32_t width, std::uint32_t height, std::uint32_t rows);
