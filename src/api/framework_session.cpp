#include "api/framework_session.h"

#include "framework/qel.h"
#include "pipeline/page_reader.h"

namespace {
constexpr char kAppName[] = "KOV Glue Code";
}

// Results are not looked at: a framework that fails to start fails the first real command.
void FrameworkStart() {
  QelStartup();
  QelMemStartup();
  QelSetAppName(kAppName);
  QelMemSetAppName(kAppName);
}

void FrameworkStop() {
  UnloadPipe();
  QelShutdown();
  QelMemShutdown();
}
