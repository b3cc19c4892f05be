// The dialog templates the POSIX window system builds from are, control by control, the ones
// the DLL carries: both are compared with the same listing the DLL's resources are checked
// against.
#include "dialogs/dialog_templates.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr std::uint32_t kSetFont = 0x40;  // a template with a FONT statement carries it
constexpr std::uint32_t kChildVisible = 0x50000000;

std::string Listing(const platform::DialogTemplate& dialog) {
  char line[256];
  std::string text;
  std::snprintf(line, sizeof line, "%d DIALOG %d, %d, %d, %d\nSTYLE 0x%08x\nCAPTION \"%s\"\n",
                static_cast<int>(dialog.id), dialog.x, dialog.y, dialog.width, dialog.height,
                static_cast<unsigned>(dialog.style | kSetFont), dialog.caption);
  text += line;
  std::snprintf(line, sizeof line, "FONT %d, \"%s\"\n", dialog.fontSize, dialog.font);
  text += line;
  for (std::size_t index = 0; index < dialog.controlCount; ++index) {
    const platform::DialogControl& control = dialog.controls[index];
    std::snprintf(line, sizeof line, "  CONTROL \"%s\", %d, \"BUTTON\", 0x%08x, %d, %d, %d, %d\n",
                  control.text, static_cast<int>(control.id),
                  static_cast<unsigned>(control.style | kChildVisible), control.x, control.y,
                  control.width, control.height);
    text += line;
  }
  return text;
}

TEST(DialogTemplates, AreTheOnesTheDllCarries) {
  std::stringstream expected;
  expected << std::ifstream(KOV_EXPECTED_DIALOGS).rdbuf();
  ASSERT_FALSE(expected.str().empty());
  EXPECT_EQ(Listing(ScannerControlsTemplate) + Listing(BarPatchTemplate), expected.str());
}

}  // namespace
