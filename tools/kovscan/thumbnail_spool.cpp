#include "tools/kovscan/thumbnail_spool.h"

#include <stdio.h>

#include <cerrno>

#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

constexpr const char* kSpoolName = "the thumbnails' temporary file";

}  // namespace

ThumbnailSpool::ThumbnailSpool() : file_(std::tmpfile()) {
  if (!file_) throw FileErrorFromErrno("create", kSpoolName);
}

ThumbnailSpool::Entry ThumbnailSpool::Add(const std::vector<std::uint8_t>& png) {
  errno = 0;
  if (fseeko(file_.get(), static_cast<off_t>(end_), SEEK_SET) != 0 ||
      std::fwrite(png.data(), 1, png.size(), file_.get()) != png.size()) {
    throw FileErrorFromErrno("write", kSpoolName);
  }
  const Entry entry{end_, png.size()};
  end_ += png.size();
  return entry;
}

std::vector<std::uint8_t> ThumbnailSpool::Read(Entry entry) const {
  std::vector<std::uint8_t> png(entry.size);
  errno = 0;
  if (fseeko(file_.get(), static_cast<off_t>(entry.offset), SEEK_SET) != 0 ||
      std::fread(png.data(), 1, png.size(), file_.get()) != png.size()) {
    throw FileErrorFromErrno("read", kSpoolName);
  }
  return png;
}

}  // namespace kovscan
