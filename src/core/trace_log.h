// The trace log: one line per event in KOVZAFT.LOG beside the library, when the profile's
// "Debug" switch is on. It is the library's only diagnostic channel.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kTraceFormatSize = 256;  // TraceLogInt/TraceLogStr buffer
inline constexpr std::size_t kTracePrefixSize = 128;
inline constexpr std::size_t kLogPathSize = 260;

void TraceLog(const char* text);
// Format with one argument into a 256-byte buffer; longer results are cut at 255 characters.
void TraceLogInt(const char* format, std::int32_t value);
void TraceLogStr(const char* format, const char* text);

// An internal invariant: when it does not hold, traces "assertion failed: <field>" and
// answers false so the caller can stay clear of the broken state.
bool TraceInvariant(bool holds, const char* field);

// The profile switch "PrtText": imprinter texts may appear in the log.
bool TraceMayLogPrintText();

// "t<thread>  <hhh>h.<mm>m.<ss>s.<mmm>> " for a thread id and a millisecond tick count.
void FormatTracePrefix(std::uint32_t threadId, std::uint32_t tickMs, char* buffer,
                       std::size_t bufferSize);
// Builds the log's path for a module file name: its folder and "KOVZAFT.LOG", or the fixed
// fallback when the name is empty or the result would not fit.
void BuildLogPath(const char* moduleFileName, char* buffer, std::size_t bufferSize);
