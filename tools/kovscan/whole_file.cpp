#include "tools/kovscan/whole_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "tools/kovscan/written_files.h"

namespace kovscan {

FileError FileErrorFromErrno(const std::string& what, const std::filesystem::path& path) {
  const int error = errno;
  return FileError("cannot " + what + " " + path.string() + ": " +
                   (error != 0 ? std::strerror(error) : "unknown failure"));
}

WholeFile::WholeFile(std::filesystem::path path, WrittenFiles* written,
                     std::filesystem::path temporary)
    : path_(std::move(path)),
      temporary_(temporary.empty() ? std::filesystem::path(path_.string() + kPartSuffix)
                                   : std::move(temporary)),
      written_(written) {
  if (written_ != nullptr) written_->Note(temporary_);
}

WholeFile::~WholeFile() {
  if (committed_) return;
  std::error_code ignored;
  std::filesystem::remove(temporary_, ignored);
}

void WholeFile::Commit() {
  CommitAs(path_);
}

void WholeFile::CommitAs(const std::filesystem::path& path) {
  path_ = path;
  if (written_ != nullptr) written_->Note(path_);
  std::error_code error;
  std::filesystem::rename(temporary_, path_, error);
  if (error) throw FileError("cannot write " + path_.string() + ": " + error.message());
  committed_ = true;
}

void WriteWholeText(const std::filesystem::path& path,
                    const std::function<void(std::ostream&)>& write, WrittenFiles* written) {
  WholeFile file(path, written);
  std::ofstream stream(file.Temporary(), std::ios::binary);
  if (!stream) throw FileErrorFromErrno("write", path);
  errno = 0;
  write(stream);
  stream.close();
  if (!stream) throw FileErrorFromErrno("write", path);
  file.Commit();
}

void WriteWholeBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                     WrittenFiles* written) {
  WriteWholeText(
      path,
      [bytes](std::ostream& stream) {
        stream.write(reinterpret_cast<const char*>(bytes.data()),
                     static_cast<std::streamsize>(bytes.size()));
      },
      written);
}

}  // namespace kovscan
