// The settings dialogs through SCANPARMSDLG and SCANPARMSDLG2, answered by a scripted user.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "framework/tags.h"
#include "host_library.h"
#include "platform/posix/scripted_user.h"
#include "sim/kit/kit.h"
#include "sim/services/faults/switches.h"

namespace {

using platform::DialogState;
using platform::ScriptedUser;

// Control numbers of the two dialogs.
constexpr int kOk = 1, kCancel = 2, kFlatbed = 268, kSimplex = 269, kDuplex = 270;
constexpr int kJobSeparators = 298, kScanAhead = 297, kUncompressed = 291, kG3OneD = 292;
constexpr int kG3TwoD = 293, kG4 = 294, kJpeg = 295, kImageParameters = 289, kSaveAs = 258;
constexpr int kBarPatch = 1000, kPatch2 = 1002, kPatchT = 1004;
constexpr int kSearchBarcodes = 1006, kConfigureBarcode = 1007;
// The stand-in's own dialogs: the driver's image parameters (width choices from 300) and
// the barcode component's sheet (Code39 is its third kind).
constexpr int kImageDialog = 2, kFirstWidth = 300, kSheetCode39 = 102;

// "c" checked, "e" enabled, "v" visible, each or "-".
std::string StateOf(const DialogState& dialog, int id) {
  const platform::ControlState* control = dialog.Control(id);
  if (control == nullptr) return "<no control>";
  return std::string(control->checked ? "c" : "-") + (control->enabled ? "e" : "-") +
         (control->visible ? "v" : "-");
}

class Dialogs : public ::testing::Test {
 protected:
  void Start(const std::string& scannerKeys = "") {
    lib = std::make_unique<HostLibrary>(
        ProfileWithDebug() + "[ZAFT]\nScanner=VSCAN\n[VSCAN]\nType=VirtualScanner\n" + scannerKeys);
    sim::ResetDrivers();
    platform::SetDialogUser(&user);
    ASSERT_EQ(lib->SCANINIT(), 0);
  }
  void TearDown() override {
    if (lib != nullptr) lib->SCANFREE();
    platform::SetDialogUser(nullptr);
    sim::ResetDrivers();
  }

  // Builds the record by SCANSETPARM INIT.
  void InitRecord() {
    ASSERT_EQ(lib->SCANSETPARM("dev", record.get(), SCAN_PARM_INIT, nullptr), 0);
  }
  std::uint16_t Dialog() { return lib->SCANPARMSDLG("dev", record.get()); }
  // The dialog as the script's first action found it.
  DialogState First() const {
    const auto steps = user.Steps();
    return steps.empty() ? DialogState{} : steps.front().dialog;
  }
  bool Logged(const std::string& line) const {
    const auto lines = lib->LogMessages();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  // SCANLASTERROR has no code to report, and none was traced as a refusal.
  bool NothingStored() const {
    char text[64];
    const auto lines = lib->LogMessages();
    return lib->SCANLASTERROR(text, sizeof text) == RC_SCAN_NO_ERROR_STORED &&
           std::none_of(lines.begin(), lines.end(),
                        [](const std::string& line) { return line.rfind("  refused:", 0) == 0; });
  }

  bool LoggedStarting(const std::string& start) const {
    const auto lines = lib->LogMessages();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.rfind(start, 0) == 0; });
  }

  ScriptedUser user;
  std::unique_ptr<HostLibrary> lib;
  std::unique_ptr<ParmRecord> record = std::make_unique<ParmRecord>();
};

