// Start and stop of the framework and its memory-image library, as a test can see them.
#pragma once

#include <string>

namespace sim {

struct StartupState {
  bool started = false;
  bool memStarted = false;
  std::string appName;
  std::string memAppName;
};

StartupState CurrentStartup();

// Back to a framework that was never started.
void ResetStartup();

}  // namespace sim
