// The trace line prefix and the log's place.
#include <gtest/gtest.h>

#include <string>

#include "core/trace_log.h"

namespace {

std::string Prefix(std::uint32_t threadId, std::uint32_t tickMs) {
  char buffer[kTracePrefixSize];
  FormatTracePrefix(threadId, tickMs, buffer, sizeof buffer);
  return buffer;
}

std::uint32_t Tick(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds,
                   std::uint32_t ms) {
  return ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms;
}

TEST(TracePrefix, ThreadInAFieldOfFiveThenTimeOfDayOfTheTickCount) {
  EXPECT_EQ(Prefix(0x1a4, Tick(12, 5, 9, 42)), "t1a4   012h.05m.09s.042> ");
  EXPECT_EQ(Prefix(0, 0), "t0     000h.00m.00s.000> ");
  EXPECT_EQ(Prefix(0xabcde, Tick(23, 59, 59, 999)), "tabcde 023h.59m.59s.999> ");
}

TEST(TracePrefix, HoursWrapAtADayAndWideThreadIdsShiftTheRest) {
  EXPECT_EQ(Prefix(0x10, Tick(29, 0, 0, 0)), "t10    005h.00m.00s.000> ");
  EXPECT_EQ(Prefix(0x1234567, Tick(1, 2, 3, 4)), "t1234567 001h.02m.03s.004> ");
  // The tick count wraps at 2^32 ms, about 49.7 days: 1193h 2m 47.295s, 17 o'clock.
  EXPECT_EQ(Prefix(1, 0xFFFFFFFFu), "t1     017h.02m.47s.295> ");
}

TEST(LogPath, BesideTheModuleOrTheFixedFallback) {
  char path[kLogPathSize];
  BuildLogPath("/opt/host/lib/libKOVZAFT2.so", path, sizeof path);
  EXPECT_STREQ(path, "/opt/host/lib/KOVZAFT.LOG");

  BuildLogPath("", path, sizeof path);
  EXPECT_STREQ(path, "/tmp/KOVZAFT.LOG");

  // A folder too long for the path buffer must not be cut into a wrong folder.
  const std::string deep = "/" + std::string(kLogPathSize - 10, 'd') + "/libKOVZAFT2.so";
  BuildLogPath(deep.c_str(), path, sizeof path);
  EXPECT_STREQ(path, "/tmp/KOVZAFT.LOG");

  const std::string fits = "/" + std::string(kLogPathSize - 14, 'd') + "/x.so";
  BuildLogPath(fits.c_str(), path, sizeof path);
  EXPECT_EQ(std::string(path), "/" + std::string(kLogPathSize - 14, 'd') + "/KOVZAFT.LOG");
}

}  // namespace
