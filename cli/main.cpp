// quillmark-cli: the naming engine and the metadata report on the command line.
#include <sys/stat.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "metadata/text.hpp"
#include "naming/format.hpp"

namespace {

void addNamingOptions(CLI::App& command, cli::NamingOptions& options) {
  command.add_option("-f,--format", options.format, "Name format (default: " + naming::DefaultFormat() + ")");
  command.add_option("-t,--text", options.text, "User text, the value of [TEXT] (default: empty)");
  command
      .add_option("-d,--digits", options.digits, "Digits of the running number [NUMBER], 1 to 9 (default: 2)")
      ->check(CLI::Range(1, 9));
  command.add_flag("--text-file", options.textFile,
                   "Write a companion text file (NAME.exif.txt) with the metadata report");
}

// A path on the command line must name something, and FILE must not be a
// folder: both are mistakes in the command (exit status 2). Whatever else keeps
// a path from being read (no permission on a folder above it, a loop of links,
// a FIFO) is the command's to tell, with the system's reason (exit status 1);
// CLI11's own checks would call such a path missing.
std::string namedPath(const std::string& path, bool fileOnly) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT ? meta::printablePath(path) + ": " + std::strerror(ENOENT) : "";
  if (fileOnly && S_ISDIR(st.st_mode)) return meta::printablePath(path) + " is a folder, not a file";
  return {};
}

const CLI::Validator kNamedPath([](std::string& p) { return namedPath(p, false); }, "PATH", "named path");
const CLI::Validator kNamedFile([](std::string& p) { return namedPath(p, true); }, "FILE", "named file");

// The first word where a command was expected, when no command was given;
// empty when the command line went wrong in another way.
std::string unknownCommand(const CLI::App& app) {
  if (!app.get_subcommands().empty()) return {};
  for (const std::string& word : app.remaining())
    if (!word.empty() && word[0] != '-') return word;
  return {};
}

int complainOfCommand(const CLI::App& app, const std::string& word) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    names.push_back(sub->get_name());
  std::sort(names.begin(), names.end());
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  cli::complain("unknown command '" + word + "'; the commands are: " + list);
  std::fprintf(stderr, "Run with --help for more information.\n");
  return cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
#if !defined(_WIN32)
  // A reader that goes away (a pipe into "head") must not kill a run half
  // way: a write then fails with EPIPE, and the run goes on without its log.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  CLI::App app{"Renames JPEG and TIFF photos from the metadata stored inside them.", "quillmark-cli"};
  app.set_version_flag("--version", std::string("quillmark-cli ") + QUILLMARK_VERSION);
  app.require_subcommand(1);
  app.fallthrough();

  std::string colourName = "auto";
  app.add_option(
         "--color", colourName,
         "Colours in the log and the preview: auto (on a terminal, unless NO_COLOR is set), always, never")
      ->check(CLI::IsMember({"auto", "always", "never"}));

  cli::NamingOptions naming;
  naming.format = naming::DefaultFormat();
  std::string file, out;
  std::vector<std::string> paths;
  bool dryRun = false, force = false, json = false;

  CLI::App* report = app.add_subcommand(
      "report",
      "Print the metadata report of each file (the companion text file's content); folders are walked");
  report->add_option("PATH", paths, "Image files and folders")->required()->check(kNamedPath);
  report->add_flag("--json", json,
                   "One JSON array: per file the facts, the rows by section, the comment, the status");

  CLI::App* preview = app.add_subcommand(
      "preview", "Show the new name of each file and the value of every format element; folders are walked");
  addNamingOptions(*preview, naming);
  preview->add_option("PATH", paths, "Image files and folders")->required()->check(kNamedPath);
  preview->add_flag("--json", json,
                    "One JSON array: per file the new name, whether it is complete, the element values");

  CLI::App* rename =
      app.add_subcommand("rename", "Rename the photos (files, or folders walked with their sub-folders)");
  addNamingOptions(*rename, naming);
  rename->add_flag("-n,--dry-run", dryRun, "Show what would be done; change nothing");
  rename->add_flag("--json", json,
                   "Instead of the log, one JSON array: per file the old and new path, status, companion");
  rename->add_option("PATH", paths, "Image files and folders")->required()->check(kNamedPath);

  CLI::App* thumbnail = app.add_subcommand("thumbnail", "Save the preview picture embedded in FILE");
  thumbnail->add_option("FILE", file, "Image file")->required()->check(kNamedFile);
  thumbnail->add_option("-o,--output", out, "JPEG file to write")->required();
  thumbnail->add_flag("--force", force, "Replace OUT when it exists");

  CLI::App* formats = app.add_subcommand("formats", "List the elements of the name format");

  std::string runId;
  bool listRuns = false, forget = false;
  CLI::App* undo = app.add_subcommand("undo", "Undo the last rename (or RUN), from its journal");
  undo->add_option("RUN", runId, "The run to undo, as undo --list names it (default: the last one)");
  undo->add_flag("--list", listRuns, "List the runs that can be undone");
  undo->add_flag("-n,--dry-run", dryRun, "Show what would be done; change nothing");
  undo->add_flag("--forget", forget, "Remove RUN's journal and the files it set aside, without undoing it");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (dynamic_cast<const CLI::RequiredError*>(&e))
      if (const std::string word = unknownCommand(app); !word.empty()) return complainOfCommand(app, word);
    const int code = app.exit(e);
    return code == 0 ? cli::kExitOk : cli::kExitUsage;
  }

  const cli::ColourChoice colour = colourName == "always"  ? cli::ColourChoice::always
                                   : colourName == "never" ? cli::ColourChoice::never
                                                           : cli::ColourChoice::automatic;
  try {
    if (report->parsed()) return cli::runReport(paths, json);
    if (preview->parsed()) return cli::runPreview(paths, naming, colour, json);
    if (rename->parsed()) return cli::runRename(paths, naming, dryRun, colour, json);
    if (thumbnail->parsed()) return cli::runThumbnail(file, out, force);
    if (formats->parsed()) return cli::runFormats();
    if (undo->parsed()) return cli::runUndo(runId, listRuns, forget, dryRun, colour);
  } catch (const std::exception& e) {
    // Boundary: whatever escapes a command ends the program with a message.
    cli::complain(std::string("error: ") + e.what());
    return cli::kExitFailure;
  }
  return cli::kExitUsage;
}
