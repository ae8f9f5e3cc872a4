// quillmark-cli: the naming engine and the metadata report on the command line.
#include <CLI/CLI.hpp>

#include <exception>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "naming/format.hpp"

namespace {

void addNamingOptions(CLI::App& command, cli::NamingOptions& options) {
  command.add_option("-f,--format", options.format, "Name format (default: " + naming::DefaultFormat() + ")");
  command.add_option("-t,--text", options.text, "User text, the value of [TEXT] (default: empty)");
  command.add_option("-d,--digits", options.digits, "Digits of the running number [NUMBER], 1 to 9 (default: 2)")
      ->check(CLI::Range(1, 9));
  command.add_flag("--text-file", options.textFile,
                   "Write a companion text file (NAME.exif.txt) with the metadata report");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Renames JPEG and TIFF photos from the metadata stored inside them.", "quillmark-cli"};
  app.set_version_flag("--version", std::string("quillmark-cli ") + QUILLMARK_VERSION);
  app.require_subcommand(1);
  app.fallthrough();

  std::string colourName = "auto";
  app.add_option("--color", colourName,
                 "Colours in the log and the preview: auto (on a terminal, unless NO_COLOR is set), always, never")
      ->check(CLI::IsMember({"auto", "always", "never"}));

  cli::NamingOptions naming;
  naming.format = naming::DefaultFormat();
  std::string file, out;
  std::vector<std::string> paths;
  bool dryRun = false, force = false;

  CLI::App* report = app.add_subcommand("report", "Print the metadata report of FILE (the companion text file's content)");
  report->add_option("FILE", file, "Image file")->required()->check(CLI::ExistingFile);

  CLI::App* preview = app.add_subcommand("preview", "Show the new name of FILE and the value of every format element");
  addNamingOptions(*preview, naming);
  preview->add_option("FILE", file, "Image file")->required()->check(CLI::ExistingFile);

  CLI::App* rename = app.add_subcommand("rename", "Rename the photos (files, or folders walked with their sub-folders)");
  addNamingOptions(*rename, naming);
  rename->add_flag("-n,--dry-run", dryRun, "Show what would be done; change nothing");
  rename->add_option("PATH", paths, "Image files and folders")->required()->check(CLI::ExistingPath);

  CLI::App* thumbnail = app.add_subcommand("thumbnail", "Save the preview picture embedded in FILE");
  thumbnail->add_option("FILE", file, "Image file")->required()->check(CLI::ExistingFile);
  thumbnail->add_option("-o,--output", out, "JPEG file to write")->required();
  thumbnail->add_flag("--force", force, "Replace OUT when it exists");

  CLI::App* formats = app.add_subcommand("formats", "List the elements of the name format");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? cli::kExitOk : cli::kExitUsage;
  }

  const cli::ColourChoice colour = colourName == "always"  ? cli::ColourChoice::always
                                  : colourName == "never" ? cli::ColourChoice::never
                                                          : cli::ColourChoice::automatic;
  try {
    if (report->parsed()) return cli::runReport(file);
    if (preview->parsed()) return cli::runPreview(file, naming, colour);
    if (rename->parsed()) return cli::runRename(paths, naming, dryRun, colour);
    if (thumbnail->parsed()) return cli::runThumbnail(file, out, force);
    if (formats->parsed()) return cli::runFormats();
  } catch (const std::exception& e) {
    // Boundary: whatever escapes a command ends the program with a message.
    cli::complain(std::string("error: ") + e.what());
    return cli::kExitFailure;
  }
  return cli::kExitUsage;
}
