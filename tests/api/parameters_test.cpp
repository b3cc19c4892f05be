// Building, changing, querying and sending the parameter record through the exported calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/errors.h"
#include "framework/messages.h"
#include "host_library.h"
#include "sim/kit/kit.h"
#include "sim/services/faults/switches.h"

namespace {

using sim::DriverView;

class Parameters : public ::testing::Test {
 protected:
  explicit Parameters(const std::string& scanner = "VSCAN", const std::string& extraProfile = "")
      : lib(ProfileWithDebug() + "[ZAFT]\nScanner=" + scanner + "\n" + extraProfile) {}
  void SetUp() override {
    sim::ResetDrivers();
    ASSERT_EQ(lib.SCANINIT(), 0);
    std::memset(record.get(), 0xAB, sizeof(ParmRecord));
  }
  void TearDown() override { sim::ResetDrivers(); }

  std::uint16_t Init() { return lib.SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr); }
  template <typename T>
  std::uint16_t Set(std::uint16_t usParm, T value) {
    return lib.SCANSETPARM("dev", record.get(), usParm, &value);
  }
  template <typename T>
  T Query(std::uint16_t usParm, T value = {}) {
    EXPECT_EQ(lib.SCANQUERYPARM(record.get(), usParm, &value), 0) << "query " << usParm;
    return value;
  }
  bool RecordUnchangedBy(std::uint16_t rc, const ParmRecord& before) const {
    return rc != 0 && std::memcmp(&before, record.get(), sizeof before) == 0;
  }
  std::size_t CountLogged(const std::string& message) const {
    const auto messages = lib.LogMessages();
    return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), message));
  }

  HostLibrary lib;
  std::unique_ptr<ParmRecord> record = std::make_unique<ParmRecord>();
};

TEST_F(Parameters, InitBuildsTheWholeRecordFromTheSelectedScanner) {
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(+record->usSize, PARM_RECORD_SIZE);
  EXPECT_STREQ(record->szDriver, "VSCAN");
  EXPECT_STREQ(record->szID, "KOV Virtual Scanner 1.0");
  EXPECT_EQ(+record->sOldCount, 0);
  EXPECT_EQ(record->achSettings[record->sSettingsLen], '\0');
  EXPECT_EQ(RecordSetting(*record, "XResolution"), "300/1");
  EXPECT_EQ(+record->lFeeder, 1);
  EXPECT_EQ(record->p2 + record->p3 + record->pt + record->bro, 0);
  EXPECT_EQ(+record->lDiscardState, 0);
  EXPECT_NE(std::string(record->szBarcodeState).find("symbologies="), std::string::npos);
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u) << "no driver left loaded";

  std::uint16_t bpp = 8;
  ASSERT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_BPP, &bpp), 0);
  std::vector<std::string> steps;
  for (const std::string& line : lib.LogMessages()) {
    if (line.rfind("TSSP", 0) == 0 || line.rfind("  GetScanName", 0) == 0 ||
        line.find("ScanSetParm") != std::string::npos ||
        line.find("queried") != std::string::npos) {
      steps.push_back(line);
    }
  }
  const std::vector<std::string> expected = {"ScanSetParm called with DevName==dev:",
                                             "   INIT flag passed to ScanSetParm",
                                             "TSSP 1",
                                             "  GetScanName returned driver: 'VSCAN'",
                                             "TSSP 3",
                                             "TSSP 4",
                                             "Done with ScanSetParm",
                                             "ScanSetParm called with DevName==dev:",
                                             "    ScanSetParm started with parameters like this:",
                                             "   BPP queried",
                                             "TSSP 1",
                                             "TSSP 5",
                                             "TSSP 6",
                                             "TSSP 7",
                                             "TSSP 8",
                                             "    ScanSetParm now leaves parameters like this:",
                                             "TSSP 9",
                                             "Done with ScanSetParm"};
  EXPECT_EQ(steps, expected);
}