TEST_F(Dialogs, AFreshRecordCancelledIsStillComplete) {
  Start();
  user.Click(kCancel);
  EXPECT_EQ(Dialog(), RC_SCAN_DLG_CANCEL);
  EXPECT_EQ(+record->usSize, PARM_RECORD_SIZE);
  EXPECT_STREQ(record->szDriver, "VSCAN");
  EXPECT_STREQ(record->szID, "KOV Virtual Scanner 1.0");
  EXPECT_EQ(RecordSetting(*record, "ScanType"), "3");
  EXPECT_EQ(RecordSetting(*record, "ScanAhead"), "1");
  EXPECT_EQ(+record->lCompression, 1);
  EXPECT_EQ(+record->lFeeder, 1);
  EXPECT_EQ(sim::DriverView("VSCAN").LoadedNow(), 0u) << "no driver left loaded";

  const DialogState dialog = First();
  EXPECT_EQ(dialog.templateId, 259);
  EXPECT_EQ(dialog.caption, "Scanner Controls");
  EXPECT_EQ(StateOf(dialog, kSimplex), "cev");
  EXPECT_EQ(StateOf(dialog, kScanAhead), "cev");
  EXPECT_EQ(StateOf(dialog, kUncompressed), "cev");
  EXPECT_EQ(StateOf(dialog, kJpeg), "--v") << "1 bit per dot";
  EXPECT_EQ(StateOf(dialog, kSaveAs), "-e-") << "hidden";
  // 238 x 158 dialog units at 2 pixels each, centred on 1024 x 768.
  EXPECT_EQ(dialog.rect.left, (1024 - 476) / 2);
  EXPECT_EQ(dialog.rect.top, (768 - 316) / 2);
  EXPECT_EQ(dialog.rect.right - dialog.rect.left, 476);
  EXPECT_TRUE(Logged("    User hit Cancel."));
  EXPECT_TRUE(NothingStored()) << "the user's choice is no error";
}

TEST_F(Dialogs, OkWritesScanTypeScanAheadJobSeparatorsAndCompression) {
  Start();
  InitRecord();
  user.Click(kDuplex).Click(kScanAhead).Click(kJobSeparators).Click(kG4).Click(kOk);
  ASSERT_EQ(lib->SCANPARMSDLG2("dev", record.get(), 7), 0);
  EXPECT_EQ(RecordSetting(*record, "ScanType"), "4");
  EXPECT_EQ(RecordSetting(*record, "ScanAhead"), "0");
  EXPECT_EQ(RecordSetting(*record, "JobSeparator"), "2") << "the last offered value in 1 to 4";
  EXPECT_EQ(+record->lCompression, 4);
  EXPECT_EQ(+record->lFeeder, 1) << "duplex leaves the feeder value";
  EXPECT_TRUE(LoggedStarting("      Yep, pipe can be made.  pipe is ["));

  // Flatbed then writes 2 and the feeder value 0; Group 3 two-dimensional keeps its option.
  user.Click(kFlatbed).Click(kG3TwoD).Click(kOk);
  ASSERT_EQ(Dialog(), 0);
  EXPECT_EQ(RecordSetting(*record, "ScanType"), "2");
  EXPECT_EQ(+record->lFeeder, 0);
  EXPECT_EQ(+record->lCompression, 3);
  EXPECT_EQ(+record->lT4Options, 1);
  EXPECT_EQ(StateOf(user.Steps()[5].dialog, kJobSeparators), "cev") << "shown as recorded";
}

TEST_F(Dialogs, ScanTypeFollowsTheDriverAndTheFeederValue) {
  Start("ScanTypes=0,2,3,4\n");
  InitRecord();
  for (const int feeder : {0, 1}) {
    ParmRecord edited = *record;
    edited.lFeeder = feeder;
    // Scan type 0 in the record: the driver has not decided.
    std::string text(edited.achSettings, edited.sSettingsLen);
    const auto at = text.find(std::string("ScanType") + '\0');
    ASSERT_NE(at, std::string::npos);
    edited.achSettings[at + 9] = '0';
    *record = edited;
    user.Click(kCancel);
    ASSERT_EQ(Dialog(), RC_SCAN_DLG_CANCEL);
    const DialogState dialog = user.Steps().back().dialog;
    EXPECT_EQ(StateOf(dialog, feeder != 0 ? kSimplex : kFlatbed), "cev") << feeder;
    EXPECT_EQ(std::memcmp(&edited, record.get(), sizeof edited), 0) << "cancel writes nothing";
  }
}

