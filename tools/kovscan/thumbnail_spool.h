// The batch's thumbnails, kept in an unnamed temporary file until the report takes them, so
// that a batch of thousands of pages holds none of them in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace kovscan {

class ThumbnailSpool {
 public:
  // Where a thumbnail lies in the spool; empty for none.
  struct Entry {
    std::uint64_t offset = 0;
    std::size_t size = 0;
  };

  // Throws FileError when no temporary file can be made.
  ThumbnailSpool();
  // Throws FileError when it cannot be kept.
  Entry Add(const std::vector<std::uint8_t>& picture);
  // Throws FileError when it cannot be read back.
  std::vector<std::uint8_t> Read(Entry entry) const;

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::uint64_t end_ = 0;
};

}  // namespace kovscan
