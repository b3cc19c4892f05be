// Files that appear whole or not at all: written under a temporary name beside the final one
// and renamed into place, so a failed write (a full disk, a killed run) leaves no truncated
// page, document, manifest or report behind.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <span>
#include <string>

#include "tools/kovscan/failure.h"

namespace kovscan {

class WrittenFiles;

// "cannot <what> <path>: <the system's reason>", from errno.
FileError FileErrorFromErrno(const std::string& what, const std::filesystem::path& path);

// What a temporary file's name ends with; kovscan's own leftovers are found by it.
inline constexpr const char* kPartSuffix = ".part";

// With `written`, the temporary and the final name are each listed there before they are made.
class WholeFile {
 public:
  // `temporary`: another name than the path with kPartSuffix, for a writer that picks the
  // extension itself.
  explicit WholeFile(std::filesystem::path path, WrittenFiles* written = nullptr,
                     std::filesystem::path temporary = {});
  // A file not committed is removed.
  ~WholeFile();
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Where to write until Commit.
  const std::filesystem::path& Temporary() const { return temporary_; }
  // Puts the written file under its own name, or under another. Throws FileError.
  void Commit();
  void CommitAs(const std::filesystem::path& path);

 private:
  std::filesystem::path path_;
  std::filesystem::path temporary_;
  WrittenFiles* written_;
  bool committed_ = false;
};

// Writes the text the writer streams as a whole file. Throws FileError.
void WriteWholeText(const std::filesystem::path& path,
                    const std::function<void(std::ostream&)>& write,
                    WrittenFiles* written = nullptr);
// Writes the bytes as a whole file. Throws FileError.
void WriteWholeBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                     WrittenFiles* written = nullptr);

}  // namespace kovscan
