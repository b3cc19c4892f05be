// Loading, initialising and unloading drivers, the kit's bookkeeping and failures, and the
// context an in-process driver gets.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "framework/driver_calls.h"
#include "sim/kit/kit.h"
#include "sim/services/driver_model/driver_registry.h"
#include "sim/services/faults/errors.h"
#include "sim/services/faults/switches.h"

namespace {

using sim::DriverMessage;
using sim::Op;
using sim::error::kDriverNotFound;

class DriverLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetDrivers();
    sim::ResetSwitches();
    sim::RegisterDriver(sim::DriverDesign("KITA")
                            .Integer(kTagSamplesPerPixel, 1, {1, 3})
                            .Integer(kTagKeyQualifier, 1));
  }
  void TearDown() override {
    sim::ResetDrivers();
    sim::ResetSwitches();
  }

  static std::int32_t Load(const char* name, DriverRecord& driver) {
    return QelDrvLoad(0, name, &driver, kQelLoadByName);
  }
  static bool Untouched(const DriverRecord& driver) {
    DriverRecord pattern;
    std::memset(&pattern, 0xAB, sizeof pattern);
    return std::memcmp(&driver, &pattern, sizeof pattern) == 0;
  }
  static DriverRecord Stale() {
    DriverRecord driver;
    std::memset(&driver, 0xAB, sizeof driver);
    return driver;
  }
};

TEST_F(DriverLoading, UnknownNamesLeaveTheRecordUntouched) {
  for (const char* name : {"NOPE", "", "KITA12345"}) {
    DriverRecord driver = Stale();
    EXPECT_EQ(Load(name, driver), kDriverNotFound) << name;
    EXPECT_TRUE(Untouched(driver)) << name;
  }
  DriverRecord driver = Stale();
  EXPECT_EQ(QelDrvLoad(0, "KITA", &driver, 7), sim::error::kInvalidArgument);
  EXPECT_TRUE(Untouched(driver));
  sim::UnregisterDriver("KITA");
  EXPECT_EQ(Load("KITA", driver), kDriverNotFound);
  EXPECT_TRUE(Untouched(driver));
}

TEST_F(DriverLoading, EachLoadIsADriverOfItsOwnAndTheViewShowsTheLatest) {
  DriverRecord first{};
  DriverRecord second{};
  ASSERT_EQ(Load("KITA", first), 0);
  ASSERT_EQ(Load("kita", second), 0) << "names compare without case";
  const sim::DriverView view("Kita");
  EXPECT_EQ(view.TimesLoaded(), 2u);
  EXPECT_EQ(view.LoadedNow(), 2u);

  ASSERT_EQ(DrvSetTag(first, kTagSamplesPerPixel, 3), 0);
  EXPECT_EQ(view.Integer(kTagSamplesPerPixel), 1) << "the second load is untouched";
  ASSERT_EQ(QelDrvUnload(&second), 0);
  EXPECT_EQ(view.Integer(kTagSamplesPerPixel), 3);

  // An unloaded record is cleared and no longer reaches a driver.
  EXPECT_EQ(second.pfnEntry, nullptr);
  EXPECT_EQ(second.pInstance, nullptr);
  std::int32_t value = 0;
  EXPECT_EQ(DrvGetTag(second, kTagSamplesPerPixel, value), kErrNoDriver);
  EXPECT_EQ(QelDrvUnload(&second), kDriverNotFound);
  EXPECT_EQ(view.LoadedNow(), 1u);

  ASSERT_EQ(QelDrvUnload(&first), 0);
  EXPECT_EQ(view.LoadedNow(), 0u);
  EXPECT_EQ(view.TimesLoaded(), 2u);
  EXPECT_FALSE(view.Integer(kTagSamplesPerPixel)) << "tags are seen only while loaded";
}