TEST_F(Parameters, SettersChangeTheRecordOnlyToOfferedValues) {
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Set(SCAN_PARM_RES, SCAN_RES{200, 1, 200, 1, 0}), 0);
  EXPECT_EQ(RecordSetting(*record, "XResolution"), "200/1");
  EXPECT_EQ(Query<SCAN_RES>(SCAN_PARM_RES).ulYNum, 200u);

  auto before = std::make_unique<ParmRecord>(*record);
  EXPECT_TRUE(RecordUnchangedBy(Set(SCAN_PARM_RES, SCAN_RES{301, 2, 300, 1, 0}), *before));
  EXPECT_EQ(lib.LastErrorText(), "RC_SCAN_INVALID_PARM");
  EXPECT_TRUE(RecordUnchangedBy(Set(SCAN_PARM_RES, SCAN_RES{300, 1, 300, 1, 1}), *before));
  EXPECT_TRUE(RecordUnchangedBy(Set(SCAN_PARM_RES, SCAN_RES{300, 0, 300, 1, 0}), *before));
  EXPECT_TRUE(RecordUnchangedBy(Set<std::uint16_t>(SCAN_PARM_BPP, 12), *before));
  EXPECT_TRUE(RecordUnchangedBy(Set(SCAN_PARM_AREA, SCAN_AREA{0, 0, 9000, 100}), *before));
  // Narrower than the width step, or of no length: no dot or no line would be scanned.
  EXPECT_TRUE(RecordUnchangedBy(Set(SCAN_PARM_AREA, SCAN_AREA{0, 0, 1, 100}), *before));
  EXPECT_TRUE(RecordUnchangedBy(Set(SCAN_PARM_AREA, SCAN_AREA{0, 0, 7, 100}), *before));
  EXPECT_TRUE(RecordUnchangedBy(Set(SCAN_PARM_AREA, SCAN_AREA{0, 0, 800, 0}), *before));
  EXPECT_TRUE(RecordUnchangedBy(Set<std::uint16_t>(SCAN_PARM_COMP, 2), *before));
  EXPECT_TRUE(RecordUnchangedBy(Set<std::int16_t>(SCAN_PARM_ADF, 2), *before));
  EXPECT_TRUE(
      RecordUnchangedBy(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_RES, nullptr), *before));

  EXPECT_EQ(Set<std::uint16_t>(SCAN_PARM_BPP, 8), 0);
  EXPECT_EQ(Query<std::uint16_t>(SCAN_PARM_BPP), 8);
  // Letter at 200 dots per inch is 1700 by 2200.
  EXPECT_EQ(Set(SCAN_PARM_AREA, SCAN_AREA{0, 0, 1700, 2200}), 0);
  const auto area = Query<SCAN_AREA>(SCAN_PARM_AREA);
  EXPECT_EQ(area.usWidth, 1696) << "lowered to the width step";
  EXPECT_EQ(area.usLength, 2200);
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u);
}

TEST_F(Parameters, CompressionIsAnsweredAsThePagesWillCarryItAndRefusedWhereNoneCanBeMade) {
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Set<std::uint16_t>(SCAN_PARM_COMP, SCAN_COMP_G4), 0);
  EXPECT_EQ(+record->lCompression, 4);
  EXPECT_EQ(Query<std::uint16_t>(SCAN_PARM_COMP), SCAN_COMP_G4) << "made by the pipe";

  // JPEG at one bit: the send would refuse it, so the setter does.
  const auto before = std::make_unique<ParmRecord>(*record);
  EXPECT_TRUE(RecordUnchangedBy(Set<std::uint16_t>(SCAN_PARM_COMP, SCAN_COMP_JPEG), *before));
  EXPECT_EQ(CountLogged("  the compression asked for cannot be made from the scanner's pages"), 1u);
  ASSERT_EQ(Set<std::uint16_t>(SCAN_PARM_BPP, 8), 0);
  EXPECT_EQ(Set<std::uint16_t>(SCAN_PARM_COMP, SCAN_COMP_JPEG), 0);
  EXPECT_EQ(Query<std::uint16_t>(SCAN_PARM_COMP), SCAN_COMP_JPEG);

  // A stored record asking for what cannot be made is answered with the scanner's own.
  *record = *before;
  record->lCompression = 6;
  EXPECT_EQ(Query<std::uint16_t>(SCAN_PARM_COMP), SCAN_COMP_NONE);
}

TEST_F(Parameters, QuickControlsAreKeptByTheLibrary) {
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Query<SCAN_QCTRL>(SCAN_PARM_QCTRL, {0, 0}).ulValue, 50u);
  EXPECT_EQ(Set(SCAN_PARM_QCTRL, SCAN_QCTRL{1, 99}), 0);
  EXPECT_EQ(Query<SCAN_QCTRL>(SCAN_PARM_QCTRL, {1, 0}).ulValue, 99u);
  EXPECT_EQ(Set(SCAN_PARM_QCTRL, SCAN_QCTRL{1, 100}), 0) << "ignored without error";
  EXPECT_EQ(Query<SCAN_QCTRL>(SCAN_PARM_QCTRL, {1, 0}).ulValue, 99u);
  EXPECT_EQ(Set(SCAN_PARM_QCTRL, SCAN_QCTRL{7, 12}), 0);
  EXPECT_EQ(Query<SCAN_QCTRL>(SCAN_PARM_QCTRL, {0, 0}).ulValue, 12u) << "index 7 is index 0";
}

