#include "image_files.h"

#include <png.h>

#include <stdexcept>

namespace {

void Put16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;

struct Entry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t value;
};

void WritePng(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

void FlushPng(png_structp) {}

}  // namespace

std::string TiffFile(const std::vector<TiffPage>& pages) {
  std::string out = "II*";
  out += '\0';
  std::size_t link = out.size();  // where the offset of the next directory goes
  Put32(out, 0);
  for (const TiffPage& page : pages) {
    const auto stripAt = static_cast<std::uint32_t>(out.size());
    out += page.strip;
    if (out.size() % 2 != 0) out += '\0';  // directories start on a word
    const auto directoryAt = static_cast<std::uint32_t>(out.size());
    std::string offset;
    Put32(offset, directoryAt);
    out.replace(link, 4, offset);
    std::vector<Entry> entries = {
        {256, kLong, page.width},
        {257, kLong, page.height},
        {258, kShort, page.bits},
        {259, kShort, page.compression},
        {262, kShort, page.bits == 1 ? 0u : 1u},
        {273, kLong, stripAt},
        {277, kShort, 1},
        {278, kLong, page.height},
        {279, kLong, static_cast<std::uint32_t>(page.strip.size())},
    };
    if (page.privateTag) entries.push_back({65000, kLong, 7});
    Put16(out, static_cast<std::uint32_t>(entries.size()));
    for (const Entry& entry : entries) {
      Put16(out, entry.tag);
      Put16(out, entry.type);
      Put32(out, 1);
      if (entry.type == kShort) {
        Put16(out, entry.value);
        Put16(out, 0);
      } else {
        Put32(out, entry.value);
      }
    }
    link = out.size();
    Put32(out, 0);
  }
  return out;
}

std::string PngFile(std::uint32_t width, std::uint32_t height, std::uint32_t rows) {
  // Made before the jump's setjmp: nothing to destroy lives across it.
  std::string out;
  std::vector<png_byte> row(width);
  for (std::size_t x = 0; x < row.size(); ++x) row[x] = static_cast<png_byte>(x * x * 7 + x / 3);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng cannot write the test image");
  }
  png_set_write_fn(png, &out, WritePng, FlushPng);
  // Small chunks: a file cut short still holds the rows written before the cut.
  png_set_compression_buffer_size(png, 64);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (std::uint32_t y = 0; y < rows; ++y) png_write_row(png, row.data());
  if (rows == height) {
    png_write_end(png, nullptr);
  } else {
    png_write_flush(png);
  }
  png_destroy_write_struct(&png, &info);
  return out;
}
