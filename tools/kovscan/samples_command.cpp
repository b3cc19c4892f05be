#include "tools/kovscan/samples_command.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "tools/kovscan/scan_command.h"
#include "tools/samples/sample_batch.h"

namespace kovscan {

SamplesCommand AddSamplesCommand(CLI::App& app) {
  auto folder = std::make_shared<std::filesystem::path>();
  CLI::App* command = app.add_subcommand("samples", "write a sample batch and a profile for it");
  command->add_option("folder", *folder, "where to write")->required();
  return {command, [folder] {
            const auto pages = samples::WriteSampleBatch(*folder);
            std::printf("%zu sample pages in %s, profile %s\n", pages.size(),
                        (*folder / "pages").string().c_str(),
                        (*folder / "zaft.ini").string().c_str());
            return kSuccess;
          }};
}

}  // namespace kovscan
