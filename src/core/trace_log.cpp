#include "core/trace_log.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/control_block.h"
#include "core/profile_switch.h"
#include "framework/qel.h"
#include "platform/platform.h"

namespace {

constexpr char kLogFileName[] = "KOVZAFT.LOG";
#ifdef _WIN32
constexpr char kFallbackLogPath[] = "C:\\KOVZAFT.LOG";
#else
constexpr char kFallbackLogPath[] = "/tmp/KOVZAFT.LOG";
#endif

constexpr std::int32_t kFileReadWrite = 2;
constexpr std::int32_t kSeekEnd = 2;

struct LogSettings {
  bool bLoggingEnabled = false;
  bool bLogPrintText = false;
  char szLogPath[kLogPathSize] = {};
};

// Read once in the life of the loaded module: later profile changes need a reload.
const LogSettings& Settings() {
  static LogSettings settings;
  static std::once_flag configured;
  std::call_once(configured, [] {
    settings.bLoggingEnabled = ProfileSwitchEquals("Debug", "1", kLogPathSize);
    char moduleName[kLogPathSize];
    platform::GetModuleFileName(hModuleInstance, moduleName, sizeof moduleName);
    BuildLogPath(moduleName, settings.szLogPath, sizeof settings.szLogPath);
    settings.bLogPrintText = ProfileSwitchEquals("PrtText", "1");
  });
  return settings;
}

// Lines from SCANKILL or a late worker may come from another thread; keep each line whole.
// Never destroyed: a worker may still write while the process ends.
std::mutex& WriteLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

void WriteLine(const char* text) {
  const LogSettings& settings = Settings();
  if (!settings.bLoggingEnabled) return;

  char prefix[kTracePrefixSize];
  FormatTracePrefix(platform::GetCurrentThreadId(), platform::GetTickCount(), prefix,
                    sizeof prefix);

  std::lock_guard lock(WriteLock());
  std::int32_t file = QelFileOpen(settings.szLogPath, 0, 0, 0, kFileReadWrite);
  if (file < 0) file = QelFileCreate(settings.szLogPath, 0, 0, 0, 0);
  if (file < 0) return;  // a lost line must not disturb the caller
  QelFileSeek(file, 0, kSeekEnd);
  QelFileWrite(file, prefix, static_cast<std::int32_t>(std::strlen(prefix)));
  QelFileWrite(file, text, static_cast<std::int32_t>(std::strlen(text)));
  QelFileWrite(file, "\r\n", 2);
  QelFileClose(file);
}

}  // namespace

void FormatTracePrefix(std::uint32_t threadId, std::uint32_t tickMs, char* buffer,
                       std::size_t bufferSize) {
  std::snprintf(buffer, bufferSize, "t%-5x %03uh.%02um.%02us.%03u> ", threadId,
                (tickMs / 3600000u) % 24u, (tickMs / 60000u) % 60u, (tickMs / 1000u) % 60u,
                tickMs % 1000u);
}

void BuildLogPath(const char* moduleFileName, char* buffer, std::size_t bufferSize) {
  const char* lastSeparator = std::strrchr(moduleFileName, platform::kPathSeparator);
  const std::size_t folderLength =
      lastSeparator == nullptr ? 0 : static_cast<std::size_t>(lastSeparator - moduleFileName) + 1;
  if (folderLength == 0 || folderLength + sizeof kLogFileName > bufferSize) {
    std::snprintf(buffer, bufferSize, "%s", kFallbackLogPath);
    return;
  }
  std::snprintf(buffer, bufferSize, "%.*s%s", static_cast<int>(folderLength), moduleFileName,
                kLogFileName);
}

bool TraceInvariant(bool holds, const char* field) {
  if (!holds) TraceLogStr("assertion failed: %s", field);
  return holds;
}

bool TraceMayLogPrintText() {
  return Settings().bLogPrintText;
}

void TraceLog(const char* text) {
  WriteLine(text != nullptr ? text : "");
}

void TraceLogInt(const char* format, std::int32_t value) {
  if (!Settings().bLoggingEnabled) return;  // nothing to format for a log that is off
  char line[kTraceFormatSize];
  std::snprintf(line, sizeof line, format, value);
  WriteLine(line);
}

void TraceLogStr(const char* format, const char* text) {
  if (!Settings().bLoggingEnabled) return;
  char line[kTraceFormatSize];
  std::snprintf(line, sizeof line, format, text != nullptr ? text : "(null)");
  WriteLine(line);
}
