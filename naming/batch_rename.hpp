#pragma once
// The batch rename: every listed file, in list order, renamed with its
// composed name; companion text files kept in step; every outcome logged.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "naming/file_list.hpp"
#include "naming/naming.hpp"
#include "output/output_sink.hpp"

namespace naming {

// What the run did with one image, and with its companion.
enum class FileStatus { Renamed, Unchanged, Incomplete, NameTaken, MoveFailed };
enum class CompanionStatus { None, Moved, Written, Failed };

struct FileResult {
  std::string oldPath;
  std::string newPath;  // empty when the name is incomplete
  FileStatus status = FileStatus::Incomplete;
  CompanionStatus companion = CompanionStatus::None;
  std::string companionPath;  // the companion's new name (moved, written or meant to be)
};

struct BatchHooks {
  // Before the run: clear the list's selection, refresh the display, push the
  // format and user text onto their histories.
  std::function<void()> beforeRun;
  // Writes the report of the file just evaluated into a companion sink (the
  // report pane's text in text-file mode). May throw IoFault.
  std::function<void(output::OutputSink& companion)> writeCompanion;
  // After each file: files done out of total.
  std::function<void(size_t done, size_t total)> progress;
  // After each file, what became of it (before `progress`).
  std::function<void(const FileResult& result)> fileDone;
  // Asked before each file after the first: true stops the run there.
  std::function<bool()> stopRequested;
};

struct BatchOutcome {
  size_t renamed = 0;          // moved to a new name
  size_t unchanged = 0;        // already right
  size_t failed = 0;           // incomplete, destination exists, move failed
  size_t companionFailed = 0;  // companion text files not renamed or not written
  bool stopped = false;        // stopped on request, or by the journal, before the end of the list
  std::string journalProblem;  // why the journal stopped the run (empty: it did not)
  size_t remaining = 0;        // files not reached when stopped
  bool allRenamed() const { return failed == 0 && !stopped; }
};

// Runs the whole batch on `list` (emptied and refilled with the failures, or
// else the renamed files; after a stop, with the failures and the files not
// reached). Every file operation, companion files included,
// goes through naming.Files(), so a simulated file system gives a dry run.
BatchOutcome RunBatch(TNaming& naming, FileList& list, output::OutputSink& log, bool withTextFile,
                      const BatchHooks& hooks);

// The same run with every change recorded first in a new journal of the
// per-user state folder, so that it can be undone. None, with `problem`
// set, when no journal can be made: nothing is changed then.
std::optional<BatchOutcome> RunJournaledBatch(TNaming& naming, FileList& list, output::OutputSink& log,
                                              bool withTextFile, const BatchHooks& hooks,
                                              std::string& problem);

}  // namespace naming
