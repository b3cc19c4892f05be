// The patch detector on whatever a page holds: single run lists as the memory image hands
// them out (a length word, then boundaries), and whole pages drawn with a patch sheet's
// elements at sizes, positions and resolutions of the input's choosing, then spoiled by
// flipped bits.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "patch/patch_detector.h"
#include "sim/kit/page_generator.h"
#include "sim/services/images/mem_image.h"

namespace {

// Judges a line whose run list is made of the input's words; word 0 holds the list's length
// in bytes, as the memory image writes it, and the list has at least its end and the two
// unread words.
void ClassifyLine(FuzzedDataProvider& input) {
  const auto r = input.ConsumeIntegral<std::uint16_t>();  // the detector passes 50 to 65535
  std::vector<std::uint16_t> runs(1);
  while (input.remaining_bytes() >= 2 && runs.size() < 4096) {
    runs.push_back(input.ConsumeIntegral<std::uint16_t>());
  }
  runs.resize(std::max<std::size_t>(runs.size(), 4));
  runs[0] = static_cast<std::uint16_t>(runs.size() * 2);
  std::int32_t hints = 0;
  ClassifyPatchRow(runs.data(), r, hints);
  ClassifyPatchColumn(runs.data(), r);
  HasWideBar(runs.data(), r);
}

sim::PatchSymbol SymbolFrom(FuzzedDataProvider& input) {
  sim::PatchSymbol symbol;
  symbol.bars.clear();
  for (int i = 0, n = input.ConsumeIntegralInRange(1, 6); i < n; ++i) {
    symbol.bars += input.ConsumeBool() ? 'W' : 'N';
  }
  symbol.narrow = input.ConsumeFloatingPointInRange(0.01, 0.3);
  symbol.ratio = input.ConsumeFloatingPointInRange(1.0, 5.0);
  symbol.gap = input.ConsumeFloatingPointInRange(0.01, 0.3);
  symbol.length = input.ConsumeFloatingPointInRange(0.1, 4.0);
  symbol.left = input.ConsumeFloatingPointInRange(0.0, 4.0);
  symbol.top = input.ConsumeFloatingPointInRange(0.0, 4.0);
  symbol.turn = input.ConsumeBool() ? sim::PatchTurn::Turned : sim::PatchTurn::Upright;
  return symbol;
}

void DetectOnPage(FuzzedDataProvider& input) {
  sim::PageRecipe recipe;
  recipe.width = input.ConsumeFloatingPointInRange(0.1, 4.5);
  recipe.height = input.ConsumeFloatingPointInRange(0.1, 4.5);
  recipe.xDpi = input.ConsumeIntegralInRange(1, 400);
  recipe.yDpi = input.ConsumeIntegralInRange(1, 400);
  recipe.seed = input.ConsumeIntegral<std::uint32_t>();
  for (int i = 0, n = input.ConsumeIntegralInRange(0, 2); i < n; ++i) {
    recipe.patches.push_back(SymbolFrom(input));
  }
  recipe.specks = input.ConsumeIntegralInRange<std::uint32_t>(0, 200);
  recipe.thinLines = input.ConsumeIntegralInRange<std::uint32_t>(0, 8);
  sim::BitonalPage page = sim::RenderPage(recipe);
  if (input.ConsumeBool()) {
    // A resolution tag that does not match the drawing, up to what the tag can hold.
    page.xResolution = {input.ConsumeIntegral<std::uint16_t>(),
                        input.ConsumeIntegral<std::uint16_t>()};
    page.yResolution = {input.ConsumeIntegral<std::uint16_t>(),
                        input.ConsumeIntegral<std::uint16_t>()};
  }
  while (input.remaining_bytes() >= 4 && !page.bits.empty()) {
    const std::size_t at = input.ConsumeIntegral<std::uint32_t>() % page.bits.size();
    page.bits[at] ^= input.ConsumeIntegral<std::uint8_t>();
  }

  QelMemImage image = nullptr;
  if (QelMemImageOpen(&image) != 0) std::abort();
  if (sim::FillMemImage(image, std::move(page)) == 0) DetectPatchCode(image);
  QelMemImageClose(image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  if (input.ConsumeBool()) {
    ClassifyLine(input);
  } else {
    DetectOnPage(input);
  }
  return 0;
}
