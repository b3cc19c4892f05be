// The feeder flags and the host's feeder value, from the scanner's scan type and status.
#include "pipeline/feeder_options.h"

#include "framework/driver_calls.h"
#include "tests/unit/scanner_fixture.h"

namespace {

struct Result {
  std::int32_t shouldCheckFeeder = -7, pauseForEachPage = -7, canDoSingle = -7,
               canDoContinuous = -7, hasDuplex = -7, setForDuplex = -7;
  std::int32_t rc = -7;
};

class FeederOptionsTest : public ScannerTest {
 protected:
  // Loads a scanner with the given status and, unless scanType is none, a scan type and
  // choices.
  void Load(std::int32_t status, std::optional<std::int32_t> scanType = std::nullopt,
            const std::vector<std::int32_t>& choices = {}) {
    sim::DriverDesign design("KITA");
    design.Integer(kTagFeederStatus, status, {}, {}, TiffType::Long).Accept(QelDrvPageLoaded);
    if (scanType) design.Integer(tag_scantype, *scanType, choices);
    LoadKit(design);
  }
  Result Options(bool askPageFlags = true) {
    Result r;
    FeederOptions options;
    if (askPageFlags) {
      options.bshouldcheckfeeder = &r.shouldCheckFeeder;
      options.bpauseforeachpage = &r.pauseForEachPage;
    }
    options.bcandosingle = &r.canDoSingle;
    options.bcandocontinuous = &r.canDoContinuous;
    options.bhasduplex = &r.hasDuplex;
    options.bsetforduplex = &r.setForDuplex;
    r.rc = GetFeederOptions(options);
    return r;
  }
};

TEST_F(FeederOptionsTest, StatusRowsWithoutScanType) {
  struct Row {
    std::int32_t status, check, pause, single, continuous;
  };
  for (const Row& row :
       {Row{0x00001, 0, 0, 0, 1}, Row{0x00002, 0, 1, 1, 0}, Row{0x10001, 1, 0, 0, 1},
        Row{0x00003, 0, 1, 1, 1}, Row{0x10003, 0, 1, 1, 1}}) {
    SCOPED_TRACE(row.status);
    Load(row.status);
    const Result r = Options();
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.shouldCheckFeeder, row.check);
    EXPECT_EQ(r.pauseForEachPage, row.pause);
    EXPECT_EQ(r.canDoSingle, row.single);
    EXPECT_EQ(r.canDoContinuous, row.continuous);
    EXPECT_EQ(r.hasDuplex, 0);
    EXPECT_EQ(r.setForDuplex, 0);
    UnloadDriver();
  }
  EXPECT_TRUE(Traced("           Scantype not supported - pretending automatic"));

  Load(0);
  const Result none = Options();
  EXPECT_EQ(none.shouldCheckFeeder, 0) << "status 0: scan without asking for a page";
  EXPECT_EQ(none.pauseForEachPage, 1);
  EXPECT_EQ(none.canDoSingle, -7) << "left as the caller had it";
  EXPECT_TRUE(Traced("           GetFeederOptions 10"));
}

TEST_F(FeederOptionsTest, BothFeedingKindsByScanType) {
  Load(0x10003, 4, {2, 3, 4});
  Result r = Options();
  EXPECT_EQ(r.shouldCheckFeeder, 1);
  EXPECT_EQ(r.pauseForEachPage, 0);
  EXPECT_EQ(r.hasDuplex, 1);
  EXPECT_EQ(r.setForDuplex, 1);
  UnloadDriver();

  Load(0x10003, 2, {2, 3});
  r = Options();
  EXPECT_EQ(r.shouldCheckFeeder, 0);
  EXPECT_EQ(r.pauseForEachPage, 1);
  EXPECT_EQ(r.hasDuplex, 0) << "defined even without a duplex choice";
  UnloadDriver();

  Load(0x00003, 3, {3});
  r = Options();
  EXPECT_EQ(r.shouldCheckFeeder, 0) << "bit 16 clear";
  EXPECT_EQ(r.pauseForEachPage, 0);
}

TEST_F(FeederOptionsTest, AutomaticSwitchesToTheFeederWhenThereIsOne) {
  Load(0x00002, 0, {2, 3});
  EXPECT_EQ(Options().setForDuplex, 0);
  EXPECT_EQ(sim::DriverView("KITA").Integer(tag_scantype), 3);
  UnloadDriver();

  Load(0x00002, 0, {2});
  EXPECT_EQ(Options().setForDuplex, 0);
  EXPECT_EQ(sim::DriverView("KITA").Integer(tag_scantype), 0);
}

TEST_F(FeederOptionsTest, AutomaticWithAskingFeederQueriesThePage) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagFeederStatus, 0x10003, {}, {}, TiffType::Long).Integer(tag_scantype, 0, {2});
  design.Accept(QelDrvPageLoaded);
  design.FailMessage(QelDrvPageLoaded, sim::kAnyTag, kErrNoPage);
  LoadKit(design);
  EXPECT_EQ(Options(false).rc, 0) << "no page flags asked: no page query";
  EXPECT_TRUE(Traced("           GetFeederOptions 9"));
  usLastRc = 0;
  EXPECT_EQ(Options().rc, 1);
  EXPECT_EQ(usLastRc, RC_SCAN_ZAFT_ERROR);
}

TEST_F(FeederOptionsTest, FeederValuesByScanType) {
  struct Row {
    std::optional<std::int32_t> scanType;
    std::int16_t sentFeeder, feeder, duplex;
  };
  for (const Row& row : {Row{std::nullopt, 0, -1, 0}, Row{std::nullopt, 1, 0, 0}, Row{0, 0, -1, 0},
                         Row{2, 1, -1, 0}, Row{3, 0, 1, 0}, Row{5, 0, 1, 1}}) {
    SCOPED_TRACE(row.scanType.value_or(-100));
    Load(0x3, row.scanType, {});
    SCB.sFeederAtSend = row.sentFeeder;
    std::int16_t feeder = 99, duplex = 99;
    FeederParmValues(feeder, duplex);
    EXPECT_EQ(feeder, row.feeder);
    EXPECT_EQ(duplex, row.duplex);
    UnloadDriver();
  }
  SCB.sFeederAtSend = 0;
}

}  // namespace
