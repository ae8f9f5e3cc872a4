#include "cli/commands.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "metadata/image_reader.hpp"
#include "metadata/paths.hpp"
#include "naming/batch_rename.hpp"
#include "naming/file_list.hpp"
#include "naming/format.hpp"
#include "naming/naming.hpp"
#include "naming/simulated_file_system.hpp"
#include "report/report.hpp"

namespace cli {

void complain(const std::string& message) {
  std::fprintf(stderr, "quillmark-cli: %s\n", message.c_str());
}

namespace {

void configure(naming::TNaming& naming, const NamingOptions& options) {
  naming.ParseFormat(options.format);
  const std::string text = options.text;
  const std::string digits = std::to_string(options.digits);
  naming.UserText = [text] { return text; };
  naming.DigitText = [digits] { return digits; };
}

int finishOutput(const TerminalSink& sink) {
  std::fflush(stdout);
  if (!sink.good()) {
    complain("cannot write to standard output");
    return kExitFailure;
  }
  return kExitOk;
}

std::string errnoText() { return std::strerror(errno); }

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes the bytes to a new file `out`; an existing file is replaced only with
// `force`, and then atomically (a temporary file renamed over it), so that a
// failed write never leaves `out` half-written.
bool writeNewFile(const std::string& out, const std::string& bytes, bool force, std::string& problem) {
  std::string target = out;
  int fd = -1;
  if (force) {
    std::string folder = meta::folderOf(out);
    target = folder + ".quillmark-XXXXXX";
    fd = ::mkstemp(target.data());
    if (fd >= 0) {
      // mkstemp makes the file private; give it the usual permissions.
      mode_t mask = ::umask(0);
      ::umask(mask);
      ::fchmod(fd, 0666 & ~mask);
    }
  } else {
    fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
      problem = out + " already exists (use --force to replace it)";
      return false;
    }
  }
  if (fd < 0) {
    problem = "cannot create " + out + ": " + errnoText();
    return false;
  }
  bool ok = writeAll(fd, bytes);
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && force && ::rename(target.c_str(), out.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    ::unlink(target.c_str());
    problem = "cannot write " + out + ": " + std::strerror(saved);
  }
  return ok;
}

// Why `path` cannot be read as a photo, or "" when it can: a regular file
// that opens. Nothing here waits: a FIFO or a device is never opened.
std::string inputProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errnoText();
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errnoText();
  ::close(fd);
  return {};
}

// Says "FILE: REASON" on standard error when there is a reason.
bool cannotOpen(const std::string& file, const std::string& reason) {
  if (reason.empty()) return false;
  complain(file + ": " + reason);
  return true;
}

// Reads `file` into `img`; false, said on standard error, when it could not
// be opened.
bool readPhoto(meta::TimgData& img, const std::string& file) {
  if (cannotOpen(file, inputProblem(file))) return false;
  img.ReadFile(file);
  return !cannotOpen(file, img.OpenError);
}

// Why the preview of `file` must not be written to `out`, or "" when it may:
// never over the photo itself (under any of its names) nor over anything but
// a regular file, and over a regular file only with `force`.
std::string outputProblem(const std::string& file, const std::string& out, bool force) {
  struct stat target {}, source {};
  if (::stat(out.c_str(), &target) != 0) return {};  // nothing there: creating it tells the rest
  if (::stat(file.c_str(), &source) == 0 && source.st_dev == target.st_dev && source.st_ino == target.st_ino)
    return out + " is the photo " + file + " itself; it is not replaced by its preview";
  if (!S_ISREG(target.st_mode)) return out + " exists and is not a regular file; it is not replaced";
  if (!force) return out + " already exists (use --force to replace it)";
  return {};
}

}  // namespace

int runReport(const std::string& file) {
  meta::TimgData img;
  if (!readPhoto(img, file)) return kExitFailure;
  // The companion file's bytes exactly: CR LF kept, no attributes.
  TerminalSink sink(stdout, detectMode(stdout, ColourChoice::never, false));
  report::ShowReportPane(sink, img, {});
  return finishOutput(sink);
}

int runPreview(const std::string& file, const NamingOptions& options, ColourChoice colour) {
  meta::TimgData img;
  naming::TNaming naming(img, naming::realFileSystem());
  configure(naming, options);
  if (cannotOpen(file, inputProblem(file))) return kExitFailure;
  naming.EvaluateFile(naming::expandPath(file));
  if (cannotOpen(file, img.OpenError)) return kExitFailure;
  TerminalSink sink(stdout, detectMode(stdout, colour, true));
  report::ShowNamePane(sink, naming, options.textFile);
  return finishOutput(sink);
}

int runRename(const std::vector<std::string>& paths, const NamingOptions& options, bool dryRun,
              ColourChoice colour) {
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
  // by force still shows every move it made.
  TerminalMode mode = detectMode(stdout, colour, true);
  mode.flushLines = true;
  TerminalSink log(stdout, mode);
  if (dryRun) naming::WriteLine(log, "Dry run: nothing is changed on disk.", naming::styleOf(false, true, 8, naming::kBlack));

  naming::BatchHooks hooks;
  hooks.writeCompanion = [&img](naming::OutputSink& companion) { report::ShowReportPane(companion, img, {}); };
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
  if (outcome.companionFailed) summary += ", " + std::to_string(outcome.companionFailed) + " text file problems";
  if (!unread.empty()) summary += ", " + std::to_string(unread.size()) + " paths not read";
  naming::WriteLine(log, summary, naming::styleOf(true, false, 8, naming::kBlack));
  if (finishOutput(log) != kExitOk) return kExitFailure;
  return outcome.failed == 0 && outcome.companionFailed == 0 && unread.empty() ? kExitOk : kExitFailure;
}

int runThumbnail(const std::string& file, const std::string& out, bool force) {
  meta::TimgData img;
  if (!readPhoto(img, file)) return kExitFailure;
  if (!img.HasThumbnail() || !img.ExifInfo) {
    complain(file + ": no embedded preview picture");
    return kExitFailure;
  }
  const std::string bytes = img.ThumbnailBytes();
  if (bytes.empty() || !meta::decodeJpeg(bytes)) {
    complain(file + ": the embedded preview is not a JPEG picture; nothing is written");
    return kExitFailure;
  }
  std::string problem = outputProblem(file, out, force);
  if (!problem.empty() || !writeNewFile(out, bytes, force, problem)) {
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
