// Loading and unloading the scanner driver with everything a page needs.
#include <algorithm>
#include <string>
#include <vector>

#include "framework/errors.h"
#include "framework/messages.h"
#include "sim/barcode/barcode_component.h"
#include "tests/unit/scanner_fixture.h"

namespace {

using sim::DriverMessage;
using sim::DriverView;

sim::DriverDesign PlainScanner(const char* name = "KITA") {
  sim::DriverDesign design(name);
  design.Text(kTagScannerId, "Kit scanner").Integer(kTagFeederStatus, 0);
  return design;
}

bool Received(const DriverView& view, std::uint32_t code, std::uint16_t tag = 0) {
  const auto messages = view.Messages();
  return std::find(messages.begin(), messages.end(), DriverMessage{code, tag}) != messages.end();
}

using DriverLoading = ScannerTest;

TEST_F(DriverLoading, LoadsAreCountedAndTheLastUnloadTearsEverythingDown) {
  LoadKit(PlainScanner());
  ASSERT_EQ(LoadDriver("KITA"), 0);
  EXPECT_EQ(SCB.iRefCount, 2);
  EXPECT_EQ(DriverView("KITA").TimesLoaded(), 1u) << "the second load only counts";

  UnloadDriver();
  EXPECT_EQ(DriverView("KITA").LoadedNow(), 1u);
  EXPECT_EQ(sim::LiveBarcodeReaders(), 1u);
  UnloadDriver();
  EXPECT_EQ(SCB.iRefCount, 0);
  EXPECT_EQ(DriverView("KITA").LoadedNow(), 0u);
  EXPECT_EQ(DriverView("FROMQELM").LoadedNow(), 0u);
  EXPECT_EQ(DriverView("QELMZAFT").LoadedNow(), 0u);
  EXPECT_EQ(sim::LiveBarcodeReaders(), 0u);
  EXPECT_EQ(SCB.pBarcode, nullptr);

  const std::vector<std::string> expected = {"  In loaddriver... ",
                                             "  In loaddriver - driver not already loaded",
                                             "  In loaddriver - trying to load KITA",
                                             "   LoadDriver: ZAFT Driver Name == KITA",
                                             "   LoadDriver: finished call to QelDrvLoad",
                                             "   LoadDriver: finished call to QelDrvInitialize",
                                             "   LoadDriver: finished call to CoInitialize",
                                             "   LoadDriver: finished call to CoCreateInstance",
                                             "   LoadDriver: finished call to GetState",
                                             "   Loading FROMQELM",
                                             "  Successful",
                                             "   Loading QELMZAFT",
                                             "   QelDrvLoad of QELMZAFT succeeded",
                                             "   LoadDriver: load succeeded",
                                             "  In loaddriver... ",
                                             "  In loaddriver - driver already loaded",
                                             "  unload driver - refcount decremented ",
                                             "   at UnloadDriver",
                                             "   UnloadDriver: finished call to QelDrvUnload",
                                             "   UnloadDriver: finished call to Release",
                                             "   Unloading FROMQELM",
                                             "  Successful",
                                             "   Unloading QELMZAFT",
                                             "  Successful",
                                             "  unload driver - driver unloaded"};
  EXPECT_EQ(TraceLines(), expected);
}

TEST_F(DriverLoading, AnotherDriverWhileOneIsLoadedIsRefused) {
  LoadKit(PlainScanner());
  sim::RegisterDriver(PlainScanner("KITB"));
  EXPECT_EQ(LoadDriver("KITB"), -1);
  EXPECT_EQ(usLastRc, RC_SCAN_INVALID_DEVICE_NAME);
  EXPECT_EQ(SCB.iRefCount, 1);
  EXPECT_EQ(DriverView("KITB").TimesLoaded(), 0u);
}

TEST_F(DriverLoading, FailedLoadsLeaveNothingLoadedAndSayWhy) {
  EXPECT_EQ(LoadDriver("NOSUCH"), -1);
  EXPECT_EQ(usLastRc, RC_SCAN_ZAFT_ERROR);

  usLastRc = 0;
  EXPECT_EQ(LoadDriver("NAMEOFNINE"), -1) << "a name longer than eight characters";
  EXPECT_EQ(usLastRc, RC_SCAN_INVALID_DEVICE_NAME);

  sim::DriverDesign refusing = PlainScanner();
  refusing.RefuseInit(kErrDriverFailure);
  sim::RegisterDriver(refusing);
  usLastRc = 0;
  EXPECT_EQ(LoadDriver("KITA"), -1);
  EXPECT_EQ(usLastRc, RC_SCAN_ZAFT_ERROR);
  EXPECT_EQ(DriverView("KITA").LoadedNow(), 0u);
  EXPECT_EQ(SCB.iRefCount, 0);
}

TEST_F(DriverLoading, FailuresAfterTheScannerLoadedUndoTheWholeLoad) {
  sim::RegisterDriver(PlainScanner());
  struct Case {
    sim::Op op;
    std::uint32_t call;
    std::uint16_t expectedRc;
  };
  for (const Case& failing : {Case{sim::Op::BarcodeCreate, 1, RC_SCAN_DEVICE_ERROR},
                              Case{sim::Op::BarcodeGetState, 1, RC_SCAN_DEVICE_ERROR},
                              Case{sim::Op::DrvLoad, 2, RC_SCAN_ZAFT_ERROR},
                              Case{sim::Op::DrvLoad, 3, RC_SCAN_ZAFT_ERROR}}) {
    SCOPED_TRACE(std::string(sim::NameOf(failing.op)) + " call " + std::to_string(failing.call));
    usLastRc = 0;
    sim::FailNext(failing.op, failing.call);
    EXPECT_EQ(LoadDriver("KITA"), -1);
    EXPECT_EQ(usLastRc, failing.expectedRc) << "a failed load is never reported as success";
    EXPECT_EQ(SCB.iRefCount, 0);
    EXPECT_EQ(DriverView("KITA").LoadedNow(), 0u);
    EXPECT_EQ(DriverView("FROMQELM").LoadedNow(), 0u);
    EXPECT_EQ(DriverView("QELMZAFT").LoadedNow(), 0u);
    EXPECT_EQ(sim::LiveBarcodeReaders(), 0u);
    EXPECT_EQ(SCB.pBarcode, nullptr);
  }
  EXPECT_TRUE(Traced("   Could not create barcode detection instance.  possibly old QELIP.QXN"));
  EXPECT_TRUE(Traced("   Could not get barcode detection state.  possibly old QELIP.QXN"));
  EXPECT_TRUE(Traced("  Load of FROMQELM returned "));
  EXPECT_TRUE(Traced("   Load of QELMZAFT returned "));
  EXPECT_EQ(LoadDriver("KITA"), 0) << "and a later load works";
}

TEST_F(DriverLoading, AnImageDriverLoadedAndAlreadySetUpIsLoaded) {
  sim::RegisterDriver(sim::DriverDesign("FROMQELM").SetUpAtLoad());
  LoadKit(PlainScanner());
  EXPECT_EQ(usLastRc, 0);
  EXPECT_EQ(SCB.iRefCount, 1);
  EXPECT_EQ(DriverView("FROMQELM").LoadedNow(), 1u);
  EXPECT_TRUE(Traced("   LoadDriver: load succeeded"));
}

TEST_F(DriverLoading, ClearBuffersChoosesTheInitialisationAndTheScanAheadClear) {
  LoadKit(PlainScanner());
  EXPECT_EQ(DriverView("KITA").LastSetup(), 2u);
  SCB.bScannedSinceLoad = 1;
  UnloadDriver();
  EXPECT_FALSE(Received(DriverView("KITA"), scanaheadclear));

  UseProfile("[KOVZAFT]\nClearBuffers=1\n");
  sim::ResetDrivers();
  LoadKit(PlainScanner());
  EXPECT_EQ(DriverView("KITA").LastSetup(), 0u);
  UnloadDriver();
  EXPECT_FALSE(Received(DriverView("KITA"), scanaheadclear)) << "no page was run";

  ASSERT_EQ(LoadDriver("KITA"), 0);
  SCB.bScannedSinceLoad = 1;
  UnloadDriver();
  EXPECT_TRUE(Received(DriverView("KITA"), scanaheadclear));
  EXPECT_TRUE(Traced("   before scanaheadclear"));
  EXPECT_TRUE(Traced("   after scanaheadclear"));
}

TEST_F(DriverLoading, SendingParametersAndPausingFollowTheScannersTags) {
  sim::DriverDesign sender = PlainScanner();
  sender.Integer(kTagSendParams, 0).Integer(kTagSendParamsMode, 0);
  LoadKit(sender);
  EXPECT_EQ(SCB.bSendParams, 1);
  EXPECT_EQ(SCB.bCanPause, 1);
  EXPECT_EQ(DriverView("KITA").Integer(kTagSendParamsMode), 1);
  UnloadDriver();

  sim::DriverDesign pausing("KITB");
  pausing.Text(kTagScannerId, "B").Integer(kTagFeederStatus, 0x200000, {}, {}, TiffType::Long);
  LoadKit(pausing);
  EXPECT_EQ(SCB.bSendParams, 0);
  EXPECT_EQ(SCB.bCanPause, 1);
  EXPECT_FALSE(Received(DriverView("KITB"), QelDrvSetTag, kTagSendParamsMode));
  UnloadDriver();

  LoadKit(PlainScanner("KITC"));
  EXPECT_EQ(SCB.bCanPause, 0);
}

TEST_F(DriverLoading, TheAbortCallbackAnswersTheKillFlag) {
  LoadKit(PlainScanner());
  const QelAbortPoll poll = DriverView("KITA").AbortPoll();
  ASSERT_NE(poll, nullptr);
  EXPECT_EQ(poll(), 0);
  bKill = 1;
  EXPECT_EQ(poll(), kErrAborted);
}

}  // namespace
