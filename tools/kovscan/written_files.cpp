#include "tools/kovscan/written_files.h"

#include <cerrno>

#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

constexpr const char* kHeading =
    "# The files kovscan wrote in this folder; --overwrite removes these and nothing else.\n";

}  // namespace

WrittenFiles::WrittenFiles(std::filesystem::path folder) : folder_(std::move(folder)) {
  errno = 0;
  list_.open(folder_ / kListName, std::ios::binary | std::ios::trunc);
  list_ << kHeading << std::flush;
  if (!list_) throw FileErrorFromErrno("write", folder_ / kListName);
}

void WrittenFiles::Note(const std::filesystem::path& file) {
  const std::lock_guard lock(mutex_);
  errno = 0;
  // Flushed at once: a run that is killed leaves its list whole up to its last file.
  list_ << file.lexically_relative(folder_).generic_string() << '\n' << std::flush;
  if (!list_) throw FileErrorFromErrno("write", folder_ / kListName);
}

std::set<std::string> WrittenFiles::Listed(const std::filesystem::path& folder) {
  std::set<std::string> files;
  std::ifstream list(folder / kListName, std::ios::binary);
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.front() != '#') files.insert(line);
  }
  return files;
}

}  // namespace kovscan
