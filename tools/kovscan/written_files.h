// The files kovscan writes into a folder, listed in the folder itself (kovscan-files.txt),
// each before it is made: a later run knows kovscan's own files there exactly, even after a
// run that was killed, and removes those and nothing else.
#pragma once

#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>

namespace kovscan {

class WrittenFiles {
 public:
  static constexpr const char* kListName = "kovscan-files.txt";

  // A new list in the folder, in place of one there. Throws FileError.
  explicit WrittenFiles(std::filesystem::path folder);

  // `file`, a path in the folder, listed before it is made; from any thread. Throws FileError.
  void Note(const std::filesystem::path& file);

  // The files the folder's list names, relative to it with '/' between names; none without a
  // list.
  static std::set<std::string> Listed(const std::filesystem::path& folder);

 private:
  std::filesystem::path folder_;
  std::mutex mutex_;
  std::ofstream list_;
};

}  // namespace kovscan
