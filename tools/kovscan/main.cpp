// kovscan: a host of the library, built only on its exported calls.
//   kovscan samples DIR [--pages N]     a sample batch and a profile whose scanner feeds it
//                                       (Linux)
//   kovscan scan --out DIR [options]    the feeder's pages into files, documents, manifest,
//                                       report
//   kovscan record save FILE [options]  the record those options give, kept in a file
//   kovscan record show FILE            a saved record decoded
//   kovscan info [--record FILE]        what the library says of itself and of a record
//   kovscan devices [--profile FILE]    the scanners SANE finds (Windows: the TWAIN sources);
//                                       a profile for one of them
#include <CLI/CLI.hpp>
#include <cstdio>
#include <regex>

#include "tools/kovscan/compressions.h"
#include "tools/kovscan/devices_command.h"
#include "tools/kovscan/info_command.h"
#include "tools/kovscan/number_option.h"
#include "tools/kovscan/platform.h"
#include "tools/kovscan/record_file.h"
#include "tools/kovscan/samples_command.h"
#include "tools/kovscan/scan_command.h"
#include "tools/kovscan/whole_file.h"

namespace {

// The library would read a folder as its profile and fail with a framework error that does
// not say why.
void RequireProfileFile(const std::filesystem::path& profile) {
  if (std::filesystem::is_directory(profile)) {
    throw kovscan::ArgumentError("the profile " + profile.string() +
                                 " is a folder: name the profile file (zaft.ini) in it");
  }
}

// Adds the options that shape a record, shared by scan and record save.
void AddRecordOptions(CLI::App& command, kovscan::ScanOptions& options, std::string& compression,
                      std::optional<std::filesystem::path>& record) {
  command.add_option("--record", record, "a saved parameter record to start from");
  command.add_option("--dpi", options.dpi, "resolution in dots per inch")
      ->check(kovscan::WholeNumber(UINT32_MAX));
  command.add_option("--bits", options.bitsPerDot, "bits per dot: 1, 8 or 24")
      ->check(kovscan::WholeNumber(UINT16_MAX));
  command
      .add_option_function<std::vector<std::uint16_t>>(
          "--area",
          [&options](const std::vector<std::uint16_t>& dots) {
            // The library scans from the top left corner whatever the offsets say.
            if (dots[0] != 0 || dots[1] != 0) {
              const std::string message =
                  "the scan always starts at the top left corner: give offsets 0 0 (--area 0 0 " +
                  std::to_string(dots[2]) + " " + std::to_string(dots[3]) + ")";
              throw CLI::ValidationError("--area", message);
            }
            options.area = SCAN_AREA{0, 0, dots[2], dots[3]};
          },
          "scan area in dots: 0 0 width length (from the top left corner)")
      ->expected(4)
      ->check(kovscan::WholeNumber(UINT16_MAX));
  command.add_option("--compression", compression, "how the pages come compressed")
      ->check(CLI::IsMember(kovscan::CompressionNames()));
  CLI::Option* flatbed = command.add_flag("--flatbed", options.flatbed, "the flatbed, not the feeder");
  command.add_flag("--duplex", options.duplex, "both sides of each sheet, front then back")
      ->excludes(flatbed);
  command.add_flag("--patches", options.patches, "detect patch-code separator sheets");
  command.add_flag("--barcodes", options.barcodes, "read barcodes");
  command.add_flag("--settings", options.settingsDialog,
                   "edit the record in the settings dialog (on the terminal)");
}

int SaveRecordCommand(const std::filesystem::path& path, kovscan::ScanOptions options,
                      const std::optional<std::filesystem::path>& from) {
  const auto record = kovscan::LoadRecord(from);
  {
    kovscan::ScanSession session;
    session.BuildRecord(*record, options);
  }
  kovscan::SaveRecord(*record, path);
  std::printf("%s", kovscan::DescribeRecord(*record).c_str());
  return kovscan::kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"kovscan: scan a batch through the KOVZAFT2 library"};
  app.footer(
      "Exit codes: 0 done, 1 out of memory or a failure of kovscan itself, 2 the feeder was "
      "empty before the first page, 3 bad arguments (or a value the scanner does not offer, or "
      "an --out holding an earlier batch or anything kovscan did not write), 4 a library "
      "failure, 5 a file-system failure (the output folder or a file in it could not be made or "
      "written), 6 stopped by Ctrl-C, SIGTERM or SIGHUP. A batch that ends early keeps its "
      "pages, documents, manifest and report, and its manifest says how it ended.");
  app.require_subcommand(1);
  app.fallthrough();  // --profile before or after the command
  std::optional<std::filesystem::path> profile;
  app.add_option("--profile", profile, "framework profile (zaft.ini); else the library's own");

