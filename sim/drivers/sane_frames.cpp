#include "sim/drivers/sane_frames.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

namespace sim {
namespace {

constexpr SANE_Int kReadPiece = 64 * 1024;
// Room taken at once for the lines a frame announces; a larger claim grows as its data comes.
constexpr std::size_t kMostBytesReserved = std::size_t{256} << 20;

struct Frame {
  SANE_Parameters parameters{};
  std::vector<std::uint8_t> data;
};

using Kind = SanePageResult::Kind;

SanePageResult Failed(SANE_Status status) {
  return {Kind::Failed, status};
}

// Reads one started frame to its end.
SanePageResult ReadFrame(SANE_Handle handle, const std::function<bool()>& aborted, Frame& frame) {
  if (const SANE_Status status = sane_get_parameters(handle, &frame.parameters);
      status != SANE_STATUS_GOOD) {
    return Failed(status);
  }
  // One allocation for the whole frame: growing by pieces copies it over and over, and every
  // fresh page of memory costs the worker a fault.
  const SANE_Parameters& announced = frame.parameters;
  if (announced.lines > 0 && announced.bytes_per_line > 0) {
    frame.data.reserve(std::min(static_cast<std::size_t>(announced.lines) *
                                    static_cast<std::size_t>(announced.bytes_per_line),
                                kMostBytesReserved));
  }
  std::array<SANE_Byte, kReadPiece> piece;
  for (;;) {
    if (aborted()) return {Kind::Aborted, SANE_STATUS_CANCELLED};
    SANE_Int length = 0;
    const SANE_Status status = sane_read(handle, piece.data(), kReadPiece, &length);
    if (status == SANE_STATUS_EOF) return {};
    if (status != SANE_STATUS_GOOD) return Failed(status);
    frame.data.insert(frame.data.end(), piece.begin(), piece.begin() + std::max(length, 0));
  }
}

// Rows a frame holds: the lines it announced, or for a hand scanner, which tells its length
// only at the end, the whole lines that came. None when fewer came than announced.
std::optional<std::int32_t> RowsOf(const Frame& frame) {
  const auto lineBytes = static_cast<std::size_t>(std::max(frame.parameters.bytes_per_line, 0));
  const std::size_t whole = lineBytes == 0 ? 0 : frame.data.size() / lineBytes;
  if (frame.parameters.lines < 0) {
    return static_cast<std::int32_t>(std::min<std::size_t>(whole, INT32_MAX));
  }
  if (whole < static_cast<std::size_t>(frame.parameters.lines)) return std::nullopt;
  return frame.parameters.lines;
}

// The sample a single-colour frame carries in an RGB row.
// The bits of a row's dots, its padding to a whole byte not counted.
std::size_t DotBits(std::int32_t width, std::int32_t samples, std::int32_t bits) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(samples) *
         static_cast<std::size_t>(bits);
}

std::optional<std::size_t> ColourIndex(SANE_Frame format) {
  switch (format) {
    case SANE_FRAME_RED:
      return 0;
    case SANE_FRAME_GREEN:
      return 1;
    case SANE_FRAME_BLUE:
      return 2;
    default:
      return std::nullopt;
  }
}

SanePageResult Convert(std::vector<Frame>& frames, SanePage& page) {
  const SANE_Parameters& first = frames.front().parameters;
  if (first.depth != 1 && first.depth != 8) return {Kind::Unsupported, SANE_STATUS_GOOD};
  page.width = first.pixels_per_line;
  page.bits = first.depth;
  const bool separateColours = ColourIndex(first.format).has_value();
  page.samples = first.format == SANE_FRAME_RGB || separateColours ? 3 : 1;
  if (page.width <= 0 || (page.samples == 3 && page.bits != 8) ||
      (separateColours && frames.size() != 3)) {
    return {Kind::Unsupported, SANE_STATUS_GOOD};
  }

  const std::size_t frameRowBytes =
      (DotBits(page.width, separateColours ? 1 : page.samples, page.bits) + 7) / 8;
  std::int32_t rows = INT32_MAX;
  for (const Frame& frame : frames) {
    if (frame.parameters.pixels_per_line != page.width || frame.parameters.depth != page.bits ||
        frameRowBytes > static_cast<std::size_t>(std::max(frame.parameters.bytes_per_line, 0))) {
      return {Kind::Unsupported, SANE_STATUS_GOOD};
    }
    const auto frameRows = RowsOf(frame);
    if (!frameRows) return {Kind::EndedEarly, SANE_STATUS_GOOD};
    rows = std::min(rows, *frameRows);
  }
  // A page without lines is no page, whatever the device said of it.
  if (rows == 0) return {Kind::EndedEarly, SANE_STATUS_GOOD};
  page.length = rows;
  const std::size_t rowBits = DotBits(page.width, page.samples, page.bits);
  const std::size_t rowBytes = (rowBits + 7) / 8;
  const auto padding = static_cast<unsigned>(rowBytes * 8 - rowBits);
  // The bits after the last dot are whatever the device left there.
  const auto clearPadding = [&](std::uint8_t* row) {
    if (padding != 0) row[rowBytes - 1] &= static_cast<std::uint8_t>(0xFF << padding);
  };
  // A single frame whose lines are the page's rows becomes the page as it is.
  if (frames.size() == 1 && !separateColours &&
      static_cast<std::size_t>(first.bytes_per_line) == rowBytes) {
    page.rows = std::move(frames.front().data);
    page.rows.resize(rowBytes * static_cast<std::size_t>(rows));
    for (std::size_t at = 0; at < page.rows.size(); at += rowBytes) clearPadding(&page.rows[at]);
    return {};
  }
  page.rows.assign(rowBytes * static_cast<std::size_t>(rows), 0);
  for (const Frame& frame : frames) {
    const auto lineBytes = static_cast<std::size_t>(frame.parameters.bytes_per_line);
    const auto colour = ColourIndex(frame.parameters.format);
    for (std::int32_t y = 0; y < rows; ++y) {
      const std::uint8_t* from = frame.data.data() + static_cast<std::size_t>(y) * lineBytes;
      std::uint8_t* to = page.rows.data() + static_cast<std::size_t>(y) * rowBytes;
      if (!colour) {
        std::memcpy(to, from, rowBytes);
        clearPadding(to);
        continue;
      }
      const auto width = static_cast<std::size_t>(page.width);
      for (std::size_t x = 0; x < width; ++x) to[3 * x + *colour] = from[x];
    }
  }
  return {};
}

}  // namespace

SanePageResult ReadSanePage(SANE_Handle handle, const std::function<bool()>& aborted,
                            SanePage& page) {
  std::vector<Frame> frames;
  do {
    if (aborted()) return {Kind::Aborted, SANE_STATUS_CANCELLED};
    if (const SANE_Status status = sane_start(handle); status != SANE_STATUS_GOOD) {
      return Failed(status);
    }
    Frame& frame = frames.emplace_back();
    // The first frame reads into the last page's memory, already mapped.
    if (frames.size() == 1) {
      frame.data = std::move(page.rows);
      frame.data.clear();
    }
    const SanePageResult read = ReadFrame(handle, aborted, frame);
    if (read.kind != Kind::Page) return read;
  } while (!frames.back().parameters.last_frame && frames.size() < 3);
  return Convert(frames, page);
}

}  // namespace sim