TEST_F(DriverLoading, InitRemembersTheLastSetupAndCanBeRefused) {
  DriverRecord driver{};
  ASSERT_EQ(Load("KITA", driver), 0);
  const sim::DriverView view("KITA");
  EXPECT_FALSE(view.LastSetup());
  EXPECT_EQ(QelDrvInit(&driver, 0, kQelInitKeepBuffers), 0);
  EXPECT_EQ(QelDrvInit(&driver, 0, kQelInitClearBuffers), 0);
  EXPECT_EQ(view.LastSetup(), kQelInitClearBuffers);
  EXPECT_EQ(view.TimesInitialised(), 2u);
  ASSERT_EQ(QelDrvUnload(&driver), 0);
  EXPECT_EQ(QelDrvInit(&driver, 0, 2), kDriverNotFound);

  sim::RegisterDriver(sim::DriverDesign("COLD").RefuseInit(sim::error::kDriverFailure));
  ASSERT_EQ(Load("COLD", driver), 0);
  EXPECT_EQ(QelDrvInit(&driver, 0, kQelInitKeepBuffers), sim::error::kDriverFailure);
  EXPECT_EQ(sim::DriverView("COLD").LastSetup(), kQelInitKeepBuffers);
  EXPECT_EQ(QelDrvUnload(&driver), 0);
}

TEST_F(DriverLoading, MessagesAreLoggedInOrderAcrossLoads) {
  DriverRecord driver{};
  ASSERT_EQ(Load("KITA", driver), 0);
  std::int32_t value = 0;
  DrvGetTag(driver, kTagSamplesPerPixel, value);
  DrvSetTag(driver, kTagBitsPerSample, 8);
  DrvGetChoice(driver, kTagSamplesPerPixel, 1, value);
  ASSERT_EQ(QelDrvUnload(&driver), 0);
  const sim::DriverView view("KITA");
  const std::vector<DriverMessage> expected{{QelDrvGetTag, kTagSamplesPerPixel},
                                            {QelDrvSetTag, kTagBitsPerSample},
                                            {QelDrvGetChoice, kTagSamplesPerPixel}};
  EXPECT_EQ(view.Messages(), expected);
  view.ClearMessages();
  ASSERT_EQ(Load("KITA", driver), 0);
  DrvGetTag(driver, kTagKeyQualifier, value);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(view.Messages(), (std::vector<DriverMessage>{{QelDrvGetTag, kTagKeyQualifier}}));
}

TEST_F(DriverLoading, KitFailuresByMessageAndTag) {
  sim::RegisterDriver(sim::DriverDesign("FAILING")
                          .Integer(kTagSamplesPerPixel, 1, {1, 3})
                          .Integer(tag_scantype, 3, {2, 3})
                          .FailMessage(QelDrvGetChoiceCount, sim::kAnyTag, sim::error::kNoChoices)
                          .FailMessage(QelDrvGetTag, tag_scantype, sim::error::kDriverFailure)
                          .Accept(sendparams)
                          .Accept(QelDrvGetTag));
  DriverRecord driver{};
  ASSERT_EQ(Load("FAILING", driver), 0);
  std::int32_t value = -1;
  EXPECT_EQ(DrvGetChoiceCount(driver, kTagSamplesPerPixel, value), sim::error::kNoChoices);
  EXPECT_EQ(DrvGetChoiceCount(driver, tag_scantype, value), sim::error::kNoChoices);
  EXPECT_EQ(DrvGetChoice(driver, tag_scantype, 1, value), 0) << "only the count fails";
  EXPECT_EQ(DrvGetTag(driver, tag_scantype, value), sim::error::kDriverFailure);
  EXPECT_EQ(DrvGetTag(driver, kTagSamplesPerPixel, value), 0);
  // Accepting answers only what the driver would not know.
  EXPECT_EQ(QelDrvMessage(driver, sendparams, 0, nullptr), 0);
  EXPECT_EQ(DrvGetTag(driver, kTagBitsPerSample, value), sim::error::kTagNotSupported);
  EXPECT_EQ(sim::DriverView("FAILING").Messages().size(), 7u) << "failed messages count too";
}

