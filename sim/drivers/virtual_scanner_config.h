// A virtual scanner's description: its profile section, or the defaults alone, read into the
// lists, sizes and switches the scanner is built from. docs/configuration.md lists the keys.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/services/text/ini_text.h"

namespace sim {

// Lengths in thousandths of an inch, so that sizes such as 8.27 inches stay exact.
using MilliInches = std::int64_t;

struct Page {
  std::string name;
  MilliInches width = 0;
  MilliInches length = 0;
};

struct BitDepth {
  std::int32_t samples = 1;
  std::int32_t bits = 1;
};

struct Config {
  std::string id;
  std::vector<std::int32_t> resolutions;
  std::vector<BitDepth> depths;
  MilliInches maxWidth = 0;
  MilliInches maxLength = 0;
  std::int32_t widthStep = 1;
  std::int32_t lengthStep = 1;
  std::vector<Page> pages;              // empty: no page-size tag
  std::vector<std::int32_t> scanTypes;  // empty: no scan-type tag
  std::int32_t feederStatus = 0;
  std::int32_t scanAhead = 0;
  std::vector<std::int32_t> jobSeparators;
  std::int32_t sendParams = 0;
  std::int32_t pageLevelTag = 0;
  std::int32_t pageSideTag = 0;
  std::optional<std::int32_t> keyQualifier;
  std::optional<std::int32_t> keyQualifierAlt;
  std::vector<std::int32_t> compressions;
  std::int32_t feederPages = 0;
  std::filesystem::path imageFolder;  // empty: blank pages
  std::int32_t imageDpi = 300;
};

// The description in the profile's section `name`, every key missing there taking its
// default; the defaults alone without a profile. None when a value is not one its key takes.
std::optional<Config> ReadConfig(const IniText* profile, std::string_view name);

}  // namespace sim
