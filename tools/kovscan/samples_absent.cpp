// The Windows build: no sample generator, so no `samples` command.
#include "tools/kovscan/samples_command.h"

namespace kovscan {

SamplesCommand AddSamplesCommand(CLI::App&) {
  return {};
}

}  // namespace kovscan
