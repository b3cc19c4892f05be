// The page protocol: how a page travels down a chain of stages (sim/pipes/chains.h) as
// messages, what its tags say about its layout, and where a driver's or pipe's output goes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "framework/records.h"
#include "framework/tags.h"

namespace sim {

// Marks a PipeRecord (slot 0) so a set-output message can tell it from a DriverRecord, whose
// slot 0 is a message entry.
inline constexpr std::uint64_t kPipeMark = 0x45504950'5A544651;

// Where a driver's or a pipe's output goes.
struct Output {
  enum class Kind { None, Driver, Pipe };
  Kind kind = Kind::None;
  DriverRecord driver{};
  std::uint64_t pipe = 0;  // the pipe's number
};

// The output a set-output message's pointer names: none for null, a pipe for a marked
// PipeRecord, else a driver.
Output OutputFrom(const void* pointer);

// A stage of a running chain, as the framework drives it.
class Stage {
 public:
  virtual ~Stage() = default;
  virtual std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer) = 0;
  // The page's last message has gone by: a stage that holds data sends it on now.
  virtual std::int32_t EndPage() { return 0; }
};

// How a page's data are laid out, as its tags tell the next stage.
struct PageFormat {
  std::int32_t width = 0;
  std::int32_t length = 0;
  std::int32_t samples = 1;
  std::int32_t bits = 1;
  std::int32_t compression = 1;
  std::int32_t photometric = 0;  // 0 white is zero, 1 black is zero, 2 RGB
  std::int32_t t4Options = 0;
  std::int32_t planar = 1;
  QelRational xResolution{300, 1};
  QelRational yResolution{300, 1};
  std::int32_t xPosition = 0;
  std::int32_t yPosition = 0;

  // Bytes of one uncompressed row: whole bytes, interleaved samples.
  std::size_t RowBytes() const;
};

// Makes the bits past the width in each one-bit row's last byte white (0), whatever a device
// left there; other formats are left as they are.
void WhitenSpareBits(const PageFormat& format, std::vector<std::uint8_t>& rows);

// Takes what a tag-set message says about the page's layout into the format; other
// messages and tags leave it as it is.
void TrackFormat(PageFormat& format, std::uint32_t code, std::int32_t argument,
                 const void* pointer);

// A page's own values a scanner reports with it, for the drivers that answer them.
struct PageTags {
  std::vector<std::pair<std::uint16_t, std::int32_t>> numbers;
  std::vector<std::pair<std::uint16_t, std::string>> texts;
  std::string barcodes;  // scanner barcode texts, entries separated by ";"; empty for none
};

// Sends one page as the protocol's messages: the starting tags, the format and the page's
// tags, the ezone, start-page, data, barcodes found. Failures of tag sets are not the page's
// (a stage need not know every tag); the first failure of any other message is.
class PageWriter {
 public:
  explicit PageWriter(Stage& out) : out_(out) {}
  std::int32_t Begin(const PageFormat& format, const PageTags& tags);
  std::int32_t Data(std::span<const std::uint8_t> bytes);
  // The page's data in pieces of whole rows (about 64 KiB), as a scanner's buffer fills;
  // `aborted` is asked before each piece, and answering true ends the page with kErrAborted.
  std::int32_t DataInRows(std::span<const std::uint8_t> bytes, std::size_t rowBytes,
                          const std::function<bool()>& aborted);
  std::int32_t Finish(const PageTags& tags);

 private:
  void SetNumber(std::uint16_t tag, std::int32_t value);
  Stage& out_;
};

}  // namespace sim
