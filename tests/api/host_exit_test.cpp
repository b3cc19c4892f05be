// A host process that ends without SCANFREE ends: the library never holds the exit up.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include "host_library.h"

extern char** environ;

namespace {

// Runs the exiting host on the built library, with the profile the test's HostLibrary set;
// its exit status, or -1 when it did not end by itself.
int RunExitingHost(const char* mode) {
  char* argv[] = {const_cast<char*>(EXITING_HOST), const_cast<char*>(KOVZAFT2_LIBRARY),
                  const_cast<char*>(mode), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, EXITING_HOST, nullptr, nullptr, argv, environ) != 0) return -1;
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(HostExit, AHostThatEndsWithoutSCANFREEEnds) {
  const HostLibrary profile("[ZAFT]\nScanner=VSCAN\n");
  EXPECT_EQ(RunExitingHost("init"), 0) << "after SCANINIT alone";
  EXPECT_EQ(RunExitingHost("scan"), 0) << "with a scanner open and a record sent";
}

// The framework's tables outlive the host's exit handlers: a load stuck reading the profile
// goes on afterwards (a use of freed memory fails the child under AddressSanitizer). The
// library's own limits make it take about 50 s.
TEST(HostExit, AFrameworkCallStuckPastTheHostsExitFindsItsTablesStillThere) {
  const HostLibrary profile("[ZAFT]\nScanner=VSCAN\n");
  EXPECT_EQ(RunExitingHost("stuck"), 0);
}

}  // namespace
