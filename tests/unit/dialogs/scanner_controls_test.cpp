// The Scanner Controls procedures on a loaded kit driver, for what a host's record cannot
// bring about: working values no record keeps, tags a driver does not answer, counts with
// high bits, and the commands no button sends.
#include <gtest/gtest.h>

#include "core/control_block.h"
#include "dialogs/center_dialog.h"
#include "dialogs/dialog_templates.h"
#include "dialogs/scanner_controls_dialog.h"
#include "framework/messages.h"
#include "parms/parm_record.h"
#include "platform/posix/scripted_user.h"
#include "sim/services/faults/errors.h"
#include "tests/unit/scanner_fixture.h"

namespace {

constexpr int kOk = 1, kFlatbed = 268, kSimplex = 269, kDuplex = 270, kScanAhead = 297;
constexpr int kJobSeparators = 298, kUncompressed = 291, kG4 = 294, kJpeg = 295;

class ScannerControls : public ScannerTest {
 protected:
  void SetUp() override {
    ScannerTest::SetUp();
    platform::SetDialogUser(&user);
  }
  void TearDown() override {
    platform::SetDialogUser(nullptr);
    ScannerTest::TearDown();
  }
  std::intptr_t Show() {
    return platform::DialogBoxParam(nullptr, ScannerControlsTemplate, nullptr, ScannerControlsProc,
                                    reinterpret_cast<std::intptr_t>(&record));
  }
  // The control as the first action found it.
  platform::ControlState Control(int id) const {
    const auto steps = user.Steps();
    const platform::ControlState* control =
        steps.empty() ? nullptr : steps.front().dialog.Control(id);
    return control != nullptr ? *control : platform::ControlState{};
  }

  platform::ScriptedUser user;
  ParmRecord record{};
};

TEST_F(ScannerControls, AStoredCodeNoButtonStandsForBecomesJpegOnOk) {
  sim::DriverDesign design("KITA");
  design.Integer(kTagSamplesPerPixel, 1).Integer(kTagBitsPerSample, 8);
  LoadKit(design);
  for (const std::int32_t code : {2, 5}) {
    SCB.lCurCompression = code;
    user.Click(kOk);
    EXPECT_EQ(Show(), kOk);
    for (const int button : {kUncompressed, kG4, kJpeg}) {
      EXPECT_FALSE(user.Steps().back().dialog.Control(button)->checked) << code;
    }
    EXPECT_EQ(SCB.lCurCompression, 6) << code;
  }
}

TEST_F(ScannerControls, UntoldSourcesAndDepthsHoldTheDriverToNothing) {
  // No 1283, 277, 258, 1300, 1447 or 1293: every scan type may be chosen, the image is taken
  // as one bit, job separators and scan-ahead are off.
  LoadKit(sim::DriverDesign("KITA"));
  record.lFeeder = 1;
  SCB.lCurCompression = 4;
  user.Click(kDuplex).Click(kOk);
  EXPECT_EQ(Show(), kOk);
  EXPECT_TRUE(Control(kFlatbed).enabled);
  EXPECT_TRUE(Control(kSimplex).checked);
  EXPECT_FALSE(Control(kDuplex).enabled) << "no scan type 4 on offer";
  EXPECT_FALSE(Control(kJobSeparators).enabled);
  EXPECT_FALSE(Control(kScanAhead).enabled);
  EXPECT_FALSE(Control(kScanAhead).checked);
  EXPECT_TRUE(Control(kG4).checked) << "Group 4 kept for a bitonal image";
  EXPECT_FALSE(Control(kJpeg).enabled);
  EXPECT_EQ(SCB.lCurCompression, 4);
}

TEST_F(ScannerControls, ChoicesAreCountedInTheLowSixteenBits) {
  sim::DriverDesign design("KITA");
  design.Integer(tag_scantype, 3, {2, 3, 4});
  LoadKit(design);
  EXPECT_TRUE(TagHasChoice(tag_scantype, 4));
  EXPECT_FALSE(TagHasChoice(tag_scantype, 5));
  EXPECT_FALSE(TagHasChoice(kTagScanAhead, 1)) << "no such tag";
  UnloadDriver();
  sim::DriverDesign failing("KITB");
  failing.Integer(tag_scantype, 3, {2, 3, 4})
      .FailMessage(QelDrvGetChoiceCount, sim::kAnyTag, sim::error::kDriverFailure);
  LoadKit(failing);
  EXPECT_FALSE(TagHasChoice(tag_scantype, 4));
}

TEST_F(ScannerControls, TheHelpCommandAndCentring) {
  LoadKit(sim::DriverDesign("KITA"));
  platform::Window* shown = nullptr;
  // The help command (9) has no button; the procedure answers it as it answers F1.
  struct Probe {
    static std::intptr_t KOV_DIALOG_CALLBACK Proc(platform::Window* window, std::uint32_t message,
                                                  std::uintptr_t wParam, std::intptr_t lParam) {
      if (message == platform::kMessageInitDialog) {
        *reinterpret_cast<platform::Window**>(lParam) = window;
        EXPECT_EQ(CenterDialog(window), 0);
        ScannerControlsProc(window, platform::kMessageCommand, 9, 0);
        return 0;
      }
      return ScannerControlsProc(window, message, wParam, 0);
    }
  };
  user.Screen(1001, 701).Click(2);
  platform::DialogBoxParam(nullptr, ScannerControlsTemplate, nullptr, Probe::Proc,
                           reinterpret_cast<std::intptr_t>(&shown));
  ASSERT_EQ(user.MessageBoxes().size(), 1u);
  EXPECT_EQ(user.MessageBoxes()[0].caption, "Help Message");
  const platform::Rect rect = user.Steps().front().dialog.rect;
  EXPECT_EQ(rect.left, (1001 - 476) / 2) << "truncated";
  EXPECT_EQ(rect.top, (701 - 316) / 2);
  EXPECT_EQ(CenterDialog(shown), 1) << "the window is gone";
}

}  // namespace
