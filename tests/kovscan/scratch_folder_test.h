// The fixture of the tests that run kovscan into folders of their own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/kovscan/program.h"

namespace kovscan_test {

// A test with a scratch folder of its own, removed after it.
class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::filesystem::path folder;
};

}  // namespace kovscan_test
