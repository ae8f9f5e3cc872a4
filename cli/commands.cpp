#include "cli/commands.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include "cli/json_output.hpp"
#include "cli/platform_files.hpp"
#include "metadata/image_reader.hpp"
#include "metadata/paths.hpp"
#include "metadata/text.hpp"
#include "naming/batch_rename.hpp"
#include "naming/file_list.hpp"
#include "naming/format.hpp"
#include "naming/naming.hpp"
#include "naming/simulated_file_system.hpp"
#include "report/report.hpp"

namespace cli {

void complain(const std::string& message) {
  std::fprintf(stderr, "quillmark-cli: %s\n", meta::printablePath(message).c_str());
}

void finishLog(TerminalSink& log) {
  if (log.finish() || log.error() == EPIPE) return;
  complain(std::string("cannot write the log to standard output: ") + std::strerror(log.error()));
}

namespace {

void configure(naming::TNaming& naming, const NamingOptions& options) {
  naming.ParseFormat(options.format);
  const std::string text = options.text;
  const std::string digits = std::to_string(options.digits);
  naming.UserText = [text] { return text; };
  naming.DigitText = [digits] { return digits; };
}

// The output is what the command was for: one that could not be written
// all is a failure. A reader that went away on purpose ("report DIR | head")
// needs no message.
int finishOutput(TerminalSink& sink) {
  if (sink.finish()) return kExitOk;
  if (sink.error() != EPIPE)
    complain(std::string("cannot write to standard output: ") + std::strerror(sink.error()));
  return kExitFailure;
}

// Says "FILE: REASON" on standard error when there is a reason.
bool cannotOpen(const std::string& file, const std::string& reason) {
  if (reason.empty()) return false;
  complain(file + ": " + reason);
  return true;
}

// Why the preview of `file` must not be written to `out`, or "" when it may:
// never over the photo itself (under any of its names) nor over anything but
// a regular file, and over a regular file only with `force`. A link is never
// replaced itself: `target` is set to the regular file it leads to, which is
// replaced instead, or to `out`.
std::string outputProblem(const std::string& file, const std::string& out, bool force, std::string& target) {
  target = out;
  const PathKind there = kindOf(out);
  if (isSymbolicLink(out)) {
    if (there == PathKind::Missing) return out + " is a symbolic link to nothing; it is not replaced";
    if (there != PathKind::RegularFile)
      return out + " is a symbolic link to something other than a regular file; it is not replaced";
    target = linkTarget(out);
    if (target.empty())
      return out + " is a symbolic link that cannot be followed to its file; it is not replaced";
  }
  if (there == PathKind::Missing) return {};  // creating it tells the rest
  if (sameFile(file, out))
    return out + " is the photo " + file + " itself; it is not replaced by its preview";
  if (there != PathKind::RegularFile) return out + " exists and is not a regular file; it is not replaced";
  if (!force) return out + " already exists (use --force to replace it)";
  return {};
}

// The photos that PATHS name: one file as it is given, otherwise the files of
// the walk (accepted extensions, folders with their sub-folders). What cannot
// be walked is said on standard error and counted in `problems`.
std::vector<std::string> photosOf(const std::vector<std::string>& paths, size_t& problems) {
  std::error_code ec;
  if (paths.size() == 1 && !std::filesystem::is_directory(paths.front(), ec)) return paths;
  naming::FileList list;
  const std::vector<naming::PathProblem> unread = list.AddFiles(paths);
  for (const naming::PathProblem& p : unread) complain("cannot read " + p.path + ": " + p.reason);
  problems += unread.size();
  if (list.empty()) {
    complain("no JPEG or TIFF file found");
    ++problems;
  }
  return list.paths();
}

// Several files are told apart by a header line before each one's text.
void writeHeader(output::OutputSink& sink, const std::string& path, bool several) {
  if (several)
    output::WriteLine(sink, "======== " + meta::printablePath(path),
                      output::styleOf(true, false, 8, output::kBlack));
}

}  // namespace

namespace {

// What `report` and `preview` do with each photo: read it (the reason it
// could not be, or ""), then give its JSON object or write its text.
struct PhotoCommand {
  std::function<std::string(const std::string& photo)> read;
  std::function<nlohmann::ordered_json(const std::string& photo)> json;
  std::function<void(output::OutputSink& sink)> text;
};

// The loop the two share: each photo of PATHS, as one JSON array or as text
// with a header line before each photo when there are several.
int eachPhoto(const std::vector<std::string>& paths, TerminalSink& sink, bool json,
              const PhotoCommand& command) {
  size_t problems = 0;
  const std::vector<std::string> photos = photosOf(paths, problems);
  const bool several = photos.size() > 1 || paths.size() > 1;
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const std::string& photo : photos) {
    if (cannotOpen(photo, command.read(photo))) {
      ++problems;
      continue;
    }
    if (json) {
      array.push_back(command.json(photo));
      continue;
    }
    if (!sink.good()) break;  // no one reads the rest
    writeHeader(sink, photo, several);
    command.text(sink);
  }
  if (json && !writeJson(array)) {
    complain("cannot write to standard output");
    return kExitFailure;
  }
  const int written = finishOutput(sink);
  return problems == 0 ? written : kExitFailure;
}

}  // namespace

