// The terminal user: a dialog drawn as text on standard output, answered from standard input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/control_block.h"
#include "dialogs/bar_patch_dialog.h"
#include "dialogs/dialog_templates.h"
#include "platform/posix/dialog_user.h"

namespace {

// Runs the bar/patch dialog with `input` as standard input; the result and what was drawn.
std::pair<std::intptr_t, std::string> RunWithInput(const std::string& input) {
  std::fflush(stdout);
  const int savedIn = dup(STDIN_FILENO);
  const int savedOut = dup(STDOUT_FILENO);
  int pipeEnds[2];
  EXPECT_EQ(pipe(pipeEnds), 0);
  EXPECT_EQ(write(pipeEnds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(pipeEnds[1]);
  dup2(pipeEnds[0], STDIN_FILENO);
  close(pipeEnds[0]);
  char outName[] = "/tmp/kovterminal.XXXXXX";
  const int out = mkstemp(outName);
  dup2(out, STDOUT_FILENO);
  close(out);

  platform::SetDialogUser(nullptr);
  const std::intptr_t result =
      platform::DialogBoxParam(nullptr, BarPatchTemplate, nullptr, BarPatchProc, 0);

  std::fflush(stdout);
  dup2(savedIn, STDIN_FILENO);
  dup2(savedOut, STDOUT_FILENO);
  close(savedIn);
  close(savedOut);
  std::stringstream drawn;
  drawn << std::ifstream(outName).rdbuf();
  std::remove(outName);
  return {result, drawn.str()};
}

TEST(TerminalUser, DrawsTheDialogAndTakesTheClicksTyped) {
  SCB.p2 = SCB.p3 = SCB.pt = SCB.bro = 0;
  const auto [result, drawn] = RunWithInput("1006\n1002\n  \nnonsense\n1\n");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(SCB.bro, 1);
  EXPECT_EQ(SCB.p2, 1);
  EXPECT_EQ(SCB.pt, 0);
  EXPECT_NE(drawn.find("== Scanner Controls =="), std::string::npos) << drawn;
  EXPECT_NE(drawn.find("  1007  [ Configure Barcode ]  (not available)"), std::string::npos);
  EXPECT_NE(drawn.find("  1006  [x] Search for Bar Codes"), std::string::npos);
  EXPECT_NE(drawn.find("  1002  [x] Detect Patch II's"), std::string::npos);
}

TEST(TerminalUser, TheEndOfTheInputClosesTheDialog) {
  SCB.bro = 0;
  const auto [result, drawn] = RunWithInput("1006");
  EXPECT_EQ(result, 2) << "closed, as Cancel";
  EXPECT_EQ(SCB.bro, 0) << "nothing stored";
}

}  // namespace