  kovscan::ScanCommand scan;
  std::string compression = "none";
  CLI::App* scanCommand =
      app.add_subcommand("scan", "scan the feeder until it is empty, or a page on the flatbed");
  scanCommand->add_option("--out", scan.out, "output folder")->required();
  scanCommand->add_flag("--overwrite", scan.overwrite,
                        "replace an earlier batch in the folder (only the files kovscan-files.txt "
                        "lists there)");
  scanCommand
      ->add_option("--pages", scan.pages, "at most this many pages (the flatbed: 1 unless given)")
      ->check(kovscan::WholeNumberIn(1, 1000000));
  AddRecordOptions(*scanCommand, scan.options, compression, scan.record);
  scanCommand->add_flag("--drop-blank", scan.dropBlank, "leave blank pages out of documents");
  scanCommand->add_flag("--deskew", scan.deskew,
                        "straighten skewed pages (coded again in their compression)");
  scanCommand
      ->add_option_function<std::string>(
          "--rotate", [&scan](const std::string&) { scan.rotate = true; },
          "auto: show pages found turned (90, 180 or 270 degrees) upright in the documents, "
          "their images as delivered")
      ->check(CLI::IsMember({"auto"}));
  scanCommand->add_flag("--drop-separators", scan.dropSeparators,
                        "leave separator sheets out of documents");
  scanCommand->add_flag("--quiet", scan.quiet, "no progress line and no summary");
  scanCommand
      ->add_option_function<std::string>(
          "--format",
          [&scan](const std::string& format) {
            scan.formats = {format != "pdf", format != "tiff"};
          },
          "documents as tiff (multi-page TIFF), pdf or both; default tiff")
      ->check(CLI::IsMember({"tiff", "pdf", "both"}));
  scanCommand
      ->add_option_function<std::string>(
          "--name-by-barcode",
          [&scan](const std::string& expression) { scan.nameByBarcode.emplace(expression); },
          "name each document after the first barcode text on it this expression finds")
      ->check(CLI::Validator(
          [](const std::string& expression) -> std::string {
            try {
              const std::regex check(expression);
            } catch (const std::regex_error& error) {
              return std::string("not a regular expression: ") + error.what();
            }
            return {};
          },
          "REGEX"));

  scanCommand
      ->add_option_function<std::string>(
          "--ocr", [&scan](const std::string& language) { scan.ocrLanguage = language; },
          "read the PDFs' pages in this language (eng, deu, ...) and lay the text over them, "
          "so they can be searched")
      ->check(CLI::Validator(
          [](const std::string& language) -> std::string {
            // Tesseract's language names, joined with +; never a path.
            return std::regex_match(language, std::regex("[A-Za-z_]+(\\+[A-Za-z_]+)*"))
                       ? std::string()
                       : "not a language name such as eng or eng+deu";
          },
          "LANG"));
  scanCommand
      ->add_option(
          "--ocr-threads", scan.ocrThreads,
          "pages read at once (default: one per core; at most what the cores and the free memory "
          "serve)")
      ->check(kovscan::WholeNumberIn(1, 64));

  const kovscan::SamplesCommand samples = kovscan::AddSamplesCommand(app);

  std::filesystem::path recordPath;
  CLI::App* recordCommand = app.add_subcommand("record", "keep parameter records in files");
  recordCommand->require_subcommand(1);
  CLI::App* saveCommand = recordCommand->add_subcommand("save", "save the record options give");
  saveCommand->add_option("file", recordPath, "the record file")->required();
  AddRecordOptions(*saveCommand, scan.options, compression, scan.record);
  CLI::App* showCommand = recordCommand->add_subcommand("show", "show a saved record");
  showCommand->add_option("file", recordPath, "the record file")->required();

  CLI::App* infoCommand = app.add_subcommand("info", "devices, record size, parameters");
  infoCommand->add_option("--record", scan.record, "a saved record to query");

  kovscan::DevicesCommand devices;
  CLI::App* devicesCommand = app.add_subcommand(
      "devices",
      "the scanners SANE finds (Windows: the TWAIN sources); with --profile, write a "
      "profile for one");
  devicesCommand->add_option("--device", devices.device,
                             "the SANE device or TWAIN source (else the first)");
  devicesCommand->add_option("--driver", devices.driver, "the scanner's name in the profile");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kovscan::kSuccess : kovscan::kBadArguments;
  }
  try {
    if (profile) RequireProfileFile(*profile);
    if (*devicesCommand) {
      devices.profile = profile;
      return kovscan::RunDevices(devices);
    }
    if (profile) kovscan::platform::UseProfile(*profile);
    scan.options.compression = kovscan::CompressionNamed(compression)->hostCode;
    if (*scanCommand && (scan.ocrLanguage || scan.rotate)) {
      kovscan::platform::LimitOcrEngineThreads(argv);
    }
    if (*scanCommand) return kovscan::RunScan(scan);
    if (*saveCommand) return SaveRecordCommand(recordPath, scan.options, scan.record);
    if (*showCommand) {
      std::printf("%s", kovscan::DescribeRecord(*kovscan::LoadRecord(recordPath)).c_str());
      return kovscan::kSuccess;
    }
    if (*infoCommand) return kovscan::RunInfo(*kovscan::LoadRecord(scan.record));
    return samples.run();
  } catch (...) {
    return kovscan::Report(kovscan::OutcomeOf(std::current_exception()));
  }
}
