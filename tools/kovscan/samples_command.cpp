#include "tools/kovscan/samples_command.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "tools/kovscan/failure.h"
#include "tools/kovscan/output_folder.h"
#include "tools/kovscan/number_option.h"
#include "tools/kovscan/scan_command.h"
#include "tools/samples/sample_batch.h"

namespace kovscan {

SamplesCommand AddSamplesCommand(CLI::App& app) {
  auto folder = std::make_shared<std::filesystem::path>();
  auto count = std::make_shared<std::uint32_t>(samples::kPlannedPages);
  CLI::App* command = app.add_subcommand("samples", "write a sample batch and a profile for it");
  command->add_option("folder", *folder, "where to write")->required();
  command
      ->add_option("--pages", *count,
                   "pages to write, the planned " + std::to_string(samples::kPlannedPages) +
                       " over and over")
      ->check(WholeNumberIn(1, samples::kMostPages))
      ->capture_default_str();
  auto overwrite = std::make_shared<bool>(false);
  command->add_flag("--overwrite", *overwrite,
                    "replace an earlier sample batch in the folder (only the files "
                    "kovscan-files.txt lists there)");
  return {command, [folder, count, overwrite] {
            // The same rule as a scan's output folder: only kovscan's own files are replaced.
            OutputFolder output(*folder, {"pages"}, *overwrite);
            WrittenFiles& written = output.Make();
            const auto pages = samples::WriteSampleBatch(
                *folder, *count, [&written](const auto& file) { written.Note(file); });
            std::printf("%zu sample pages in %s, profile %s\n", pages.size(),
                        (*folder / "pages").string().c_str(),
                        (*folder / "zaft.ini").string().c_str());
            return kSuccess;
          }};
}

}  // namespace kovscan