int runReport(const std::vector<std::string>& paths, bool json) {
  // The companion file's bytes exactly: CR LF kept, no attributes.
  TerminalSink sink(stdout, detectMode(stdout, ColourChoice::never, false));
  meta::TimgData img;
  PhotoCommand report;
  report.read = [&img](const std::string& photo) {
    img.ReadFile(photo);
    return img.OpenError;
  };
  report.json = [&img](const std::string& photo) { return reportJson(photo, img); };
  report.text = [&img](output::OutputSink& out) { report::ShowReportPane(out, img, {}); };
  return eachPhoto(paths, sink, json, report);
}

int runPreview(const std::vector<std::string>& paths, const NamingOptions& options, ColourChoice colour,
               bool json) {
  meta::TimgData img;
  naming::TNaming naming(img, naming::realFileSystem());
  configure(naming, options);
  TerminalSink sink(stdout, detectMode(stdout, colour, true));
  PhotoCommand preview;
  preview.read = [&](const std::string& photo) {
    naming.EvaluateFile(naming::expandPath(photo));
    return img.OpenError;
  };
  preview.json = [&naming](const std::string& photo) { return previewJson(photo, naming); };
  preview.text = [&](output::OutputSink& out) { report::ShowNamePane(out, naming, options.textFile); };
  return eachPhoto(paths, sink, json, preview);
}