TEST_F(Parameters, UnknownIdentifiersInSetAndQuery) {
  ASSERT_EQ(Init(), 0);
  std::uint32_t value = 0;
  EXPECT_EQ(lib.SCANSETPARM("dev", record.get(), 7, &value), RC_SCAN_PARM_CANNOT_BE_MODIFIED);
  EXPECT_EQ(lib.SCANQUERYPARM(record.get(), 7, &value), RC_SCAN_INVALID_IDENTIFIER);
  EXPECT_EQ(Query<std::uint32_t>(SCAN_PARM_VERSION, 9), 0u) << "a real driver answers 0";
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u);
}

TEST_F(Parameters, FixedAnswersForARecordWithoutDriver) {
  record = std::make_unique<ParmRecord>();
  EXPECT_EQ(Query<std::uint32_t>(SCAN_PARM_VERSION), 1u);
  EXPECT_EQ(Query<std::uint16_t>(SCAN_PARM_BPP), 1);
  const auto area = Query<SCAN_AREA>(SCAN_PARM_AREA);
  EXPECT_EQ(area.usWidth, 2548);
  EXPECT_EQ(area.usLength, 3300);
  EXPECT_EQ(Query<std::uint16_t>(SCAN_PARM_COMP), 3);
  EXPECT_EQ(Query<std::int16_t>(SCAN_PARM_ADF), -1);
  std::uint32_t value = 0;
  EXPECT_EQ(lib.SCANQUERYPARM(record.get(), 9, &value), RC_SCAN_INVALID_IDENTIFIER);
  EXPECT_EQ(lib.SCANQUERYPARM(record.get(), 0, nullptr), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(DriverView("VSCAN").TimesLoaded(), 0u) << "answered without a driver";
}

TEST_F(Parameters, SetStateLeavesTheDriverLoadedForTheScans) {
  ASSERT_EQ(Init(), 0);
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  EXPECT_EQ(lib.SCANSETSTATE(2, record.get()), RC_SCAN_INVALID_HANDLE);
  EXPECT_EQ(lib.SCANSETSTATE(handle, nullptr), RC_SCAN_INVALID_PARM);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 1u);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0) << "sent again on a fresh load";
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 1u);
  EXPECT_EQ(lib.SCANSETPRTTEXT(handle, 0, "text", 1), 0) << "no 1770: nothing sent";
  EXPECT_FALSE(DriverView("VSCAN").ImprinterText());

  lib.SCANKILL(handle);
  EXPECT_EQ(DriverView("VSCAN").AbortPoll()(), -4526) << "the scanner sees the kill";
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  EXPECT_EQ(DriverView("VSCAN").AbortPoll()(), 0) << "a new state clears it";
  EXPECT_EQ(lib.SCANCLOSE(handle), 0);
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u) << "closing unloads";
}

TEST_F(Parameters, ScanAheadIsSwitchedOffOnTheFlatbedButTheRecordKeepsIt) {
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Set<std::int16_t>(SCAN_PARM_ADF, -1), 0);
  EXPECT_EQ(RecordSetting(*record, "Tag 1293"), "1");
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  EXPECT_EQ(DriverView("VSCAN").Integer(kTagScanAhead), 0);
  EXPECT_EQ(RecordSetting(*record, "Tag 1293"), "1");
}

TEST_F(Parameters, RecordsForAnotherScannerAreRefused) {
  ASSERT_EQ(Init(), 0);
  record->szID[0] = 'k';
  std::uint16_t bpp = 8;
  EXPECT_EQ(lib.SCANSETPARM("dev", record.get(), SCAN_PARM_BPP, &bpp), RC_SCAN_INVALID_PARM);
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  EXPECT_EQ(lib.SCANSETSTATE(handle, record.get()), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u);
}

