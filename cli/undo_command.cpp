// quillmark-cli undo: lists the journaled runs, or takes one back.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "metadata/text.hpp"
#include "naming/file_system.hpp"
#include "naming/journal.hpp"
#include "naming/undo.hpp"

namespace cli {

namespace {

const char* statusOf(const naming::RunRecord& run) {
  if (run.undone) return "undone";
  return run.ended ? "complete" : "interrupted";
}

void listRuns(const std::vector<naming::RunRecord>& runs) {
  for (const naming::RunRecord& run : runs) {
    const std::vector<std::string> folders = run.folders();
    std::string where = folders.empty() ? std::string("-") : meta::printablePath(folders.front());
    if (folders.size() > 1) where += " (+" + std::to_string(folders.size() - 1) + " more folders)";
    const size_t kept = run.keptFiles();
    const std::string keptText = kept ? "  " + std::to_string(kept) + " files set aside" : std::string();
    std::printf("%s  %s  %zu renamed, %zu unchanged, %zu not renamed  %s%s  %s\n", run.id.c_str(),
                naming::runTimeText(run).c_str(), run.photosMoved(), run.unchanged, run.failed, statusOf(run),
                keptText.c_str(), where.c_str());
  }
}

// The run named `id` (or the only run whose name starts with it, or whose
// sequence number it is).
const naming::RunRecord* findRun(const std::vector<naming::RunRecord>& runs, const std::string& id) {
  const naming::RunRecord* found = nullptr;
  const bool number =
      !id.empty() && id.size() < 19 && id.find_first_not_of("0123456789") == std::string::npos;
  for (const naming::RunRecord& run : runs) {
    if (run.id == id || (number && run.sequence == std::stoull(id))) return &run;
    if (run.id.compare(0, id.size(), id) == 0) {
      if (found) return nullptr;  // ambiguous
      found = &run;
    }
  }
  return found;
}

}  // namespace

int runUndo(const std::string& id, bool list, bool forget, bool dryRun, ColourChoice colour) {
  const std::vector<naming::RunRecord> runs = naming::listRuns(naming::stateFolder());
  if (list) {
    listRuns(runs);
    std::fflush(stdout);
    return std::ferror(stdout) ? kExitFailure : kExitOk;
  }
  if (runs.empty()) {
    complain("no run to undo in " + naming::stateFolder());
    return kExitFailure;
  }
  if (forget && id.empty()) {
    complain("--forget needs the RUN to forget (see undo --list)");
    return kExitUsage;
  }
  const naming::RunRecord* run = id.empty() ? &runs.back() : findRun(runs, id);
  if (!run) {
    complain("no single run named " + id + " (see undo --list)");
    return kExitFailure;
  }
  if (forget) {
    const size_t kept = run->keptFiles();
    std::string problem;
    if (dryRun) {
      std::printf("Dry run: the run %s would be forgotten, with %zu files it set aside.\n", run->id.c_str(),
                  kept);
    } else if (!naming::forgetRun(*run, problem)) {
      complain("cannot remove " + run->folder + ": " + problem);
      return kExitFailure;
    } else {
      std::printf(
          "The run %s is forgotten: it can no longer be undone; %zu files it set aside are deleted.\n",
          run->id.c_str(), kept);
    }
    std::fflush(stdout);
    return std::ferror(stdout) ? kExitFailure : kExitOk;
  }
  if (run->undone) {
    std::printf("The run %s of %s was undone already; nothing to do.\n", run->id.c_str(),
                naming::runTimeText(*run).c_str());
    return kExitOk;
  }
  TerminalSink log(stdout, detectMode(stdout, colour, true));
  if (dryRun)
    output::WriteLine(log, "Dry run: nothing is changed on disk.",
                      output::styleOf(false, true, 8, output::kBlack));
  const naming::UndoOutcome outcome = naming::UndoRun(*run, naming::realFileSystem(), log, dryRun);
  const std::string summary = std::to_string(outcome.restored) + (dryRun ? " to restore, " : " restored, ") +
                              std::to_string(outcome.removed) + (dryRun ? " to remove, " : " removed, ") +
                              std::to_string(outcome.skipped) + " not undone";
  output::WriteLine(log, summary, output::styleOf(true, false, 8, output::kBlack));
  finishLog(log);
  return outcome.complete() ? kExitOk : kExitFailure;
}

}  // namespace cli