TEST_F(DriverLoading, KitScannersTakeAcceptedParameterSendsOrFailTheScannerMessages) {
  sim::RegisterDriver(sim::DriverDesign("SENDING").Accept(sendparams).Accept(QelDrvFreshStart));
  sim::RegisterDriver(sim::DriverDesign("REFUSING")
                          .Accept(sendparams)
                          .FailMessage(sendparams, sim::kAnyTag, sim::error::kDriverFailure)
                          .FailMessage(QelDrvFreshStart, sim::kAnyTag, sim::error::kDriverFailure)
                          .FailMessage(QelDrvPageLoaded, sim::kAnyTag, sim::error::kNoPaper));
  DriverRecord sending{};
  DriverRecord refusing{};
  ASSERT_EQ(Load("SENDING", sending), 0);
  ASSERT_EQ(Load("REFUSING", refusing), 0);
  char text[] = "IMPRINT";
  EXPECT_EQ(QelDrvMessage(sending, sendparams, 0, nullptr), 0);
  EXPECT_EQ(QelDrvMessage(sending, sendparams, 0, text), 0);
  EXPECT_EQ(QelDrvMessage(sending, QelDrvFreshStart, 0, nullptr), 0);
  EXPECT_EQ(sim::DriverView("SENDING").ParameterSends(), 1u);
  EXPECT_EQ(sim::DriverView("SENDING").ImprinterText(), "IMPRINT");

  std::uint32_t flags = 7;
  EXPECT_EQ(QelDrvMessage(refusing, sendparams, 0, nullptr), sim::error::kDriverFailure);
  EXPECT_EQ(QelDrvMessage(refusing, sendparams, 0, text), sim::error::kDriverFailure);
  EXPECT_EQ(QelDrvMessage(refusing, QelDrvFreshStart, 0, nullptr), sim::error::kDriverFailure);
  EXPECT_EQ(QelDrvMessage(refusing, QelDrvPageLoaded, 1, &flags), sim::error::kNoPaper);
  EXPECT_EQ(flags, 7u);
  EXPECT_EQ(sim::DriverView("REFUSING").ParameterSends(), 0u) << "a failed send is not taken";
  EXPECT_EQ(sim::DriverView("REFUSING").ImprinterText(), std::nullopt);

  EXPECT_EQ(QelDrvUnload(&sending), 0);
  EXPECT_EQ(sim::DriverView("SENDING").ParameterSends(), std::nullopt) << "none loaded";
  EXPECT_EQ(QelDrvUnload(&refusing), 0);
}

TEST_F(DriverLoading, BuilderMisuseIsATestFault) {
  EXPECT_THROW(sim::DriverDesign("NINECHARS"), std::invalid_argument);
  EXPECT_THROW(sim::DriverDesign("KITB").Text(kTagImageWidth, "x").Range(kTagImageWidth, 10, 1),
               std::invalid_argument);
  EXPECT_THROW(sim::DriverDesign("KITB").Integer(kTagPageSize, 1).Page("A4", 1, 1),
               std::invalid_argument);
}

TEST_F(DriverLoading, TheImageDriversLoadBesideTheScannerWithNoTags) {
  DriverRecord scanner{};
  DriverRecord capture{};
  DriverRecord replay{};
  ASSERT_EQ(Load("KITA", scanner), 0);
  ASSERT_EQ(Load("QELMZAFT", capture), 0);
  ASSERT_EQ(Load("FROMQELM", replay), 0);
  std::int32_t value = 0;
  EXPECT_EQ(DrvGetTag(capture, kTagSamplesPerPixel, value), sim::error::kTagNotSupported);
  EXPECT_EQ(DrvGetTag(scanner, kTagSamplesPerPixel, value), 0);
  for (DriverRecord* driver : {&scanner, &capture, &replay}) EXPECT_EQ(QelDrvUnload(driver), 0);
}