TEST_F(Parameters, NoDriverStaysLoadedAfterSetOrQueryWhateverFails) {
  ASSERT_EQ(Init(), 0);
  struct Failure {
    sim::Op op;
    std::uint32_t call;
  };
  for (const Failure& failing : {Failure{sim::Op::DrvInit, 1}, Failure{sim::Op::BarcodeCreate, 1},
                                 Failure{sim::Op::BarcodeGetState, 1}, Failure{sim::Op::DrvLoad, 2},
                                 Failure{sim::Op::DrvLoad, 3}}) {
    SCOPED_TRACE(std::string(sim::NameOf(failing.op)) + " call " + std::to_string(failing.call));
    sim::FailNext(failing.op, failing.call);
    EXPECT_NE(Set<std::uint16_t>(SCAN_PARM_BPP, 8), 0);
    EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u);
    sim::FailNext(failing.op, failing.call);
    std::uint16_t bpp = 0;
    EXPECT_NE(lib.SCANQUERYPARM(record.get(), SCAN_PARM_BPP, &bpp), 0);
    EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u);
    sim::FailNext(failing.op, failing.call);
    EXPECT_NE(Init(), 0);
    EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u);
  }
  EXPECT_EQ(Set<std::uint16_t>(SCAN_PARM_BPP, 8), 0) << "and all works again";
}

TEST_F(Parameters, InitTakesTheScannersOwnCompressionNotTheLastRecordsOne) {
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Set<std::uint16_t>(SCAN_PARM_COMP, SCAN_COMP_G4), 0);
  ASSERT_EQ(+record->lCompression, 4);
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(+record->lCompression, 1);
  EXPECT_EQ(+record->lT4Options, 0);
}

TEST_F(Parameters, NumbersInStoredRecordsThatNoFieldCanCarryAreRefusedNotWrapped) {
  ASSERT_EQ(Init(), 0);
  const ParmRecord initial = *record;
  const SCAN_CLT_ENTRY untouched{{7, 7, 7}, 7};
  std::vector<SCAN_CLT_ENTRY> table(256, untouched);

  // The colour table needs no driver: the depth comes from the record alone.
  for (const auto& [samples, bits] :
       {std::pair{"65536", "65536"}, std::pair{"1073741825", "8"}, std::pair{"-1", "8"}}) {
    SCOPED_TRACE(std::string(samples) + " x " + bits);
    *record = initial;
    ReplaceSetting(*record, "SamplesPerPixel", samples);
    ReplaceSetting(*record, "BitsPerSample", bits);
    EXPECT_EQ(lib.SCANQUERYCLT(record.get(), table.data()), RC_SCAN_INVALID_PARM);
    EXPECT_EQ(table[0].abValue[0], 7) << "nothing written";
  }

  // Restored into the scanner: a depth beyond the host's 16 bits is refused.
  *record = initial;
  ReplaceSetting(*record, "SamplesPerPixel", "65536");
  ReplaceSetting(*record, "BitsPerSample", "65536");
  std::uint16_t bpp = 0x5A5A;
  EXPECT_EQ(lib.SCANQUERYPARM(record.get(), SCAN_PARM_BPP, &bpp), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(bpp, 0x5A5A);

  // The most negative number a setting can hold is no value these tags offer.
  for (const char* tag : {"Tag 259", "Tag 1293"}) {
    *record = initial;
    ReplaceSetting(*record, tag, "-2147483648");
    SCAN_RES res{};
    EXPECT_EQ(lib.SCANQUERYPARM(record.get(), SCAN_PARM_RES, &res), RC_SCAN_INVALID_PARM) << tag;
  }

  // A resolution at the end of the range.
  *record = initial;
  ReplaceSetting(*record, "XResolution", "1/2147483647");
  SCAN_RES res{};
  EXPECT_EQ(lib.SCANQUERYPARM(record.get(), SCAN_PARM_RES, &res), 0);
  EXPECT_EQ(res.ulXNum, 1u);
  EXPECT_EQ(res.ulXDenom, 2147483647u);
  EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u);
}

