// A library with no driver loaded, the stand-in's drivers forgotten, and a profile of the
// test's own; tests load kit drivers or the virtual scanner through LoadDriver.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "api/control_block.h"
#include "pipeline/driver_loading.h"
#include "sim/kit.h"
#include "sim/switches.h"
#include "temp_folder.h"

class ScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetDrivers();
    sim::ResetSwitches();
    UseProfile("");
    usLastRc = 0;
    bKill = 0;
  }
  void TearDown() override {
    while (SCB.iRefCount > 0) UnloadDriver();
    unsetenv("ZAFT_PROFILE");
    sim::ResetSwitches();
    sim::ResetDrivers();
  }

  void UseProfile(const std::string& text) {
    TempFolder::Write(folder_ / "zaft.ini", text);
    setenv("ZAFT_PROFILE", (folder_ / "zaft.ini").c_str(), 1);
  }

  // Registers the spec and loads it as the scanner.
  void LoadKit(const sim::DriverSpec& spec) {
    sim::RegisterDriver(spec);
    ASSERT_EQ(LoadDriver(spec.Key().c_str()), 0);
  }

 private:
  TempFolder folder_;
};
