#include "tools/kovscan/whole_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace kovscan {

FileError FileErrorFromErrno(const std::string& what, const std::filesystem::path& path) {
  const int error = errno;
  return FileError("cannot " + what + " " + path.string() + ": " +
                   (error != 0 ? std::strerror(error) : "unknown failure"));
}

WholeFile::WholeFile(std::filesystem::path path)
    : path_(std::move(path)), temporary_(path_.string() + kPartSuffix) {}

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
  std::error_code error;
  std::filesystem::rename(temporary_, path_, error);
  if (error) throw FileError("cannot write " + path_.string() + ": " + error.message());
  committed_ = true;
}

void WriteWholeText(const std::filesystem::path& path,
                    const std::function<void(std::ostream&)>& write) {
  WholeFile file(path);
  std::ofstream stream(file.Temporary(), std::ios::binary);
  if (!stream) throw FileErrorFromErrno("create", file.Temporary());
  errno = 0;
  write(stream);
  stream.close();
  if (!stream) throw FileErrorFromErrno("write", path);
  file.Commit();
}

void WriteWholeBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  WriteWholeText(path, [bytes](std::ostream& stream) {
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
  });
}

}  // namespace kovscan
