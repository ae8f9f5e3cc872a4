#pragma once
// The commands of quillmark-cli. Each returns the process exit status:
// 0 success, 1 failure (a file not renamed, a path that cannot be read, no
// preview, a write that failed or refused; the log of a run that changes
// files is not counted).
#include <string>
#include <vector>

#include "cli/terminal_sink.hpp"

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct NamingOptions {
  std::string format;  // the name format
  std::string text;    // the user text (element TEXT)
  int digits = 2;      // digit count of the running number
  bool textFile = false;
};

// One file, or several (folders walked as by rename), each after a header
// line "======== PATH"; a file that cannot be read is said and skipped.
// With `json`, one JSON array of one object per file instead of the texts.
int runReport(const std::vector<std::string>& paths, bool json);
int runPreview(const std::vector<std::string>& paths, const NamingOptions& options, ColourChoice colour,
               bool json);
// With `json`, the plan (or what was done) as one JSON array instead of the log.
int runRename(const std::vector<std::string>& paths, const NamingOptions& options, bool dryRun,
              ColourChoice colour, bool json);
int runThumbnail(const std::string& file, const std::string& out, bool force);
int runFormats();
// Lists the journaled runs, or undoes one (the last one when `id` is empty).
int runUndo(const std::string& id, bool list, bool forget, bool dryRun, ColourChoice colour);

// "quillmark-cli: " + message on standard error, made printable as a path
// is (the paths in it may hold any byte).
void complain(const std::string& message);

// Ends the log of a run that changes files. A log that could not be written
// is said on standard error, unless its reader went away (a closed pipe, as
// in "rename DIR | head"); either way the run's exit status tells only what
// the run did.
void finishLog(TerminalSink& log);

}  // namespace cli