int runRename(const std::vector<std::string>& paths, const NamingOptions& options, bool dryRun,
              ColourChoice colour, bool json) {
  for (const std::string& p : paths) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(p, ec) && !naming::hasAcceptedExtension(p))
      complain("skipped " + p + ": not a JPEG or TIFF file name");
  }
  naming::FileList list;
  const std::vector<naming::PathProblem> unread = list.AddFiles(paths);
  for (const naming::PathProblem& p : unread) complain("cannot read " + p.path + ": " + p.reason);
  if (list.empty()) {
    complain("no JPEG or TIFF file to rename");
    return kExitFailure;
  }

  meta::TimgData img;
  naming::FileSystem& real = naming::realFileSystem();
  naming::SimulatedFileSystem simulated(real);
  naming::TNaming naming(img, dryRun ? static_cast<naming::FileSystem&>(simulated) : real);
  configure(naming, options);

  // Each line of the log reaches the output at once, so that a run stopped
  // by force still shows every move it made. A log that cannot be written
  // (its reader gone, a full disk) stops being written; the run goes on.
  TerminalMode mode = detectMode(stdout, colour, true);
  mode.flushLines = true;
  TerminalSink terminal(stdout, mode);
  // With JSON the plan replaces the log on the output; on the null device
  // the log has no reader and is not written at all.
  output::NullSink quiet;
  output::OutputSink& log =
      json || discardsOutput(stdout) ? static_cast<output::OutputSink&>(quiet) : terminal;
  if (dryRun)
    output::WriteLine(log, "Dry run: nothing is changed on disk.",
                      output::styleOf(false, true, 8, output::kBlack));

  naming::BatchHooks hooks;
  hooks.writeCompanion = [&img](output::OutputSink& companion) {
    report::ShowReportPane(companion, img, {});
  };
  nlohmann::ordered_json plan = nlohmann::ordered_json::array();
  if (json) hooks.fileDone = [&plan](const naming::FileResult& r) { plan.push_back(planJson(r)); };
  naming::BatchOutcome outcome;
  if (dryRun) {
    outcome = naming::RunBatch(naming, list, log, options.textFile, hooks);
  } else {
    // A real run is journaled first, so that `undo` can take it back.
    std::string problem;
    const std::optional<naming::BatchOutcome> ran =
        naming::RunJournaledBatch(naming, list, log, options.textFile, hooks, problem);
    if (!ran) {
      complain("cannot keep the undo journal, nothing was renamed: " + problem);
      return kExitFailure;
    }
    outcome = *ran;
  }

  std::string summary = std::to_string(outcome.renamed) + (dryRun ? " to rename, " : " renamed, ") +
                        std::to_string(outcome.unchanged) + " unchanged, " + std::to_string(outcome.failed) +
                        " not renamed";
  if (outcome.companionFailed)
    summary += ", " + std::to_string(outcome.companionFailed) + " text file problems";
  if (outcome.stopped) summary += ", " + std::to_string(outcome.remaining) + " not reached";
  if (!unread.empty()) summary += ", " + std::to_string(unread.size()) + " paths not read";
  output::WriteLine(log, summary, output::styleOf(true, false, 8, output::kBlack));
  if (json && !writeJson(plan)) {
    complain("cannot write to standard output");
    return kExitFailure;
  }
  if (!outcome.journalProblem.empty())
    complain("the undo journal cannot be written, the run stopped before its next change: " +
             outcome.journalProblem);
  finishLog(terminal);
  return outcome.failed == 0 && outcome.companionFailed == 0 && unread.empty() && !outcome.stopped
             ? kExitOk
             : kExitFailure;
}

int runThumbnail(const std::string& file, const std::string& out, bool force) {
  meta::TimgData img;
  img.ReadFile(file);
  if (cannotOpen(file, img.OpenError)) return kExitFailure;
  if (!img.HasThumbnail() || !img.ExifInfo) {
    complain(file + ": no embedded preview picture");
    return kExitFailure;
  }
  const std::string bytes = img.ThumbnailBytes();
  if (bytes.empty() || !meta::decodeJpeg(bytes)) {
    complain(file + ": the embedded preview is not a JPEG picture; nothing is written");
    return kExitFailure;
  }
  std::string target;
  std::string problem = outputProblem(file, out, force, target);
  const bool replace = force && kindOf(target) == PathKind::RegularFile;
  if (!problem.empty() ||
      !(replace ? replaceFile(target, bytes, problem) : writeNewFile(target, bytes, problem))) {
    complain(problem);
    return kExitFailure;
  }
  return kExitOk;
}

int runFormats() {
  std::printf("Elements of the name format:\n");
  for (const naming::FormatElement& e : naming::FormatElementTable) {
    const std::string keyword = std::string("[") + e.Keyword + "]";
    std::printf("  %-10s %s%s\n", keyword.c_str(), e.Description, e.Optional ? " (may be empty)" : "");
  }
  std::printf("\nDefault format: %s\n", naming::DefaultFormat().c_str());
  std::printf("Other text is copied as it stands; \"[[\" writes a literal \"[\".\n");
  std::fflush(stdout);
  return std::ferror(stdout) ? kExitFailure : kExitOk;
}

}  // namespace cli