// An in-process driver as the library's storage filter is: it counts what reaches it and
// leaves everything to the framework's default.
int entryCalls = 0;
std::int32_t QELCALLBACK PassingEntry(void* context, std::uint32_t code, std::int32_t argument,
                                      void* pointer) {
  ++entryCalls;
  return QelDrvDefaultMessage(context, code, argument, pointer);
}

TEST_F(DriverLoading, AnInProcessDriverGetsAContextThatReachesItself) {
  entryCalls = 0;
  DriverRecord filter{};
  ASSERT_EQ(DrvLoadFromEntry(&PassingEntry, filter), 0);
  EXPECT_EQ(filter.pfnEntry, &PassingEntry);
  ASSERT_NE(filter.pInstance, nullptr);
  EXPECT_EQ(QelDrvInit(&filter, 0, 0), 0);

  // The context starts with the driver's own record; a message sent through it comes to the
  // driver like any other.
  const auto& context = *static_cast<const DriverContext*>(filter.pInstance);
  EXPECT_EQ(context.self.pfnEntry, &PassingEntry);
  EXPECT_EQ(context.self.pInstance, filter.pInstance);
  EXPECT_EQ(context.pfnDataHandler, nullptr);
  EXPECT_EQ(
      QelDrvMessage(context.self, QelDrvDeclareTag, DeclareTagArg(TiffType::Short, 258), nullptr),
      0);
  EXPECT_EQ(DrvSetTag(context.self, kTagBitsPerSample, 8), 0);
  std::int32_t value = 0;
  EXPECT_EQ(DrvGetTag(filter, kTagBitsPerSample, value), 0);
  EXPECT_EQ(value, 8);
  EXPECT_EQ(entryCalls, 3);

  // Each in-process load has its own tags and number.
  DriverRecord other{};
  ASSERT_EQ(DrvLoadFromEntry(&PassingEntry, other), 0);
  EXPECT_NE(other.pInstance, filter.pInstance);
  EXPECT_NE(static_cast<const DriverContext*>(other.pInstance)->usDriverId, context.usDriverId);
  EXPECT_EQ(DrvGetTag(other, kTagBitsPerSample, value), sim::error::kTagNotSupported);

  int notAContext = 0;
  EXPECT_EQ(QelDrvDefaultMessage(&notAContext, QelDrvGetTag, kTagBitsPerSample, &value),
            kDriverNotFound);
  EXPECT_EQ(QelDrvUnload(&filter), 0);
  EXPECT_EQ(QelDrvUnload(&other), 0);
}

TEST_F(DriverLoading, SwitchedFailuresLeaveDriversAsTheyWere) {
  DriverRecord driver = Stale();
  sim::FailNext(Op::DrvLoad);
  EXPECT_EQ(Load("KITA", driver), sim::FailureValue(Op::DrvLoad));
  EXPECT_TRUE(Untouched(driver));
  ASSERT_EQ(Load("KITA", driver), 0);

  sim::FailNext(Op::DrvInit);
  EXPECT_EQ(QelDrvInit(&driver, 0, 2), sim::FailureValue(Op::DrvInit));
  EXPECT_EQ(sim::DriverView("KITA").TimesInitialised(), 0u) << "the driver was never asked";

  sim::FailNext(Op::DrvUnload);
  EXPECT_EQ(QelDrvUnload(&driver), sim::FailureValue(Op::DrvUnload));
  std::int32_t value = 0;
  EXPECT_EQ(DrvGetTag(driver, kTagSamplesPerPixel, value), 0) << "still loaded";

  sim::FailNext(Op::DefaultMessage);
  EXPECT_EQ(QelDrvDefaultMessage(driver.pInstance, QelDrvGetTag, kTagSamplesPerPixel, &value),
            sim::FailureValue(Op::DefaultMessage));
  EXPECT_EQ(QelDrvDefaultMessage(driver.pInstance, QelDrvGetTag, kTagSamplesPerPixel, &value), 0);

  EXPECT_EQ(QelDrvUnload(&driver), 0);
  EXPECT_EQ(sim::CallCount(Op::DrvUnload), 2u);
}

}  // namespace
