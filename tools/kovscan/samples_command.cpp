#include "tools/kovscan/samples_command.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
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
  auto count = std::make_shared<std::optional<std::uint32_t>>();
  CLI::App* command = app.add_subcommand("samples", "write a sample batch and a profile for it");
  command->add_option("folder", *folder, "where to write")->required();
  command
      ->add_option("--pages", *count,
                   "pages to write, the plan over and over (default: the plan's " +
                       std::to_string(samples::kPlannedPages) + ", or " +
                       std::to_string(samples::kDuplexPlannedPages) + " for duplex)")
      ->check(WholeNumberIn(1, samples::kMostPages));
  auto set = std::make_shared<samples::SampleSet>(samples::SampleSet::Office);
  command
      ->add_option("--plan", *set,
                   "office: documents behind separator sheets, one side each; duplex: sheets "
                   "of two sides, pages turned and skewed among them (scan with --duplex)")
      ->transform(CLI::CheckedTransformer(
          std::map<std::string, samples::SampleSet>{{"office", samples::SampleSet::Office},
                                                    {"duplex", samples::SampleSet::Duplex}}))
      ->capture_default_str();
  auto overwrite = std::make_shared<bool>(false);
  command->add_flag("--overwrite", *overwrite,
                    "replace an earlier sample batch in the folder (only the files "
                    "kovscan-files.txt lists there)");
  return {command, [folder, count, set, overwrite] {
            // The same rule as a scan's output folder: only kovscan's own files are replaced.
            OutputFolder output(*folder, {"pages"}, *overwrite);
            WrittenFiles& written = output.Make();
            const auto pages = samples::WriteSampleBatch(
                *folder, count->value_or(samples::PlannedPages(*set)),
                [&written](const auto& file) { written.Note(file); }, *set);
            std::printf("%zu sample pages in %s, profile %s\n", pages.size(),
                        (*folder / "pages").string().c_str(),
                        (*folder / "zaft.ini").string().c_str());
            return kSuccess;
          }};
}

}  // namespace kovscan
