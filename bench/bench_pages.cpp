#include "bench_pages.h"

#include <map>
#include <mutex>
#include <utility>

#include "sim/kit/page_generator.h"

namespace bench {
namespace {

sim::PageRecipe RecipeOf(PageKind kind, std::int32_t dpi) {
  auto recipe = sim::TextPageRecipe(dpi);
  if (kind != PageKind::Text) recipe.text.clear();
  if (kind == PageKind::UprightPatch || kind == PageKind::TurnedPatch) {
    sim::PatchSymbol patch;
    patch.turn = kind == PageKind::TurnedPatch ? sim::PatchTurn::Turned : sim::PatchTurn::Upright;
    recipe.patches = {patch};
    recipe.specks = 20;  // a scanned sheet is never quite clean
  }
  return recipe;
}

}  // namespace

const sim::BitonalPage& Page(PageKind kind, std::int32_t dpi) {
  static std::mutex mutex;
  static std::map<std::pair<PageKind, std::int32_t>, sim::BitonalPage> pages;
  std::lock_guard lock(mutex);
  const auto key = std::pair{kind, dpi};
  auto found = pages.find(key);
  if (found == pages.end()) found = pages.emplace(key, sim::RenderPage(RecipeOf(kind, dpi))).first;
  return found->second;
}

}  // namespace bench
