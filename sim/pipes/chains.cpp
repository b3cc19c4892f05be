#include "sim/pipes/chains.h"

#include "framework/qel.h"
#include "sim/pipes/pipes.h"
#include "sim/services/driver_model/driver.h"
#include "sim/services/driver_model/driver_registry.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"

namespace sim {
namespace {

// A driver in the chain: the message goes to it through its entry, and on to its own output
// when it has one (a filter such as the capture driver); the storage filter has none.
class DriverStage final : public Stage {
 public:
  DriverStage(const DriverRecord& driver, std::unique_ptr<Stage> next)
      : driver_(driver), next_(std::move(next)) {}

  std::int32_t Message(std::uint32_t code, std::int32_t argument, void* pointer) override {
    const std::int32_t own = driver_.pfnEntry(driver_.pInstance, code, argument, pointer);
    const std::int32_t passed = next_ ? next_->Message(code, argument, pointer) : 0;
    return own < 0 ? own : passed;
  }

  std::int32_t EndPage() override {
    std::int32_t own = 0;
    UseLoaded(driver_.pInstance, [&](Driver& driver) { own = driver.EndPage(); });
    const std::int32_t passed = next_ ? next_->EndPage() : 0;
    return own < 0 ? own : passed;
  }

 private:
  DriverRecord driver_;
  std::unique_ptr<Stage> next_;
};

}  // namespace

std::unique_ptr<Stage> ChainFrom(const Output& output) {
  switch (output.kind) {
    case Output::Kind::Driver: {
      Output next;
      UseLoaded(output.driver.pInstance, [&](Driver& driver) { next = driver.OutputTarget(); });
      if (output.driver.pfnEntry == nullptr) return nullptr;
      return std::make_unique<DriverStage>(output.driver, ChainFrom(next));
    }
    case Output::Kind::Pipe:
      return PipeStage(output.pipe);
    default:
      return nullptr;
  }
}

std::int32_t RunSource(const DriverRecord& source, Stage& out) {
  std::int32_t rc = error::kDriverNotFound;
  UseLoaded(source.pInstance, [&](Driver& driver) { rc = driver.RunPage(out); });
  const std::int32_t ended = out.EndPage();
  const std::int32_t result = rc < 0 ? rc : ended;
  UseLoaded(source.pInstance, [&](Driver& driver) { driver.RunEnded(result >= 0); });
  return result;
}

}  // namespace sim

extern "C" std::int32_t QelRunZone(DriverRecord* source, void* workBuffer,
                                   std::int32_t workBufferSize) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::RunZone); failure < 0) return failure;
    if (source == nullptr || workBuffer == nullptr || workBufferSize <= 0) {
      return error::kInvalidArgument;
    }
    Output first;
    if (!UseLoaded(source->pInstance, [&](Driver& driver) { first = driver.OutputTarget(); })) {
      return error::kDriverNotFound;
    }
    const auto chain = ChainFrom(first);
    if (!chain) return error::kNoOutput;
    return RunSource(*source, *chain);
  });
}
