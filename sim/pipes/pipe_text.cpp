#include "sim/pipes/pipe_text.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "framework/qel.h"
#include "framework/tags.h"
#include "sim/pipes/codecs.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"
#include "sim/services/text/text_copy.h"

namespace sim {
namespace {

constexpr std::array<std::int32_t, 4> kCodecs{1, 3, 4, 6};

// More pairs than any image format has: a count past it is no format.
constexpr std::int32_t kMaxFormatPairs = 32;

struct Pair {
  std::int32_t tag;
  std::int32_t value;
};

// The pairs of a format, read within its own count; none for a count out of range.
std::optional<std::vector<Pair>> PairsOf(const std::int32_t* format) {
  if (format == nullptr || format[0] < 0 || format[0] > kMaxFormatPairs) return std::nullopt;
  std::vector<Pair> pairs(static_cast<std::size_t>(format[0]));
  for (std::size_t i = 0; i < pairs.size(); ++i) pairs[i] = {format[1 + 2 * i], format[2 + 2 * i]};
  return pairs;
}

std::int32_t ValueOf(const std::vector<Pair>& pairs, std::uint16_t tag, std::int32_t absent) {
  const auto found = std::ranges::find(pairs, std::int32_t{tag}, &Pair::tag);
  return found == pairs.end() ? absent : found->value;
}

std::int32_t CompressionOf(const std::vector<Pair>& pairs) {
  return ValueOf(pairs, kTagCompression, 1);
}

// The wanted compression holds the samples the pipe is given.
bool Fits(const std::vector<Pair>& source, const std::vector<Pair>& wanted) {
  return CompressionFits(CompressionOf(wanted), ValueOf(source, kTagSamplesPerPixel, 1),
                         ValueOf(source, kTagBitsPerSample, 1));
}

std::string FormatText(const std::vector<Pair>& pairs) {
  std::string text;
  for (const Pair& pair : pairs) {
    if (!text.empty()) text += ',';
    text += std::to_string(pair.tag) + ':' + std::to_string(pair.value);
  }
  return text;
}

}  // namespace

bool CodecAvailable(std::int32_t compression) {
  return std::ranges::find(kCodecs, compression) != kCodecs.end();
}

}  // namespace sim

extern "C" std::int32_t QelMakePipe(const std::int32_t* from, const std::int32_t* to,
                                    char* pipeText, std::int32_t pipeTextSize) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    const bool usable = pipeText != nullptr && pipeTextSize > 0;
    const auto failure = [&](std::int32_t value) {
      if (usable) EmptyText(pipeText, pipeTextSize);
      return value;
    };
    if (const auto switched = EnterOperation(Op::MakePipe); switched < 0) return failure(switched);
    const auto source = PairsOf(from);
    const auto wanted = PairsOf(to);
    if (!usable || !source || !wanted) return failure(error::kInvalidArgument);
    if (!CodecAvailable(CompressionOf(*source)) || !CodecAvailable(CompressionOf(*wanted)) ||
        !Fits(*source, *wanted)) {
      return failure(error::kNoPipe);
    }
    const std::string text = "convert from=" + FormatText(*source) + " to=" + FormatText(*wanted);
    if (text.size() >= static_cast<std::size_t>(pipeTextSize))
      return failure(error::kBufferTooSmall);
    return CopyCut(text, pipeText, pipeTextSize);
  });
}
