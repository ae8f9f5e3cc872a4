#pragma once
// Taking a run back from its journal: newest step first, with the same
// no-replace moves as the run. A file changed since the run (another
// identity) or a name taken meanwhile is skipped and reported, never
// overwritten; a companion that the run wrote is removed only if unchanged.
// Undoing twice is harmless: what is already back is left alone.
#include <string>
#include <vector>

#include "naming/file_system.hpp"
#include "naming/journal.hpp"
#include "output/output_sink.hpp"

namespace naming {

struct UndoOutcome {
  size_t restored = 0;              // files moved back to their old names
  size_t removed = 0;               // companions the run wrote, removed
  size_t skipped = 0;               // steps that could not be undone
  std::vector<std::string> photos;  // the images under their restored names
  bool complete() const { return skipped == 0; }
};

// Undoes `run` through `fs` (the machine's file system, not journaled),
// logging each outcome. A dry run only logs what it would do. A real undo
// records each step it undoes in the run's journal.
UndoOutcome UndoRun(const RunRecord& run, FileSystem& fs, output::OutputSink& log, bool dryRun);

// "2026-12-10 03:15:00" in local time.
std::string runTimeText(const RunRecord& run);

}  // namespace naming
