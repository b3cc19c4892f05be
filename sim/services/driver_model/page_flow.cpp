#include "sim/services/driver_model/page_flow.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "framework/messages.h"
#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"

namespace sim {

std::size_t PageFormat::RowBytes() const {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(samples) *
              static_cast<std::size_t>(bits) +
          7) /
         8;
}

void WhitenSpareBits(const PageFormat& format, std::vector<std::uint8_t>& rows) {
  if (format.bits != 1 || format.samples != 1 || format.width % 8 == 0) return;
  const std::size_t rowBytes = format.RowBytes();
  const auto keep = static_cast<std::uint8_t>(0xFF00u >> (format.width % 8));
  for (std::size_t end = rowBytes; end <= rows.size(); end += rowBytes) rows[end - 1] &= keep;
}

void TrackFormat(PageFormat& format, std::uint32_t code, std::int32_t argument,
                 const void* pointer) {
  if (pointer == nullptr) return;
  const std::uint16_t tag = TagOfArg(argument);
  if (code == QelDrvSetRationalTag) {
    if (tag == kTagXResolution) std::memcpy(&format.xResolution, pointer, sizeof(QelRational));
    if (tag == kTagYResolution) std::memcpy(&format.yResolution, pointer, sizeof(QelRational));
    return;
  }
  if (code != QelDrvSetTag) return;
  std::int32_t value = 0;
  std::memcpy(&value, pointer, sizeof value);
  switch (tag) {
    case kTagImageWidth:
      format.width = value;
      break;
    case kTagImageLength:
      format.length = value;
      break;
    case kTagSamplesPerPixel:
      format.samples = value;
      break;
    case kTagBitsPerSample:
      format.bits = value;
      break;
    case kTagCompression:
      format.compression = value;
      break;
    case kTagPhotometricInterpretation:
      format.photometric = value;
      break;
    case kTagT4Options:
      format.t4Options = value;
      break;
    case kTagPlanarConfiguration:
      format.planar = value;
      break;
    case kTagXPosition:
      format.xPosition = value;
      break;
    case kTagYPosition:
      format.yPosition = value;
      break;
    default:
      break;
  }
}

Output OutputFrom(const void* pointer) {
  Output output;
  if (pointer == nullptr) return output;
  std::uint64_t first = 0;
  std::memcpy(&first, pointer, sizeof first);
  if (first == kPipeMark) {
    PipeRecord pipe{};
    std::memcpy(&pipe, pointer, sizeof pipe);
    output.kind = Output::Kind::Pipe;
    output.pipe = pipe.slot[1];
  } else {
    output.kind = Output::Kind::Driver;
    std::memcpy(&output.driver, pointer, sizeof output.driver);
  }
  return output;
}

void PageWriter::SetNumber(std::uint16_t tag, std::int32_t value) {
  out_.Message(QelDrvSetTag, TagArg(tag), &value);
}

std::int32_t PageWriter::Begin(const PageFormat& format, const PageTags& tags) {
  if (const auto rc = out_.Message(QelDrvSetupTags, 0, nullptr); rc < 0) return rc;
  SetNumber(kTagSamplesPerPixel, format.samples);
  SetNumber(kTagBitsPerSample, format.bits);
  SetNumber(kTagCompression, format.compression);
  SetNumber(kTagPhotometricInterpretation, format.photometric);
  SetNumber(kTagT4Options, format.t4Options);
  SetNumber(kTagPlanarConfiguration, format.planar);
  QelRational x = format.xResolution;
  QelRational y = format.yResolution;
  out_.Message(QelDrvSetRationalTag, TagArg(kTagXResolution), &x);
  out_.Message(QelDrvSetRationalTag, TagArg(kTagYResolution), &y);
  SetNumber(kTagXPosition, format.xPosition);
  SetNumber(kTagYPosition, format.yPosition);
  SetNumber(kTagImageWidth, format.width);
  SetNumber(kTagImageLength, format.length);
  for (const auto& [tag, value] : tags.numbers) SetNumber(tag, value);
  for (const auto& [tag, text] : tags.texts) {
    out_.Message(QelDrvSetStringTag, TagArg(tag), const_cast<char*>(text.c_str()));
  }
  if (!tags.barcodes.empty()) {
    out_.Message(QelDrvSetStringTag, TagArg(kTagScannerBarcodes),
                 const_cast<char*>(tags.barcodes.c_str()));
  }
  if (const auto rc = out_.Message(QelDrvEzone, 0, nullptr); rc < 0) return rc;
  return out_.Message(QelDrvStartPage, 0, nullptr);
}

std::int32_t PageWriter::Data(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return 0;
  return out_.Message(QelDrvData, static_cast<std::int32_t>(bytes.size()),
                      const_cast<std::uint8_t*>(bytes.data()));
}

std::int32_t PageWriter::DataInRows(std::span<const std::uint8_t> bytes, std::size_t rowBytes,
                                    const std::function<bool()>& aborted) {
  constexpr std::size_t kPiece = 64 * 1024;
  rowBytes = std::max<std::size_t>(rowBytes, 1);
  const std::size_t piece = std::max<std::size_t>(1, kPiece / rowBytes) * rowBytes;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    if (aborted()) return kErrAborted;
    if (const auto rc = Data(bytes.subspan(at, std::min(piece, bytes.size() - at))); rc < 0) {
      return rc;
    }
  }
  return 0;
}

std::int32_t PageWriter::Finish(const PageTags& tags) {
  if (tags.barcodes.empty()) return 0;
  return out_.Message(QelDrvBarcodeFound, 0, nullptr);
}

}  // namespace sim

extern "C" std::int32_t QelCopySamples(void* destination, const void* source, std::uint32_t count) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::CopySamples); failure < 0) return failure;
    if (count == 0) return 0;
    if (destination == nullptr || source == nullptr) return error::kInvalidArgument;
    // Single samples travel as they are: the stand-in's scanners deliver them ready.
    std::memcpy(destination, source, count);
    return 0;
  });
}