TEST_F(Dialogs, DuplexIsOfferedByTheScanTypesEvenWithoutTheFeederBit) {
  Start("FeederStatus=0x2\nScanTypes=2,4\n");
  user.Click(kCancel);
  EXPECT_EQ(Dialog(), RC_SCAN_DLG_CANCEL);
  const DialogState dialog = First();
  EXPECT_EQ(StateOf(dialog, kFlatbed), "cev") << "the feeder's scan type 3 is not offered";
  EXPECT_EQ(StateOf(dialog, kSimplex), "--v");
  EXPECT_EQ(StateOf(dialog, kDuplex), "-ev");
}

TEST_F(Dialogs, WithoutAScanTypeTagOkWritesNoneAndKeepsTheFeederValue) {
  Start("ScanTypes=none\n");
  InitRecord();
  record->lFeeder = 0;
  user.Click(kSimplex).Click(kOk);
  ASSERT_EQ(Dialog(), 0);
  EXPECT_EQ(StateOf(First(), kFlatbed), "cev") << "chosen from the sources and the record";
  EXPECT_EQ(+record->lFeeder, 0);
  EXPECT_EQ(RecordSetting(*record, "ScanType"), "<none>");
}

TEST_F(Dialogs, CompressionChoicesFollowTheBitDepth) {
  Start("BitDepths=8,24,1\n");
  InitRecord();
  record->lCompression = 4;  // Group 4 on gray cannot be
  user.Click(kOk);
  ASSERT_EQ(Dialog(), 0);
  const DialogState dialog = First();
  EXPECT_EQ(StateOf(dialog, kUncompressed), "cev");
  for (const int ccitt : {kG3OneD, kG3TwoD, kG4}) EXPECT_EQ(StateOf(dialog, ccitt), "--v");
  EXPECT_EQ(StateOf(dialog, kJpeg), "-ev");
  EXPECT_EQ(+record->lCompression, 1);
}

TEST_F(Dialogs, JpegStaysOnlyAtEightBits) {
  Start();
  InitRecord();
  record->lCompression = 6;
  user.Click(kOk);
  ASSERT_EQ(Dialog(), 0);
  EXPECT_EQ(StateOf(First(), kJpeg), "--v");
  EXPECT_EQ(StateOf(First(), kUncompressed), "cev");
  EXPECT_EQ(+record->lCompression, 1);
}

TEST_F(Dialogs, ParameterSendingDriversAlwaysScanAhead) {
  Start("SendParams=1\n");
  InitRecord();
  user.Click(kScanAhead).Click(kOk);
  ASSERT_EQ(Dialog(), 0);
  EXPECT_EQ(StateOf(First(), kScanAhead), "c-v");
  EXPECT_EQ(RecordSetting(*record, "ScanAhead"), "1");
  EXPECT_TRUE(Logged("Parameters sent to the scanner"));
}

TEST_F(Dialogs, JobSeparatorsAreOfferedOnlyWithAValueFromOneToFour) {
  Start("JobSeparators=0,2,7\n");
  InitRecord();
  user.Click(kJobSeparators).Click(kOk);
  ASSERT_EQ(Dialog(), 0);
  EXPECT_EQ(StateOf(First(), kJobSeparators), "-ev");
  EXPECT_EQ(RecordSetting(*record, "JobSeparator"), "2");

  lib->SCANFREE();
  Start("JobSeparators=0,7\n");
  InitRecord();
  user.Click(kJobSeparators).Click(kOk);
  ASSERT_EQ(Dialog(), 0);
  EXPECT_EQ(StateOf(user.Steps().back().dialog, kJobSeparators), "--v");
  EXPECT_EQ(RecordSetting(*record, "JobSeparator"), "0");
}