TEST_F(Parameters, AStoredCompressionTheScannerDoesNotOfferIsRefusedBeforeAnyPage) {
  ASSERT_EQ(Init(), 0);
  const auto initial = std::make_unique<ParmRecord>(*record);
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  // 5 names no compression; the scanner makes only uncompressed pages itself, not Group 4.
  for (const char* stored : {"5", "4"}) {
    SCOPED_TRACE(stored);
    *record = *initial;
    ReplaceSetting(*record, "Tag 259", stored);
    record->lCompression = 0;
    const auto before = std::make_unique<ParmRecord>(*record);
    std::uint16_t comp = 0x5A5A;
    EXPECT_EQ(lib.SCANQUERYPARM(record.get(), SCAN_PARM_COMP, &comp), RC_SCAN_INVALID_PARM);
    EXPECT_EQ(comp, 0x5A5A);
    EXPECT_TRUE(RecordUnchangedBy(Set<std::uint16_t>(SCAN_PARM_BPP, 8), *before));
    EXPECT_EQ(lib.SCANSETSTATE(handle, record.get()), RC_SCAN_INVALID_PARM);
    EXPECT_EQ(DriverView("VSCAN").LoadedNow(), 0u);
  }
  EXPECT_EQ(
      CountLogged("   parmtotags: the record's Tag 259 is a value the scanner does not offer"), 6u);
  EXPECT_EQ(lib.SCANCLOSE(handle), 0);
}

TEST_F(Parameters, RefusalsDecidedOnTheWorkerAreTracedAsRefusals) {
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Set<std::uint16_t>(SCAN_PARM_BPP, 7), RC_SCAN_INVALID_PARM);
  const auto messages = lib.LogMessages();
  EXPECT_NE(std::find(messages.begin(), messages.end(), "  refused: RC_SCAN_INVALID_PARM"),
            messages.end());
}

class ParametersOnASender : public Parameters {
 protected:
  ParametersOnASender() : Parameters("VSEND", "[VSEND]\nType=VirtualScanner\nSendParams=1\n") {}
};

TEST_F(ParametersOnASender, OtherRecordsSetOrQueriedLeaveTheLiveScannerAsLastSent) {
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Set<std::uint16_t>(SCAN_PARM_BPP, 8), 0);
  auto other = std::make_unique<ParmRecord>(*record);
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  const DriverView live("VSEND");
  const auto expectLiveAsSent = [&](const char* after) {
    SCOPED_TRACE(after);
    EXPECT_EQ(live.LoadedNow(), 1u);
    EXPECT_EQ(live.Rational(kTagXResolution)->lNumerator, 300);
    EXPECT_EQ(live.Integer(kTagBitsPerSample), 8);
    EXPECT_EQ(live.ParameterSends(), 1u) << "the scanner heard of nothing else";
  };

  SCAN_RES res{600, 1, 600, 1, 0};
  ASSERT_EQ(lib.SCANSETPARM("dev", other.get(), SCAN_PARM_RES, &res), 0);
  expectLiveAsSent("a set on another record");
  res = {};
  ASSERT_EQ(lib.SCANQUERYPARM(other.get(), SCAN_PARM_RES, &res), 0);
  EXPECT_EQ(res.ulXNum, 600u) << "the answer is the other record's";
  expectLiveAsSent("a query of another record");

  live.ClearMessages();
  ASSERT_EQ(lib.SCANSETPARM("dev", other.get(), SCAN_PARM_INIT, nullptr), 0);
  const auto messages = live.Messages();
  EXPECT_NE(std::find(messages.begin(), messages.end(), sim::DriverMessage{QelDrvFreshStart, 0}),
            messages.end())
      << "INIT starts the very driver afresh";
  expectLiveAsSent("an INIT");
  EXPECT_EQ(Query<std::uint16_t>(SCAN_PARM_BPP), 8) << "and the record sent still queries so";
}

TEST_F(ParametersOnASender, SetStateSendsTheParametersAndTheImprinterTextFollows) {
  ASSERT_EQ(Init(), 0);
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0);
  EXPECT_EQ(DriverView("VSEND").ParameterSends(), 1u);
  EXPECT_EQ(lib.SCANSETPRTTEXT(handle, 4, "LOT 42", 1), 0);
  EXPECT_EQ(DriverView("VSEND").ImprinterText(), "LOT 42");
}

class ParametersWithoutScanTypes : public Parameters {
 protected:
  ParametersWithoutScanTypes()
      : Parameters("VSCAN", "[VSCAN]\nType=VirtualScanner\nScanTypes=none\n") {}
};

TEST_F(ParametersWithoutScanTypes, OnlyFeederValuesInRangeAreTakenWithoutAChoice) {
  ASSERT_EQ(Init(), 0);
  const auto before = std::make_unique<ParmRecord>(*record);
  for (const std::int16_t adf : {std::int16_t{2}, std::int16_t{-7}}) {
    EXPECT_TRUE(RecordUnchangedBy(Set(SCAN_PARM_ADF, adf), *before)) << adf;
  }
  for (const std::int16_t adf : {std::int16_t{-1}, std::int16_t{0}, std::int16_t{1}}) {
    EXPECT_EQ(Set(SCAN_PARM_ADF, adf), 0) << adf;
  }
}

