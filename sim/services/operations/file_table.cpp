#include "sim/services/operations/file_table.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <mutex>

#include "framework/qel.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/guard.h"
#include "sim/services/faults/switches.h"

namespace sim {
namespace {

// One lock for the table and the files in it: the library's log is written from several
// threads, and a handle must not be closed under a write.
class FileTable {
 public:
  // Never destroyed, as every process-wide table here: a driver stuck in a call may wake
  // after the exit handlers ran.
  static FileTable& Instance() {
    static auto* table = new FileTable;
    return *table;
  }

  std::int32_t Open(const char* path, const char* how, std::int32_t failure) {
    std::lock_guard lock(mutex_);
    const auto slot = FreeSlot();
    if (slot < 0) return error::kTooManyFiles;
    std::FILE* file = std::fopen(path, how);
    if (file == nullptr) return failure;
    // Unbuffered, so each write reaches the file as it would through the system.
    std::setvbuf(file, nullptr, _IONBF, 0);
    files_[static_cast<std::size_t>(slot)] = file;
    return slot;
  }

  std::int32_t Seek(std::int32_t handle, std::int32_t offset, std::int32_t origin) {
    static constexpr std::array kOrigins{SEEK_SET, SEEK_CUR, SEEK_END};
    std::lock_guard lock(mutex_);
    std::FILE* file = At(handle);
    if (file == nullptr) return error::kInvalidFileHandle;
    if (origin < 0 || origin >= static_cast<std::int32_t>(kOrigins.size())) {
      return error::kInvalidArgument;
    }
    if (std::fseek(file, offset, kOrigins[static_cast<std::size_t>(origin)]) != 0) {
      return error::kFileSeekFailed;
    }
    const long position = std::ftell(file);
    if (position < 0 || position > std::numeric_limits<std::int32_t>::max()) {
      return error::kFileSeekFailed;
    }
    return static_cast<std::int32_t>(position);
  }

  std::int32_t Write(std::int32_t handle, const void* bytes, std::int32_t length) {
    std::lock_guard lock(mutex_);
    std::FILE* file = At(handle);
    if (file == nullptr) return error::kInvalidFileHandle;
    if (length < 0 || (bytes == nullptr && length > 0)) return error::kInvalidArgument;
    if (length == 0) return 0;
    const auto written = std::fwrite(bytes, 1, static_cast<std::size_t>(length), file);
    if (written != static_cast<std::size_t>(length)) return error::kFileWriteFailed;
    return length;
  }

  std::int32_t Close(std::int32_t handle) {
    std::lock_guard lock(mutex_);
    std::FILE* file = At(handle);
    if (file == nullptr) return error::kInvalidFileHandle;
    files_[static_cast<std::size_t>(handle)] = nullptr;
    return std::fclose(file) == 0 ? 0 : error::kFileWriteFailed;
  }

  std::size_t OpenCount() {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (std::FILE* file : files_) count += file != nullptr ? 1 : 0;
    return count;
  }

 private:
  std::FILE* At(std::int32_t handle) const {
    if (handle < 0 || static_cast<std::size_t>(handle) >= files_.size()) return nullptr;
    return files_[static_cast<std::size_t>(handle)];
  }

  std::int32_t FreeSlot() const {
    for (std::size_t slot = 0; slot < files_.size(); ++slot) {
      if (files_[slot] == nullptr) return static_cast<std::int32_t>(slot);
    }
    return -1;
  }

  std::mutex mutex_;
  std::array<std::FILE*, kMaxOpenFiles> files_{};
};

}  // namespace

std::size_t OpenFileCount() {
  return FileTable::Instance().OpenCount();
}

}  // namespace sim

extern "C" {

std::int32_t QelFileOpen(const char* path, std::int32_t /*reserved1*/, std::int32_t /*reserved2*/,
                         std::int32_t /*reserved3*/, std::int32_t mode) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::FileOpen); failure < 0) return failure;
    if (path == nullptr) return error::kInvalidArgument;
    // A folder opens for reading on some systems; it is not a file here.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return error::kFileNotFound;
    // 0 read, 1 write, 2 read and write; the file must exist in every mode.
    static constexpr std::array kModes{"rb", "r+b", "r+b"};
    if (mode < 0 || mode >= static_cast<std::int32_t>(kModes.size())) {
      return error::kInvalidArgument;
    }
    return FileTable::Instance().Open(path, kModes[static_cast<std::size_t>(mode)],
                                      error::kFileNotFound);
  });
}

std::int32_t QelFileCreate(const char* path, std::int32_t /*reserved1*/, std::int32_t /*reserved2*/,
                           std::int32_t /*reserved3*/, std::int32_t /*attributes*/) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::FileCreate); failure < 0) return failure;
    if (path == nullptr) return error::kInvalidArgument;
    return FileTable::Instance().Open(path, "w+b", error::kFileNotCreated);
  });
}

std::int32_t QelFileSeek(std::int32_t handle, std::int32_t offset, std::int32_t origin) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::FileSeek); failure < 0) return failure;
    return FileTable::Instance().Seek(handle, offset, origin);
  });
}

std::int32_t QelFileWrite(std::int32_t handle, const void* bytes, std::int32_t length) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    if (const auto failure = EnterOperation(Op::FileWrite); failure < 0) return failure;
    return FileTable::Instance().Write(handle, bytes, length);
  });
}

std::int32_t QelFileClose(std::int32_t handle) {
  using namespace sim;
  return Guard([&]() -> std::int32_t {
    // A close that fails still gives the handle back, as systems do: the caller cannot close
    // it again, and a handle kept would be lost to every later open.
    const auto failure = EnterOperation(Op::FileClose);
    const auto closed = FileTable::Instance().Close(handle);
    return failure < 0 ? failure : closed;
  });
}

}  // extern "C"
