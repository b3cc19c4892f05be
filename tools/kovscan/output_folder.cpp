#include "tools/kovscan/output_folder.h"

#include <algorithm>
#include <cstdio>

#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

// The foreign names shown in a refusal; the rest counted.
constexpr std::size_t kNamesShown = 5;

struct Contents {
  std::vector<std::filesystem::path> own;  // listed as kovscan's
  std::vector<std::string> foreign;        // relative to the folder
};

bool IsRegularFile(const std::filesystem::directory_entry& entry) {
  std::error_code error;
  return entry.symlink_status(error).type() == std::filesystem::file_type::regular;
}

bool IsFolder(const std::filesystem::directory_entry& entry) {
  std::error_code error;
  return entry.symlink_status(error).type() == std::filesystem::file_type::directory;
}

std::filesystem::directory_iterator Entries(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  if (error) throw FileError("cannot read the folder " + folder.string() + ": " + error.message());
  return entries;
}

// Sorts each entry into kovscan's own (a file its list names, the list, one of its subfolders)
// or not; only kovscan's subfolders are looked into, and symbolic links are never its own.
Contents Survey(const std::filesystem::path& folder, std::vector<std::string> subfolders) {
  subfolders.emplace_back(kTextLayerFolder);  // made when needed
  const std::set<std::string> listed = WrittenFiles::Listed(folder);
  Contents contents;
  const auto sort = [&](const std::filesystem::directory_entry& entry, const std::string& name) {
    if (IsRegularFile(entry) && listed.contains(name)) {
      contents.own.push_back(entry.path());
    } else {
      contents.foreign.push_back(IsFolder(entry) ? name + "/" : name);
    }
  };
  for (const auto& entry : Entries(folder)) {
    const std::string name = entry.path().filename().string();
    if (name == WrittenFiles::kListName && IsRegularFile(entry)) continue;
    if (IsFolder(entry) &&
        std::find(subfolders.begin(), subfolders.end(), name) != subfolders.end()) {
      for (const auto& inner : Entries(entry.path())) {
        sort(inner, name + "/" + inner.path().filename().string());
      }
      continue;
    }
    sort(entry, name);
  }
  std::sort(contents.foreign.begin(), contents.foreign.end());
  return contents;
}

std::string NamesText(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t at = 0; at < std::min(names.size(), kNamesShown); ++at) {
    text += (at == 0 ? "" : ", ") + names[at];
  }
  if (names.size() > kNamesShown) {
    text += " and " + std::to_string(names.size() - kNamesShown) + " more";
  }
  return text;
}

void CreateFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error)
    throw FileError("cannot create the folder " + folder.string() + ": " + error.message());
}

}  // namespace

OutputFolder::OutputFolder(std::filesystem::path path, std::vector<std::string> subfolders,
                           bool overwrite)
    : path_(std::move(path)), subfolders_(std::move(subfolders)) {
  if (path_.empty()) {
    throw ArgumentError("an empty name is no folder: name one (. for the current folder)");
  }
  std::error_code error;
  const auto status = std::filesystem::status(path_, error);
  if (status.type() == std::filesystem::file_type::not_found) return;
  if (status.type() != std::filesystem::file_type::directory) {
    throw FileError("cannot use " + path_.string() + " as the output folder: it is not a folder");
  }
  Contents contents = Survey(path_, subfolders_);
  if (!contents.foreign.empty()) {
    throw ArgumentError(path_.string() +
                        " holds what kovscan did not write there: " + NamesText(contents.foreign) +
                        "; kovscan writes into a new or empty folder, or one holding only its "
                        "own earlier batch");
  }
  if (!contents.own.empty() && !overwrite) {
    throw ArgumentError(path_.string() + " holds an earlier batch (" +
                        std::to_string(contents.own.size()) +
                        " files kovscan wrote); give --overwrite to replace it, or another "
                        "folder");
  }
  earlier_ = std::move(contents.own);
}

WrittenFiles& OutputFolder::Make() {
  for (const std::filesystem::path& file : earlier_) {
    std::error_code error;
    if (!std::filesystem::remove(file, error) && error) {
      throw FileError("cannot remove " + file.string() + ": " + error.message());
    }
  }
  if (!earlier_.empty()) {
    std::fprintf(stderr, "kovscan: --overwrite: removed the earlier batch from %s (%zu files)\n",
                 path_.string().c_str(), earlier_.size());
  }
  CreateFolder(path_);
  for (const std::string& subfolder : subfolders_) CreateFolder(path_ / subfolder);
  return written_.emplace(path_);
}

}  // namespace kovscan