TEST_F(Dialogs, TheDriversImageDialogThenWidthsAlignedToWholeBytes) {
  // Letter at 200 dots per inch: 1700 dots, which one bit per dot cannot fill bytes with.
  Start("Resolutions=200\nWidthStep=1\n");
  InitRecord();
  user.Click(kImageParameters).Click(kFirstWidth).Click(kOk).Click(kCancel);
  ASSERT_EQ(Dialog(), RC_SCAN_DLG_CANCEL);
  const auto steps = user.Steps();
  ASSERT_GE(steps.size(), 3u);
  EXPECT_EQ(steps[1].dialog.templateId, kImageDialog);
  EXPECT_EQ(steps[1].dialog.Control(kFirstWidth)->text, "1700 dots");
  EXPECT_TRUE(Logged("   Width being adjusted to be a multiple of 8: 1700"));

  lib->SCANFREE();
  Start("Resolutions=200\nWidthStep=1\nBitDepths=8\n");
  InitRecord();
  user.Click(kImageParameters).Click(kFirstWidth).Click(kOk).Click(kOk);
  ASSERT_EQ(Dialog(), 0);
  EXPECT_EQ(RecordSetting(*record, "ImageWidth"), "1700");
  for (const std::string& line : lib->LogMessages()) {
    EXPECT_EQ(line.find("Width being adjusted"), std::string::npos) << line;
  }
}

TEST_F(Dialogs, HelpShowsItsMessageAndLeavesTheDialogOpen) {
  Start();
  user.Help().Click(kCancel);
  EXPECT_EQ(Dialog(), RC_SCAN_DLG_CANCEL);
  const auto boxes = user.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Help Message");
  EXPECT_EQ(boxes[0].text,
            "No Help Available.\nPlease see the README file and Programmer's Guide.");
  EXPECT_EQ(boxes[0].type, platform::kMessageBoxIconInformation);
  ASSERT_TRUE(boxes[0].owner.has_value());
  EXPECT_EQ(boxes[0].owner->templateId, 259);
  EXPECT_EQ(user.Steps().size(), 2u);
}

TEST_F(Dialogs, ACompressionNoPipeCanDeliverOpensTheDialogAgain) {
  Start();
  InitRecord();
  const auto before = std::make_unique<ParmRecord>(*record);
  sim::FailNext(sim::Op::MakePipe);
  user.Click(kFlatbed).Click(kG4).Click(kOk).Click(kCancel);
  EXPECT_EQ(Dialog(), RC_SCAN_DLG_CANCEL);
  const auto boxes = user.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Error!");
  EXPECT_EQ(boxes[0].text,
            "The compression method you have requested is only available through software "
            "components that are not installed on this machine.   Please select another "
            "compression method");
  EXPECT_FALSE(boxes[0].owner.has_value());
  const auto steps = user.Steps();
  ASSERT_EQ(steps.size(), 4u);
  EXPECT_EQ(StateOf(steps[3].dialog, kG4), "cev") << "shown again with the user's choices";
  EXPECT_EQ(StateOf(steps[3].dialog, kFlatbed), "cev");
  EXPECT_EQ(std::memcmp(before.get(), record.get(), sizeof *before), 0) << "record as before";
  EXPECT_TRUE(Logged("      Cant make pipe, force dialog open again"));

  // Accepted the second time.
  sim::FailNext(sim::Op::MakePipe);
  user.Click(kG4).Click(kOk).Click(kOk);
  EXPECT_EQ(Dialog(), 0);
  EXPECT_EQ(+record->lCompression, 4);
}

TEST_F(Dialogs, BarPatchOkStoresTheSwitchesAndCancelKeepsThem) {
  Start();
  InitRecord();
  user.Click(kBarPatch).Click(kSearchBarcodes).Click(kSearchBarcodes).Click(kPatchT).Click(kOk);
  user.Click(kOk);
  ASSERT_EQ(Dialog(), 0);
  auto steps = user.Steps();
  ASSERT_EQ(steps.size(), 6u);
  EXPECT_EQ(steps[1].dialog.templateId, 260);
  EXPECT_EQ(StateOf(steps[1].dialog, kConfigureBarcode), "--v") << "no barcode search yet";
  EXPECT_EQ(StateOf(steps[2].dialog, kConfigureBarcode), "-ev");
  EXPECT_EQ(StateOf(steps[3].dialog, kConfigureBarcode), "--v");
  EXPECT_EQ(std::vector<int>({record->p2, record->p3, record->pt, record->bro}),
            std::vector<int>({0, 0, 1, 0}));
  EXPECT_TRUE(Logged("   OK on bar/patch dlg.  values set to SCB"));

  // The component's sheet changes its state, which a Cancel of the bar/patch dialog keeps
  // with the switches as they were.
  const std::string stateBefore = record->szBarcodeState;
  user.Click(kBarPatch).Click(kPatch2).Click(kSearchBarcodes).Click(kConfigureBarcode);
  user.Click(kSheetCode39).Click(kOk).Click(kCancel).Click(kOk);
  ASSERT_EQ(Dialog(), 0);
  steps = user.Steps();
  EXPECT_EQ(steps[steps.size() - 4].dialog.caption, "Barcode Settings");
  EXPECT_EQ(StateOf(steps[steps.size() - 3].dialog, kSheetCode39), "-ev") << "Code39 cleared";
  EXPECT_EQ(std::vector<int>({record->p2, record->p3, record->pt, record->bro}),
            std::vector<int>({0, 0, 1, 0}));
  EXPECT_NE(stateBefore, record->szBarcodeState);
  EXPECT_EQ(std::string(record->szBarcodeState).find("Code39"), std::string::npos);
  EXPECT_TRUE(Logged("   Popping barcode property sheet"));
}

