#pragma once
// The commands of quillmark-cli. Each returns the process exit status:
// 0 success, 1 failure (a file not renamed, a path that cannot be read, no
// preview, a write that failed or refused).
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
int runPreview(const std::vector<std::string>& paths, const NamingOptions& options, ColourChoice colour, bool json);
// With `json`, the plan (or what was done) as one JSON array instead of the log.
int runRename(const std::vector<std::string>& paths, const NamingOptions& options, bool dryRun,
              ColourChoice colour, bool json);
int runThumbnail(const std::string& file, const std::string& out, bool force);
int runFormats();
// Lists the journaled runs, or undoes one (the last one when `id` is empty).
int runUndo(const std::string& id, bool list, bool forget, bool dryRun, ColourChoice colour);

// "quillmark-cli: " + message on standard error.
void complain(const std::string& message);

}  // namespace cli
