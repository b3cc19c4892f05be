#include "sim/pipes/pipes.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "framework/messages.h"
#include "framework/qel.h"
#include "sim/pipes/chains.h"
#include "sim/pipes/codecs.h"
#include "sim/pipes/pipe_text.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"

namespace sim {
namespace {

// Data go on in pieces of this size, as a pipe hands on its output buffer.
constexpr std::size_t kOutputPiece = 64 * 1024;

using Format = std::map<std::uint16_t, std::int32_t>;

struct Pipe {
  Format wanted;
  Output output;
};

// "<tag>:<value>,..." as pairs; none when the text is not that.
std::optional<Format> ParseFormat(std::string_view text) {
  Format format;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view pair = text.substr(0, comma);
    const auto colon = pair.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::int32_t tag = 0;
    std::int32_t value = 0;
    const auto tagText = pair.substr(0, colon);
    const auto valueText = pair.substr(colon + 1);
    if (std::from_chars(tagText.data(), tagText.data() + tagText.size(), tag).ec != std::errc{} ||
        std::from_chars(valueText.data(), valueText.data() + valueText.size(), value).ec !=
            std::errc{} ||
        tag < 0 || tag > 0xFFFF) {
      return std::nullopt;
    }
    format[static_cast<std::uint16_t>(tag)] = value;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return format;
}

// The wanted format of a pipe text; none when it is no pipe text or names a compression
// without a codec here.
std::optional<Format> WantedOf(std::string_view text) {
  constexpr std::string_view kFrom = "convert from=";
  constexpr std::string_view kTo = " to=";
  const auto to = text.find(kTo);
  if (!text.starts_with(kFrom) || to == std::string_view::npos) return std::nullopt;
  const auto from = ParseFormat(text.substr(kFrom.size(), to - kFrom.size()));
  auto wanted = ParseFormat(text.substr(to + kTo.size()));
  if (!from || !wanted) return std::nullopt;
  const auto compression = wanted->contains(kTagCompression) ? wanted->at(kTagCompression) : 1;
  if (!CodecAvailable(compression)) return std::nullopt;
  return wanted;
}

class PipeTable {
 public:
  // Never destroyed, as every process-wide table here: a driver stuck in a call may wake
  // after the exit handlers ran.
  static PipeTable& Instance() {
    static auto* table = new PipeTable;
    return *table;
  }
  std::uint64_t Add(Pipe pipe) {
    std::lock_guard lock(mutex_);
    pipes_.emplace(++serial_, std::move(pipe));
    return serial_;
  }
  bool Remove(std::uint64_t number) {
    std::lock_guard lock(mutex_);
    return pipes_.erase(number) != 0;
  }
  // Runs `use` on the pipe; false when it is not loaded.
  template <typename Use>
  bool With(std::uint64_t number, Use use) {
    std::lock_guard lock(mutex_);
    const auto found = pipes_.find(number);
    if (found == pipes_.end()) return false;
    use(found->second);
    return true;
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return pipes_.size();
  }

 private:
  std::mutex mutex_;
  std::uint64_t serial_ = 0;
  std::map<std::uint64_t, Pipe> pipes_;
};

// The page as it comes in is kept; at its end it is decoded when it came compressed, coded
// into the wanted compression and sent on. The tags that describe it are passed on at once,
// with the wanted format's values in place of the incoming ones.
class ConvertStage final : public Stage {
 public:
  ConvertStage(Format wanted, std::unique_ptr<Stage> next)
      : wanted_(std::move(wanted)), next_(std::move(next)) {}

  std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer) override {
    switch (code) {
      case QelDrvSetTag:
        return SetNumber(TagOfArg(argument), pointer);
      case QelDrvSetRationalTag:
        TrackFormat(in_, code, argument, pointer);
        return next_->Message(code, argument, pointer);
      case QelDrvStartPage:
        // The format is known by now: room for the whole page at once.
        incoming_.reserve(in_.RowBytes() * static_cast<std::size_t>(std::max(in_.length, 0)));
        return next_->Message(code, argument, pointer);
      case QelDrvData:
        if (argument > 0 && pointer != nullptr) {
          const auto* bytes = static_cast<const std::uint8_t*>(pointer);
          incoming_.insert(incoming_.end(), bytes, bytes + argument);
        }
        return 0;
      default:
        return next_->Message(code, argument, pointer);
    }
  }

