#include "tools/kovscan/thumbnail_spool.h"

#include <cerrno>

#include "tools/kovscan/platform.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

constexpr const char* kSpoolName = "the thumbnails' temporary file";

}  // namespace

ThumbnailSpool::ThumbnailSpool() : file_(platform::OpenTemporaryFile()) {
  if (!file_) throw FileErrorFromErrno("create", kSpoolName);
}

ThumbnailSpool::Entry ThumbnailSpool::Add(const std::vector<std::uint8_t>& picture) {
  errno = 0;
  if (!platform::SeekTo(file_.get(), end_) ||
      std::fwrite(picture.data(), 1, picture.size(), file_.get()) != picture.size()) {
    throw FileErrorFromErrno("write", kSpoolName);
  }
  const Entry entry{end_, picture.size()};
  end_ += picture.size();
  return entry;
}

std::vector<std::uint8_t> ThumbnailSpool::Read(Entry entry) const {
  std::vector<std::uint8_t> picture(entry.size);
  errno = 0;
  if (!platform::SeekTo(file_.get(), entry.offset) ||
      std::fread(picture.data(), 1, picture.size(), file_.get()) != picture.size()) {
    throw FileErrorFromErrno("read", kSpoolName);
  }
  return picture;
}

}  // namespace kovscan
