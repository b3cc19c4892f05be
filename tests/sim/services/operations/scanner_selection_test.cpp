// The framework's scanner selection, from the profile in a temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/qel.h"
#include "sim/kit/kit.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/switches.h"
#include "tests/sim/temp_folder.h"

namespace {

using sim::Op;
using sim::error::kNoScannerSelected;

class ScannerSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetSwitches();
    setenv("ZAFT_PROFILE", profile_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ZAFT_PROFILE");
    sim::ResetSwitches();
    sim::ResetDrivers();
  }

  // The name as the library asks for it, in a buffer of the library's size.
  static std::string Name() {
    char name[260];
    std::strcpy(name, "stale");
    const auto result = GetScanName(nullptr, name, sizeof name);
    return result == 0 ? std::string(name) : "failed " + std::to_string(result) + " " + name;
  }

  static std::string ErrorText() {
    char text[512] = "";
    QelErrorText(0, nullptr, kNoScannerSelected, text, sizeof text);
    return text;
  }

  TempFolder folder_;
  std::filesystem::path profile_ = folder_ / "zaft.ini";
};

TEST_F(ScannerSelection, TheSelectionIsTheProfilesScannerKeyAsItIsNow) {
  TempFolder::Write(profile_, "[ZAFT]\nScanner= Sheets \n[SHEETS]\nType=VirtualScanner\n");
  EXPECT_EQ(QelSelectScanner(nullptr), 0);
  ASSERT_EQ(Name(), "Sheets") << "trimmed, case kept";
  DriverRecord driver{};
  EXPECT_EQ(QelDrvLoad(0, Name().c_str(), &driver, kQelLoadByName), 0) << "a loadable name";
  EXPECT_EQ(QelDrvUnload(&driver), 0);

  TempFolder::Write(profile_, "[zaft]\nscanner=VSCAN\n");
  EXPECT_EQ(Name(), "VSCAN");
  // A name no driver can have is still given, for the caller's bounds to be tried.
  TempFolder::Write(profile_, "[ZAFT]\nScanner=ALONGERNAMETHANEIGHT\n");
  EXPECT_EQ(QelSelectScanner(nullptr), 0);
  EXPECT_EQ(Name(), "ALONGERNAMETHANEIGHT");
}

TEST_F(ScannerSelection, TheNameIsCutToTheBuffer) {
  TempFolder::Write(profile_, "[ZAFT]\nScanner=FLATBED\n");
  char name[8];
  std::memset(name, 'z', sizeof name);
  EXPECT_EQ(GetScanName(nullptr, name, 4), 0);
  EXPECT_STREQ(name, "FLA");
  EXPECT_EQ(name[4], 'z');
  EXPECT_EQ(GetScanName(nullptr, name, 1), 0);
  EXPECT_STREQ(name, "");
}

TEST_F(ScannerSelection, WithoutASelectionBothFailAndNoNameIsLeft) {
  for (const char* profile :
       {"", "[KOVZAFT]\nScanner=VSCAN\n", "[ZAFT]\nDebug=1\n", "[ZAFT]\nScanner=  \n"}) {
    TempFolder::Write(profile_, profile);
    EXPECT_EQ(QelSelectScanner(nullptr), kNoScannerSelected) << profile;
    EXPECT_EQ(Name(), "failed " + std::to_string(kNoScannerSelected) + " ") << profile;
  }
  EXPECT_EQ(ErrorText(), "No scanner is selected: the profile " + profile_.string() +
                             " names none ([ZAFT] Scanner=)");
  std::filesystem::remove(profile_);
  EXPECT_EQ(QelSelectScanner(nullptr), kNoScannerSelected) << "no profile at all";
  EXPECT_EQ(Name(), "failed " + std::to_string(kNoScannerSelected) + " ");
  EXPECT_EQ(ErrorText(),
            "No scanner is selected: the profile " + profile_.string() + " was not found");
}

TEST_F(ScannerSelection, NoBufferIsAnInvalidArgument) {
  TempFolder::Write(profile_, "[ZAFT]\nScanner=VSCAN\n");
  char name[8] = "stale";
  EXPECT_EQ(GetScanName(nullptr, nullptr, 8), sim::error::kInvalidArgument);
  EXPECT_EQ(GetScanName(nullptr, name, 0), sim::error::kInvalidArgument);
  EXPECT_EQ(GetScanName(nullptr, name, -1), sim::error::kInvalidArgument);
  EXPECT_STREQ(name, "stale");
}

TEST_F(ScannerSelection, SwitchesFailEachCallOnceAsIfNothingWereSelected) {
  TempFolder::Write(profile_, "[ZAFT]\nScanner=VSCAN\n");
  sim::FailNext(Op::SelectScanner);
  EXPECT_EQ(QelSelectScanner(nullptr), sim::FailureValue(Op::SelectScanner));
  EXPECT_EQ(QelSelectScanner(nullptr), 0);

  sim::FailNext(Op::GetScanName, 2);
  EXPECT_EQ(Name(), "VSCAN");
  EXPECT_EQ(Name(), "failed " + std::to_string(kNoScannerSelected) + " ");
  EXPECT_EQ(Name(), "VSCAN");
  EXPECT_EQ(sim::CallCount(Op::SelectScanner), 2u);
  EXPECT_EQ(sim::CallCount(Op::GetScanName), 3u);
}

}  // namespace
