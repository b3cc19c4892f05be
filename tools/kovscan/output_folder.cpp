#include "tools/kovscan/output_folder.h"

#include <cstdio>
#include <cstring>
#include <regex>
#include <stdexcept>
#include <vector>

#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

struct OwnNames {
  const char* folder;  // within the output folder
  std::regex names;
};

const OwnNames kOwnNames[] = {
    {".", std::regex(R"(manifest\.json|report\.html)")},
    {"pages", std::regex(R"(page-[0-9]+\.(tif|jpg))")},
    {"documents", std::regex(R"(.+\.(tif|pdf))")},  // named by barcodes, so any name
    {"thumbnails", std::regex(R"(page-[0-9]+\.jpg)")},
    {kTextLayerFolder, std::regex(R"(page-[0-9]+\.pdf)")},  // left by a run that was killed
};

// A file left unfinished is known by the name it was to have.
bool IsOwn(const std::filesystem::path& file, const std::regex& names) {
  std::string name = file.filename().string();
  if (name.ends_with(kPartSuffix)) name.resize(name.size() - std::strlen(kPartSuffix));
  return std::regex_match(name, names);
}

void CreateFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error)
    throw FileError("cannot create the folder " + folder.string() + ": " + error.message());
}

// kovscan's files in the folder: pages, documents, manifest, report, unfinished files.
std::vector<std::filesystem::path> OwnFiles(const std::filesystem::path& out) {
  std::vector<std::filesystem::path> files;
  for (const OwnNames& own : kOwnNames) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(out / own.folder, error)) {
      if (entry.is_regular_file(error) && IsOwn(entry.path(), own.names))
        files.push_back(entry.path());
    }
  }
  return files;
}

}  // namespace

void PrepareOutputFolder(const std::filesystem::path& out, bool overwrite) {
  std::error_code error;
  if (std::filesystem::exists(out, error) && !std::filesystem::is_directory(out, error)) {
    throw FileError("cannot use " + out.string() + " as the output folder: it is not a folder");
  }
  const std::vector<std::filesystem::path> earlier = OwnFiles(out);
  if (!earlier.empty() && !overwrite) {
    throw std::invalid_argument(out.string() + " holds an earlier batch (" +
                                std::to_string(earlier.size()) +
                                " files kovscan wrote); give --overwrite to replace it, or "
                                "another --out");
  }
  for (const std::filesystem::path& file : earlier) {
    if (!std::filesystem::remove(file, error)) {
      throw FileError("cannot remove " + file.string() + ": " + error.message());
    }
  }
  if (!earlier.empty()) {
    std::fprintf(stderr, "kovscan: --overwrite: removed the earlier batch from %s (%zu files)\n",
                 out.string().c_str(), earlier.size());
  }
  CreateFolder(out / "pages");
  CreateFolder(out / "documents");
  CreateFolder(out / "thumbnails");
}

}  // namespace kovscan
