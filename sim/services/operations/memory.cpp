#include "sim/services/operations/memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"

// gcc and clang say differently that AddressSanitizer is on.
#if defined(__SANITIZE_ADDRESS__)
#define KOV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KOV_ADDRESS_SANITIZER 1
#endif
#endif

namespace sim {
namespace {

constexpr std::uint32_t kZeroFilled = 1;

// Knowing every live block lets QelFree refuse a block twice instead of corrupting the heap.
// Freed blocks are kept by size, up to a bound, and handed out again for the same size, as a
// framework's allocator does: a page's blocks come and go with every page, and fresh memory
// from the system costs a page fault for every 4 KiB.
class BlockTable {
 public:
  // Never destroyed: the library may give blocks back while the process ends, and blocks a
  // switched failure left with the framework stay reachable to the end.
  static BlockTable& Instance() {
    static auto* table = new BlockTable;
    return *table;
  }

  void* Allocate(std::uint32_t size, bool zeroed) {
    // Every block is distinct, an empty one too.
    const std::size_t bytes = std::max<std::uint32_t>(size, 1);
    std::lock_guard lock(mutex_);
    void* block = TakeKept(bytes);
    if (block != nullptr) {
      if (zeroed) std::memset(block, 0, bytes);
    } else {
      block = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
      if (block == nullptr) return nullptr;
    }
    try {
      blocks_.emplace(block, bytes);
    } catch (...) {
      std::free(block);
      return nullptr;
    }
    return block;
  }

  bool Free(void* block) {
    std::lock_guard lock(mutex_);
    const auto found = blocks_.find(block);
    if (found == blocks_.end()) return false;
    const std::size_t bytes = found->second;
    blocks_.erase(found);
    Keep(block, bytes);
    return true;
  }

  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return blocks_.size();
  }

  void SetKeeping(bool keep) {
    std::lock_guard lock(mutex_);
    keeping_ = keep;
    if (keep) return;
    for (auto& [bytes, blocks] : kept_) {
      for (void* block : blocks) std::free(block);
    }
    kept_.clear();
    keptBytes_ = 0;
  }

 private:
#if KOV_ADDRESS_SANITIZER
  // Under AddressSanitizer every freed block goes back at once, so a use after free shows.
  static constexpr std::size_t kKeptBytesMax = 0;
#else
  static constexpr std::size_t kKeptBytesMax = 64 * 1024 * 1024;
#endif

  void* TakeKept(std::size_t bytes) {
    const auto found = kept_.find(bytes);
    if (found == kept_.end() || found->second.empty()) return nullptr;
    void* block = found->second.back();
    found->second.pop_back();
    keptBytes_ -= bytes;
    return block;
  }

  void Keep(void* block, std::size_t bytes) {
    if (!keeping_ || keptBytes_ + bytes > kKeptBytesMax) {
      std::free(block);
      return;
    }
    try {
      kept_[bytes].push_back(block);
      keptBytes_ += bytes;
    } catch (...) {
      std::free(block);
    }
  }

  std::mutex mutex_;
  std::unordered_map<void*, std::size_t> blocks_;
  std::unordered_map<std::size_t, std::vector<void*>> kept_;
  std::size_t keptBytes_ = 0;
  bool keeping_ = true;
};

}  // namespace

std::size_t LiveBlockCount() {
  return BlockTable::Instance().Count();
}

void KeepFreedBlocks(bool keep) {
  BlockTable::Instance().SetKeeping(keep);
}

}  // namespace sim

extern "C" {

// Flag bit 0 asks for a zero-filled block; otherwise its bytes are whatever they were.
void* QelAlloc(std::uint32_t size, std::uint32_t flags) {
  using namespace sim;
  try {
    if (EnterOperation(Op::Alloc) < 0) return nullptr;
    return BlockTable::Instance().Allocate(size, (flags & kZeroFilled) != 0);
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
