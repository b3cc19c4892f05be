#include "host_library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <utility>
#include <vector>

#include "sim/services/faults/switches.h"

namespace {

std::filesystem::path MakePrivateFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kovhost.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

}  // namespace

HostLibrary::HostLibrary(std::string_view profileText) : folder_(MakePrivateFolder()) {
  sim::ResetSwitches();
  const auto library = folder_ / "libKOVZAFT2.so";
  std::filesystem::copy_file(KOVZAFT2_LIBRARY, library);
  const auto profile = folder_ / "zaft.ini";
  std::ofstream(profile) << profileText;
  setenv("ZAFT_PROFILE", profile.c_str(), 1);

  handle_ = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw std::runtime_error(dlerror());
#define KOV_RESOLVE_EXPORT(name)                                    \
  (name) = reinterpret_cast<decltype(name)>(dlsym(handle_, #name)); \
  if ((name) == nullptr) throw std::runtime_error("missing export " #name);
  KOV_FOR_EACH_EXPORT(KOV_RESOLVE_EXPORT)
#undef KOV_RESOLVE_EXPORT
}

HostLibrary::~HostLibrary() {
  // A test that left the library initialised must not leave its worker behind.
  if (SCANFREE != nullptr) SCANFREE();
  sim::ResetSwitches();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> HostLibrary::LogLines() const {
  std::ifstream file(LogPath(), std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  std::vector<std::string> lines;
  std::string all = content.str();
  for (std::size_t start = 0; start < all.size();) {
    const std::size_t end = all.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "log line without CR LF: " << all.substr(start);
      break;
    }
    lines.push_back(all.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> HostLibrary::LogMessages() const {
  static const std::regex prefix(R"(^t[0-9a-f]+ +\d{3}h\.\d{2}m\.\d{2}s\.\d{3}> )");
  std::vector<std::string> messages;
  for (const std::string& line : LogLines()) {
    std::smatch match;
    if (!std::regex_search(line, match, prefix)) {
      ADD_FAILURE() << "log line without prefix: " << line;
      continue;
    }
    messages.push_back(match.suffix());
  }
  return messages;
}

std::string HostLibrary::LastErrorText() {
  char text[512] = {};
  return SCANLASTERROR(text, sizeof text) == 0 ? std::string(text) : std::string();
}

std::string ProfileWithDebug(std::string_view extraKovzaftKeys) {
  return "[KOVZAFT]\nDebug=1\n" + std::string(extraKovzaftKeys);
}

std::string RecordSetting(const ParmRecord& record, const std::string& name) {
  std::string_view area(record.achSettings, sizeof record.achSettings);
  for (std::size_t at = 0; at < area.size() && area[at] != '\0';) {
    const std::string_view key = area.substr(at, area.find('\0', at) - at);
    at += key.size() + 1;
    const std::string_view value = area.substr(at, area.find('\0', at) - at);
    at += value.size() + 1;
    if (key == name) return std::string(value);
  }
  return "<none>";
}

void ReplaceSetting(ParmRecord& record, const std::string& name, const std::string& value) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::string_view area(record.achSettings, sizeof record.achSettings);
  for (std::size_t at = 0; at < area.size() && area[at] != '\0';) {
    const std::string key(area.substr(at, area.find('\0', at) - at));
    at += key.size() + 1;
    const std::string old(area.substr(at, area.find('\0', at) - at));
    at += old.size() + 1;
    entries.emplace_back(key, key == name ? value : old);
  }
  if (std::none_of(entries.begin(), entries.end(),
                   [&](const auto& e) { return e.first == name; })) {
    entries.emplace_back(name, value);
  }
  std::string text;
  for (const auto& [key, text_value] : entries) text += key + '\0' + text_value + '\0';
  std::memset(record.achSettings, 0, sizeof record.achSettings);
  std::memcpy(record.achSettings, text.data(), text.size());
  record.sSettingsLen = static_cast<std::uint16_t>(text.size());
}