TEST_F(Dialogs, KillFromAnotherThreadClosesTheDialog) {
  Start();
  InitRecord();
  user.WaitForRequest();
  auto shown = std::async(std::launch::async, [&] { return Dialog(); });
  user.AwaitWaiting();
  EXPECT_EQ(lib->SCANKILL(1), 0);
  EXPECT_EQ(shown.get(), RC_SCAN_DLG_CANCEL);
  EXPECT_EQ(user.Unscripted(), 0) << "closed by the request, not by the script's end";
  EXPECT_TRUE(NothingStored());
}

TEST_F(Dialogs, ASendingScannerIsSentTheParametersLastSentAgainAfterTheDialog) {
  Start("SendParams=1\n");
  InitRecord();
  std::int32_t handle = 0;
  ASSERT_EQ(lib->SCANOPEN("dev", 0, &handle), 0);
  ASSERT_EQ(lib->SCANSETSTATE(handle, record.get()), 0);
  const sim::DriverView live("VSCAN");
  const auto sentWidth = live.SentInteger(kTagImageWidth);
  ASSERT_TRUE(sentWidth.has_value());
  // The dialog edits a narrower record: the scanner is sent it while the dialog shows.
  SCAN_AREA narrow{0, 0, 1200, 1500};
  ASSERT_EQ(lib->SCANSETPARM("dev", record.get(), SCAN_PARM_AREA, &narrow), 0);
  for (const int button : {kCancel, kOk}) {
    SCOPED_TRACE(button == kOk ? "OK" : "Cancel");
    const std::uint32_t sendsBefore = live.ParameterSends().value_or(0);
    user.Click(button);
    Dialog();
    EXPECT_EQ(live.ParameterSends(), sendsBefore + 2) << "the dialog's, then the last sent again";
    EXPECT_EQ(live.SentInteger(kTagImageWidth), sentWidth) << "the scanner scans as last sent";
    EXPECT_EQ(live.Integer(kTagImageWidth), sentWidth);
  }
}

TEST_F(Dialogs, WithoutAScreenSizeTheDialogEndsAsAccepted) {
  Start();
  InitRecord();
  user.Screen(0, 0);
  EXPECT_EQ(Dialog(), 0);
  EXPECT_TRUE(user.Steps().empty()) << "never shown";
  EXPECT_EQ(+record->usSize, PARM_RECORD_SIZE);
}

TEST_F(Dialogs, RefusedRecordsAndArguments) {
  Start();
  InitRecord();
  std::strcpy(record->szID, "Another scanner");
  EXPECT_EQ(Dialog(), RC_SCAN_INVALID_PARM);
  EXPECT_TRUE(user.Steps().empty()) << "no dialog";
  EXPECT_EQ(lib->SCANPARMSDLG(nullptr, record.get()), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(lib->SCANPARMSDLG("dev", nullptr), RC_SCAN_INVALID_PARM);
  EXPECT_EQ(sim::DriverView("VSCAN").LoadedNow(), 0u);
}

}  // namespace
