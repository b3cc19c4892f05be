// `kovscan samples DIR`: a sample batch and a profile whose scanner feeds it. Only where the
// sample generator builds (Linux: it draws barcodes with a library the Windows build lacks);
// the Windows build has no such command.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace kovscan {

struct SamplesCommand {
  CLI::App* command = nullptr;  // none in a build without the generator
  std::function<int()> run;
};

SamplesCommand AddSamplesCommand(CLI::App& app);

}  // namespace kovscan
