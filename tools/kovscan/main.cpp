// kovscan: a host of the library, built only on its exported calls.
//   kovscan samples DIR          a sample batch and a profile whose scanner feeds it
//   kovscan scan --out DIR ...   the feeder's pages into files, documents, manifest, report
#include <CLI/CLI.hpp>
#include <cstdio>
#include <map>

#include "tools/kovscan/scan_command.h"
#include "tools/samples/sample_batch.h"

namespace {

const std::map<std::string, std::uint16_t> kCompressions = {{"none", SCAN_COMP_NONE},
                                                            {"g3", SCAN_COMP_G3_1D},
                                                            {"g3-2d", SCAN_COMP_G3_2D},
                                                            {"g4", SCAN_COMP_G4},
                                                            {"jpeg", SCAN_COMP_JPEG}};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"kovscan: scan a batch through the KOVZAFT2 library"};
  app.require_subcommand(1);

  kovscan::ScanCommand scan;
  std::string compression = "none";
  CLI::App* scanCommand = app.add_subcommand("scan", "scan until the feeder is empty");
  scanCommand->add_option("--out", scan.out, "output folder")->required();
  scanCommand->add_option("--profile", scan.profile, "framework profile (zaft.ini)");
  scanCommand->add_option("--record", scan.record, "a saved parameter record to start from");
  scanCommand->add_option("--dpi", scan.options.dpi, "resolution in dots per inch");
  scanCommand->add_option("--bits", scan.options.bitsPerDot, "bits per dot: 1, 8 or 24");
  scanCommand->add_option("--compression", compression, "none, g3, g3-2d, g4 or jpeg")
      ->check(CLI::IsMember(kCompressions));
  scanCommand->add_flag("--flatbed", scan.options.flatbed, "the flatbed, not the feeder");
  scanCommand->add_flag("--patches", scan.options.patches, "detect patch-code separator sheets");
  scanCommand->add_flag("--barcodes", scan.options.barcodes, "read barcodes");
  scanCommand->add_flag("--drop-blank", scan.dropBlank, "leave blank pages out of documents");
  scanCommand->add_flag("--drop-separators", scan.dropSeparators,
                        "leave separator sheets out of documents");
  scanCommand->add_flag("--quiet", scan.quiet, "no progress line and no summary");

  std::filesystem::path samplesFolder;
  CLI::App* samplesCommand =
      app.add_subcommand("samples", "write a sample batch and a profile for it");
  samplesCommand->add_option("folder", samplesFolder, "where to write")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kovscan::kSuccess : kovscan::kBadArguments;
  }
  try {
    if (*scanCommand) {
      scan.options.compression = kCompressions.at(compression);
      return kovscan::RunScan(scan);
    }
    const auto pages = samples::WriteSampleBatch(samplesFolder);
    std::printf("%zu sample pages in %s, profile %s\n", pages.size(),
                (samplesFolder / "pages").c_str(), (samplesFolder / "zaft.ini").c_str());
    return kovscan::kSuccess;
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "kovscan: %s\n", error.what());
    return kovscan::kBadArguments;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kovscan: %s\n", error.what());
    return kovscan::kLibraryFailure;
  }
}
