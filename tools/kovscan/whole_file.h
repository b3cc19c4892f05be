// Files that appear whole or not at all: written under a temporary name beside the final one
// and renamed into place, so a failed write (a full disk, a killed run) leaves no truncated
// page, document, manifest or report behind.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>

namespace kovscan {

// The file system refused: a folder or file that cannot be made, written or renamed.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "cannot <what> <path>: <the system's reason>", from errno.
FileError FileErrorFromErrno(const std::string& what, const std::filesystem::path& path);

// What a temporary file's name ends with; kovscan's own leftovers are found by it.
inline constexpr const char* kPartSuffix = ".part";

class WholeFile {
 public:
  explicit WholeFile(std::filesystem::path path);
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
  bool committed_ = false;
};

// Writes the text the writer streams as a whole file. Throws FileError.
void WriteWholeText(const std::filesystem::path& path,
                    const std::function<void(std::ostream&)>& write);
// Writes the bytes as a whole file. Throws FileError.
void WriteWholeBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace kovscan
