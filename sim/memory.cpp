#include "sim/memory.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "framework/qel.h"
#include "sim/errors.h"
#include "sim/guard.h"
#include "sim/switches.h"

namespace sim {
namespace {

// Knowing every live block lets QelFree refuse a block twice instead of corrupting the heap.
class BlockTable {
 public:
  static BlockTable& Instance() {
    static BlockTable table;
    return table;
  }

  void* Allocate(std::uint32_t size) {
    std::lock_guard lock(mutex_);
    // Every block is distinct, an empty one too.
    void* block = std::calloc(std::max<std::uint32_t>(size, 1), 1);
    if (block == nullptr) return nullptr;
    try {
      blocks_.insert(block);
    } catch (...) {
      std::free(block);
      return nullptr;
    }
    return block;
  }

  bool Free(void* block) {
    std::lock_guard lock(mutex_);
    if (blocks_.erase(block) == 0) return false;
    std::free(block);
    return true;
  }

  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return blocks_.size();
  }

 private:
  std::mutex mutex_;
  std::unordered_set<void*> blocks_;
};

}  // namespace

std::size_t LiveBlockCount() {
  return BlockTable::Instance().Count();
}

}  // namespace sim

extern "C" {

// Blocks come zero-filled whatever the flags ask.
void* QelAlloc(std::uint32_t size, std::uint32_t /*flags*/) {
  using namespace sim;
  try {
    if (EnterOperation(Op::Alloc) < 0) return nullptr;
    return BlockTable::Instance().Allocate(size);
  } catch (...) {
    return nullptr;
  }
}

std::int32_t QelFree(void* block) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::Free); failure < 0) return failure;
    if (block == nullptr) return 0;
    return BlockTable::Instance().Free(block) ? 0 : error::kInvalidArgument;
  });
}

}  // extern "C"
