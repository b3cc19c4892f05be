#include "dialogs/scanner_controls_dialog.h"

#include <array>
#include <optional>

#include "core/compression_code.h"
#include "core/control_block.h"
#include "core/trace_log.h"
#include "dialogs/bar_patch_dialog.h"
#include "dialogs/center_dialog.h"
#include "dialogs/dialog_templates.h"
#include "framework/driver_calls.h"
#include "parms/parm_record.h"
#include "parms/tag_conversion.h"
#include "resources/dialogs.h"

namespace {

constexpr std::int32_t kScanTypeFlatbed = 2;
constexpr std::int32_t kScanTypeSimplex = 3;
constexpr std::int32_t kScanTypeDuplex = 4;
constexpr std::int32_t kFeederPresent = 1;   // tag 1283, bit 0
constexpr std::int32_t kFlatbedPresent = 2;  // tag 1283, bit 1
constexpr std::int32_t kFirstJobSeparator = 1;
constexpr std::int32_t kLastJobSeparator = 4;
constexpr std::intptr_t kSaveAsResult = IDC_SAVE_AS;
constexpr std::uintptr_t kHelpCommand = 9;

// Stand-ins for tags a driver does not answer. A driver that does not tell its sources is
// not held to either (its scan-type choices still decide duplex); without 277 or 258 the
// image is what TIFF assumes without them: one sample of one bit.
constexpr std::int32_t kSourcesUntold = kFeederPresent | kFlatbedPresent;
constexpr std::int32_t kSamplesUntold = 1;
constexpr std::int32_t kBitsUntold = 1;

struct CompressionButton {
  std::int32_t id;
  Compression compression;
};
constexpr std::array<CompressionButton, 5> kCompressionButtons = {
    {{IDC_UNCOMPRESSED, kUncompressed},
     {IDC_G3_1D, kG3OneD},
     {IDC_G3_2D, kG3TwoD},
     {IDC_G4, kG4},
     {IDC_JPEG, kJpeg}}};

// The caller's record while the dialog lives.
ParmRecord* pDlgParms = nullptr;

const DriverRecord& Scanner() {
  return SCB.ScannerDriver;
}

bool Checked(platform::Window* window, std::int32_t id) {
  return platform::IsDlgButtonChecked(window, id);
}

// The record is packed: its fields are written in place, never through a reference.
void RecordFeeder(std::int32_t feeder) {
  if (pDlgParms != nullptr) pDlgParms->lFeeder = feeder;
}

void ShowHelp(platform::Window* window) {
  platform::MessageBox(
      window, "No Help Available.\nPlease see the README file and Programmer's Guide.",
      "Help Message", platform::kMessageBoxOk | platform::kMessageBoxIconInformation);
}

std::int32_t ScanTypeButton(std::int32_t sources) {
  std::int32_t scanType = 0;
  const bool feeder = pDlgParms == nullptr || pDlgParms->lFeeder != 0;
  if (DrvGetTag(Scanner(), tag_scantype, scanType) == 0) {
    switch (scanType) {
      case kScanTypeFlatbed:
        return IDC_FLATBED;
      case kScanTypeSimplex:
        return IDC_SIMPLEX;
      case 0:
        return feeder ? IDC_SIMPLEX : IDC_FLATBED;
      default:
        return IDC_DUPLEX;
    }
  }
  if ((sources & kFeederPresent) != 0 && (sources & kFlatbedPresent) != 0) {
    return feeder ? IDC_SIMPLEX : IDC_FLATBED;
  }
  return (sources & kFlatbedPresent) != 0 ? IDC_FLATBED : IDC_SIMPLEX;
}

void InitJobSeparators(platform::Window* window) {
  std::int32_t value = 0;
  if (DrvGetTag(Scanner(), kTagPageLevel, value) == 0 ||
      DrvGetTag(Scanner(), kTagJobSeparators, value) != 0) {
    platform::EnableDlgItem(window, IDC_JOB_SEPARATORS, false);
    return;
  }
  platform::CheckDlgButton(window, IDC_JOB_SEPARATORS, value != 0);
  std::int32_t count = 0;
  DrvGetChoiceCount(Scanner(), kTagJobSeparators, count);
  for (std::int32_t index = (count & 0xFFFF) - 1; index >= 0; --index) {
    std::int32_t choice = 0;
    if (DrvGetChoice(Scanner(), kTagJobSeparators, static_cast<std::uint16_t>(index), choice) ==
            0 &&
        choice >= kFirstJobSeparator && choice <= kLastJobSeparator) {
      SCB.lJobSepValue = choice;
      return;
    }
  }
  platform::EnableDlgItem(window, IDC_JOB_SEPARATORS, false);
}

void InitScanAhead(platform::Window* window) {
  if (SCB.bSendParams != 0) {
    platform::CheckDlgButton(window, IDC_SCAN_AHEAD, true);
    platform::EnableDlgItem(window, IDC_SCAN_AHEAD, false);
    return;
  }
  if (!TagHasChoice(kTagScanAhead, 1)) {
    platform::CheckDlgButton(window, IDC_SCAN_AHEAD, false);
    platform::EnableDlgItem(window, IDC_SCAN_AHEAD, false);
  }
  std::int32_t scanAhead = 0;
  const bool on = DrvGetTag(Scanner(), kTagScanAhead, scanAhead) == 0 && scanAhead != 0;
  platform::CheckDlgButton(window, IDC_SCAN_AHEAD, on);
}

void ConfigureImageParameters(platform::Window* window) {
  QelDrvMessage(Scanner(), QelDrvShowDialog, 0, window);
  ReadCompression(window);
  UpdateCompressionControls(window);
  RoundImageWidth();
}

// A dialog that cannot be centred ends at once, as accepted, with nothing set up.
void Initialise(platform::Window* window, std::intptr_t lParam) {
  hDlgWnd = window;
  pDlgParms = reinterpret_cast<ParmRecord*>(lParam);
  if (CenterDialog(window) != 0) {
    platform::EndDialog(window, IDC_OK);
    return;
  }
  InitScannerControls(window);
}

}  // namespace

