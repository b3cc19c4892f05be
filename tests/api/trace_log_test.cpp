// The trace log: switched by the profile, beside the library, one prefixed line per event.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "host_library.h"

namespace {

TEST(TraceLog, OffUnlessDebugIsExactlyOne) {
  for (const char* profile : {"", "[KOVZAFT]\n", "[KOVZAFT]\nDebug= 1\n", "[KOVZAFT]\nDebug=2\n",
                              "[KOVZAFT]\nDebug=1 \n", "[OTHER]\nDebug=1\n"}) {
    SCOPED_TRACE(profile);
    HostLibrary lib(profile);
    ASSERT_EQ(lib.SCANINIT(), 0);
    ASSERT_EQ(lib.SCANFREE(), 0);
    EXPECT_FALSE(std::filesystem::exists(lib.LogPath()));
  }
}

TEST(TraceLog, OnBesideTheLibraryWithSessionMarkAndPrefixedLines) {
  HostLibrary lib(ProfileWithDebug());
  ASSERT_EQ(lib.SCANINIT(), 0);
  ASSERT_TRUE(std::filesystem::exists(lib.LogPath()));

  const auto lines = lib.LogLines();
  ASSERT_EQ(lines.size(), 11u);
  const std::regex prefixShape(R"(t[0-9a-f]{1,5} {1,5}\d{3}h\.[0-5]\dm\.[0-5]\ds\.\d{3}> .*)");
  for (const std::string& line : lines) {
    EXPECT_TRUE(std::regex_match(line, prefixShape)) << line;
  }
  const auto messages = lib.LogMessages();
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(messages[i], "") << "line " << i;
  EXPECT_EQ(messages[10], "ScanInit called");
}

TEST(TraceLog, ADeletedLogIsCreatedAgainByTheNextLine) {
  HostLibrary lib(ProfileWithDebug());
  ASSERT_EQ(lib.SCANINIT(), 0);
  ASSERT_TRUE(std::filesystem::remove(lib.LogPath()));
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("again", 0, &handle), 0);
  const auto messages = lib.LogMessages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(), "ScanOpen called with DevName: again");
}

TEST(TraceLog, LongArgumentsAreCutToTheLineBuffer) {
  HostLibrary lib(ProfileWithDebug());
  ASSERT_EQ(lib.SCANINIT(), 0);
  const std::string longName(1000, 'N');
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN(longName.c_str(), 0, &handle), 0);
  const auto messages = lib.LogMessages();
  const std::string expected = ("ScanOpen called with DevName: " + longName).substr(0, 255);
  EXPECT_NE(std::find(messages.begin(), messages.end(), expected), messages.end());
}

TEST(TraceLog, SettingsAreReadOnceInTheLifeOfTheLoadedLibrary) {
  HostLibrary lib("[KOVZAFT]\nDebug=0\n");
  ASSERT_EQ(lib.SCANINIT(), 0);
  std::ofstream(lib.Folder() / "zaft.ini") << ProfileWithDebug();
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  EXPECT_FALSE(std::filesystem::exists(lib.LogPath()));
}

}  // namespace
