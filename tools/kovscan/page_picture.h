// A page looked at as a person would: its gray image, read back from the file written for
// it, and a small picture of it for the report.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace kovscan {

struct GrayImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> dots;  // 0 black .. 255 white, rows top to bottom
  // A picture of one-bit dots (only 0 and 255) tells how many are black, counted as they
  // were read, so that the levels' tally need not go over every dot again.
  std::optional<std::size_t> blackDots = std::nullopt;
};

// The first page of a TIFF file, or a JPEG file; none when it cannot be read.
std::optional<GrayImage> ReadPicture(const std::filesystem::path& path);
// A JPEG of the image scaled to the width (never up), each dot the mean of those it covers.
std::vector<std::uint8_t> ThumbnailJpeg(const GrayImage& image, std::uint32_t width);

}  // namespace kovscan
