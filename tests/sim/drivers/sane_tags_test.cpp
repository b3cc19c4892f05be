// The scan types SANE sources stand for, by the names real backends give them: the test
// backend offers no duplex source, so the names are checked here.
#include "sim/drivers/sane_tags.h"

#include <gtest/gtest.h>

namespace {

TEST(SaneSources, NamesOfRealBackendsGiveTheirScanTypes) {
  for (const char* duplex : {"ADF Duplex", "Duplex", "Automatic Document Feeder(left aligned,Duplex)",
                             "ADF - Duplex"}) {
    EXPECT_EQ(sim::ScanTypeOf(duplex), 4) << duplex;
  }
  for (const char* feeder : {"ADF", "ADF Front", "ADF Back", "Automatic Document Feeder",
                             "Auto Document Feeder", "adf"}) {
    EXPECT_EQ(sim::ScanTypeOf(feeder), 3) << feeder;
  }
  for (const char* flatbed : {"Flatbed", "FB", "Platen", "Document Table"}) {
    EXPECT_EQ(sim::ScanTypeOf(flatbed), 2) << flatbed;
  }
  for (const char* other : {"Transparency Unit", "Film", "", "FBX"}) {
    EXPECT_EQ(sim::ScanTypeOf(other), 0) << other;
  }
}

}  // namespace