struct DepthCase {
  const char* listed;
  std::uint16_t taken;
  std::uint16_t refused;
};

void PrintTo(const DepthCase& depths, std::ostream* out) {
  *out << "BitDepths=" << depths.listed;
}

// A scanner's depths are pairs of samples and bits: one listed for colour is no gray depth.
class ParametersOnDepths : public Parameters, public ::testing::WithParamInterface<DepthCase> {
 protected:
  ParametersOnDepths()
      : Parameters("VSCAN", std::string("[VSCAN]\nType=VirtualScanner\nBitDepths=") +
                                GetParam().listed + "\n") {}
};

TEST_P(ParametersOnDepths, ADepthTheScannerDoesNotListIsRefused) {
  ASSERT_EQ(Init(), 0);
  const std::uint16_t first = Query<std::uint16_t>(SCAN_PARM_BPP);
  const auto before = std::make_unique<ParmRecord>(*record);
  EXPECT_TRUE(RecordUnchangedBy(Set(SCAN_PARM_BPP, GetParam().refused), *before));
  EXPECT_EQ(Query<std::uint16_t>(SCAN_PARM_BPP), first);
  EXPECT_EQ(Set(SCAN_PARM_BPP, GetParam().taken), 0);
  EXPECT_EQ(Query<std::uint16_t>(SCAN_PARM_BPP), GetParam().taken);
}

INSTANTIATE_TEST_SUITE_P(Listed, ParametersOnDepths,
                         ::testing::Values(DepthCase{"1,24", 24, 8}, DepthCase{"8", 8, 1},
                                           DepthCase{"1,8,12", 12, 24}),
                         [](const auto& instance) {
                           std::string name = instance.param.listed;
                           std::replace(name.begin(), name.end(), ',', '_');
                           return "Depths_" + name;
                         });

class ParametersOnAKitScanner : public Parameters {
 protected:
  ParametersOnAKitScanner() : Parameters("KITA") {}
  void SetUp() override {
    Parameters::SetUp();
    sim::DriverDesign design("KITA");
    design.Text(kTagScannerId, "Kit A").Integer(kTagSendParams, 0).Accept(sendparams);
    Adjust(design);
    sim::RegisterDriver(design);
  }
  virtual void Adjust(sim::DriverDesign&) {}
};

TEST_F(ParametersOnAKitScanner, FeederQueryWithoutScanTypeFollowsWhatWasSent) {
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Query<std::int16_t>(SCAN_PARM_ADF), -1) << "nothing sent yet";
  EXPECT_EQ(Set<std::int16_t>(SCAN_PARM_ADF, -1), 0) << "no choice of feeder to make";
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  ASSERT_EQ(lib.SCANSETSTATE(handle, record.get()), 0) << "the record says feeder";
  EXPECT_EQ(Query<std::int16_t>(SCAN_PARM_ADF), 0);
}

class ParametersOnAFailingSender : public ParametersOnAKitScanner {
  void Adjust(sim::DriverDesign& design) override {
    design.FailMessage(sendparams, sim::kAnyTag, MakeFrameworkError(-10, 3));
  }
};

TEST_F(ParametersOnAFailingSender, AFailedSendKeepsTheDriverAndExplainsIt) {
  ASSERT_EQ(Init(), 0);
  std::int32_t handle = 0;
  ASSERT_EQ(lib.SCANOPEN("dev", 0, &handle), 0);
  EXPECT_EQ(lib.SCANSETSTATE(handle, record.get()), RC_SCAN_ZAFT_ERROR);
  EXPECT_NE(lib.LastErrorText().find("(-10)"), std::string::npos);
  EXPECT_EQ(DriverView("KITA").LoadedNow(), 1u) << "the driver stays for the scans";
  EXPECT_EQ(lib.SCANSETPRTTEXT(handle, 0, "x", 0), RC_SCAN_ZAFT_ERROR);
}

class ParametersWithoutSelection : public Parameters {
 protected:
  ParametersWithoutSelection() : Parameters("") {}
};

TEST_F(ParametersWithoutSelection, InitFailsWithTheFrameworksText) {
  EXPECT_EQ(Init(), RC_SCAN_ZAFT_ERROR);
  EXPECT_NE(lib.LastErrorText(), "");
}

}  // namespace