  std::int32_t EndPage() override {
    PageFormat out = in_;
    out.compression = Wanted(kTagCompression, 1);
    // Uncompressed rows are coded where they lie; compressed ones are decoded first.
    std::optional<std::vector<std::uint8_t>> decoded;
    if (in_.compression != 1) decoded = DecodePage(in_, incoming_);
    const bool readable = in_.compression == 1 || decoded.has_value();
    const auto coded = readable ? EncodePage(out, decoded ? *decoded : incoming_) : std::nullopt;
    incoming_.clear();
    if (!coded) return MakeFrameworkError(error::kBadImage, 0);
    for (std::size_t at = 0; at < coded->size(); at += kOutputPiece) {
      const std::size_t count = std::min(kOutputPiece, coded->size() - at);
      const auto rc = next_->Message(QelDrvData, static_cast<std::int32_t>(count),
                                     const_cast<std::uint8_t*>(coded->data() + at));
      if (rc < 0) return rc;
    }
    return next_->EndPage();
  }

 private:
  std::int32_t Wanted(std::uint16_t tag, std::int32_t otherwise) const {
    const auto found = wanted_.find(tag);
    return found == wanted_.end() ? otherwise : found->second;
  }
  std::int32_t SetNumber(std::uint16_t tag, void* pointer) {
    TrackFormat(in_, QelDrvSetTag, TagArg(tag), pointer);
    std::int32_t value = 0;
    std::memcpy(&value, pointer, sizeof value);
    if (tag == kTagCompression || tag == kTagPhotometricInterpretation) value = Wanted(tag, value);
    return next_->Message(QelDrvSetTag, TagArg(tag), &value);
  }

  Format wanted_;
  std::unique_ptr<Stage> next_;
  PageFormat in_;
  std::vector<std::uint8_t> incoming_;
};

std::uint64_t PipeNumber(const PipeRecord* record) {
  return record != nullptr && record->slot[0] == kPipeMark ? record->slot[1] : 0;
}

}  // namespace

std::unique_ptr<Stage> PipeStage(std::uint64_t pipe) {
  Format wanted;
  Output output;
  if (!PipeTable::Instance().With(pipe, [&](const Pipe& found) {
        wanted = found.wanted;
        output = found.output;
      })) {
    return nullptr;
  }
  auto next = ChainFrom(output);
  if (!next) return nullptr;
  return std::make_unique<ConvertStage>(std::move(wanted), std::move(next));
}

std::size_t LivePipeCount() {
  return PipeTable::Instance().Count();
}

}  // namespace sim

extern "C" {

std::int32_t QelDrvLoadInitPipe(std::int32_t /*reserved*/, const char* pipeText, PipeRecord* pipe,
                                std::int32_t /*flags*/) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::LoadInitPipe); failure < 0) return failure;
    if (pipeText == nullptr || pipe == nullptr) return error::kInvalidArgument;
    auto wanted = WantedOf(pipeText);
    if (!wanted) return error::kNoPipe;
    pipe->slot[0] = kPipeMark;
    pipe->slot[1] = PipeTable::Instance().Add({std::move(*wanted), {}});
    return 0;
  });
}

std::int32_t QelPipeUnload(PipeRecord* pipe) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::PipeUnload); failure < 0) return failure;
    if (!PipeTable::Instance().Remove(PipeNumber(pipe))) return error::kInvalidArgument;
    *pipe = {};
    return 0;
  });
}

std::int32_t QelPipeAttach(PipeRecord* pipe, DriverRecord* output) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::PipeAttach); failure < 0) return failure;
    if (output == nullptr) return error::kInvalidArgument;
    const Output target = OutputFrom(output);
    return PipeTable::Instance().With(PipeNumber(pipe), [&](Pipe& found) { found.output = target; })
               ? 0
               : error::kInvalidArgument;
  });
}

std::int32_t QelPipeDetach(PipeRecord* pipe) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::PipeDetach); failure < 0) return failure;
    return PipeTable::Instance().With(PipeNumber(pipe), [](Pipe& found) { found.output = {}; })
               ? 0
               : error::kInvalidArgument;
  });
}

}  // extern "C"