void InitScannerControls(platform::Window* window) {
  const std::int32_t sources = DrvGetTagOr(Scanner(), kTagFeederStatus, kSourcesUntold);
  if ((sources & kFlatbedPresent) == 0) platform::EnableDlgItem(window, IDC_FLATBED, false);
  if ((sources & kFeederPresent) == 0) {
    platform::EnableDlgItem(window, IDC_SIMPLEX, false);
    platform::EnableDlgItem(window, IDC_DUPLEX, false);
  }
  platform::EnableDlgItem(window, IDC_DUPLEX, TagHasChoice(tag_scantype, kScanTypeDuplex));
  platform::CheckRadioButton(window, IDC_FLATBED, IDC_DUPLEX, ScanTypeButton(sources));
  SCB.lJobSepValue = -1;
  InitJobSeparators(window);
  InitScanAhead(window);
  UpdateCompressionControls(window);
  platform::ShowDlgItem(window, IDC_SAVE_AS, false);
}

void UpdateCompressionControls(platform::Window* window) {
  const std::int32_t samples = DrvGetTagOr(Scanner(), kTagSamplesPerPixel, kSamplesUntold);
  const std::int32_t bits = DrvGetTagOr(Scanner(), kTagBitsPerSample, kBitsUntold);
  // The CCITT codings are for bitonal images only, JPEG for 8-bit samples only.
  const bool ccitt = SCB.lCurCompression == kTiffCcittG3 || SCB.lCurCompression == kTiffCcittG4;
  if ((samples == 3 || bits > 1) && ccitt) SetWorkingCompression(kUncompressed);
  if (bits != 8 && SCB.lCurCompression == kTiffJpeg) SetWorkingCompression(kUncompressed);
  const bool bitonal = samples == 1 && bits == 1;
  platform::EnableDlgItem(window, IDC_UNCOMPRESSED, true);
  platform::EnableDlgItem(window, IDC_G4, bitonal);
  platform::EnableDlgItem(window, IDC_G3_1D, bitonal);
  platform::EnableDlgItem(window, IDC_G3_2D, bitonal);
  platform::EnableDlgItem(window, IDC_JPEG, samples == 3 || bits == 8);
  const std::optional<Compression> working = WorkingCompression();
  if (!working) return;
  for (const CompressionButton& button : kCompressionButtons) {
    if (button.compression.host == working->host) {
      platform::CheckRadioButton(window, IDC_UNCOMPRESSED, IDC_JPEG, button.id);
    }
  }
}

void ReadCompression(platform::Window* window) {
  // With no button checked the dialog reads as JPEG, the last.
  Compression chosen = kJpeg;
  for (const CompressionButton& button : kCompressionButtons) {
    if (Checked(window, button.id)) {
      chosen = button.compression;
      break;
    }
  }
  SetWorkingCompression(chosen);
}

void ApplyScannerControls(platform::Window* window) {
  std::int32_t scanType = 0;
  if (DrvGetTag(Scanner(), tag_scantype, scanType) == 0) {
    if (Checked(window, IDC_FLATBED)) {
      SetTagIfAllowed(tag_scantype, kScanTypeFlatbed);
      RecordFeeder(0);
    } else if (Checked(window, IDC_SIMPLEX)) {
      SetTagIfAllowed(tag_scantype, kScanTypeSimplex);
      RecordFeeder(1);
    } else {
      SetTagIfAllowed(tag_scantype, kScanTypeDuplex);
    }
  }
  SetTagIfAllowed(kTagScanAhead, SCB.bSendParams != 0 || Checked(window, IDC_SCAN_AHEAD) ? 1 : 0);
  SetTagIfAllowed(kTagJobSeparators, Checked(window, IDC_JOB_SEPARATORS) ? SCB.lJobSepValue : 0);
  ReadCompression(window);
}

std::intptr_t KOV_DIALOG_CALLBACK ScannerControlsProc(platform::Window* window,
                                                      std::uint32_t message, std::uintptr_t wParam,
                                                      std::intptr_t lParam) {
  switch (message) {
    case platform::kMessageInitDialog:
      Initialise(window, lParam);
      return 0;
    case platform::kMessageClose:
      platform::EndDialog(window, IDC_CANCEL);
      return 0;
    case platform::kMessageHelp:
      ShowHelp(window);
      return 0;
    case platform::kMessageCommand:
      break;
    default:
      return 0;
  }
  // The whole wParam: only a click (notification 0) is a command here.
  switch (wParam) {
    case IDC_OK:
    case IDC_SAVE_AS:
      ApplyScannerControls(window);
      platform::EndDialog(window, wParam == IDC_SAVE_AS ? kSaveAsResult : IDC_OK);
      return 0;
    case IDC_CANCEL:
      platform::EndDialog(window, IDC_CANCEL);
      return 0;
    case kHelpCommand:
      ShowHelp(window);
      return 0;
    case IDC_IMAGE_PARAMETERS:
      ConfigureImageParameters(window);
      return 1;
    case IDC_BAR_PATCH:
      TraceLog("   Displaying bar/patch config dialog");
      platform::DialogBoxParam(hModuleInstance, BarPatchTemplate, window, BarPatchProc,
                               reinterpret_cast<std::intptr_t>(pDlgParms));
      return 1;
    default:
      return 0;
  }
}
