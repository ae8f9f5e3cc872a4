#pragma once
// The run journal: every change that a real batch makes on disk, recorded
// before it is made and confirmed after, so that any run can be taken back,
// also one that was killed half-way. One folder per run in the per-user state
// folder holds the journal and the companions that the run removed.
//
// The journal is a text file of one record per line, fields separated by one
// space, paths escaped (see escapePath):
//   quillmark-journal 1
//   run ID UNIX-SECONDS
//   I N photo FROM TO IDENTITY         an image is about to move
//   I N companion FROM TO IDENTITY     a companion is about to move with it
//   I N keep PATH KEPT IDENTITY        a stale companion goes into the run folder
//   I N drop PATH IDENTITY             a stale companion is deleted for good
//   I N temp TEMPORARY                 a temporary companion file is about to be made
//   I N write PATH TEMPORARY IDENTITY  the complete temporary takes the companion's name
//   D N                                step N was made
//   end RENAMED UNCHANGED FAILED       the run ended
//   U N                                step N was undone, or never made
//   undone UNIX-SECONDS                the whole run was undone
// IDENTITY is DEVICE INODE SIZE MTIME-NANOSECONDS of the file concerned.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace naming {

// What tells one file from another and a changed file from the same one.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t mtime = 0;  // nanoseconds since the epoch
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file (not of a link's target) named `path`, if any.
std::optional<FileIdentity> identityOf(const std::string& path);
// The identity of the regular file open as `file`, named `path` (from the
// open file where the system tells it, without looking the name up again).
std::optional<FileIdentity> identityOfOpen(std::FILE* file, const std::string& path);

// Bytes 0x21..0x7E stand for themselves except '%'; every other byte is %XX.
std::string escapePath(std::string_view path);
// The inverse; none for a malformed text.
std::optional<std::string> unescapePath(std::string_view text);

// $XDG_STATE_HOME/quillmark, else ~/.local/state/quillmark; on Windows
// %LOCALAPPDATA%\Quillmark. QUILLMARK_STATE_DIR overrides it (tests).
std::string stateFolder();

inline constexpr size_t kRunsKept = 20;

enum class StepKind { Photo, Companion, Keep, Drop, Temp, Write };

struct JournalStep {
  int number = 0;
  StepKind kind = StepKind::Photo;
  std::string path;    // photo, companion: FROM; keep, drop, write: PATH; temp: TEMPORARY
  std::string target;  // photo, companion: TO; keep: KEPT; write: TEMPORARY
  FileIdentity identity;
  bool done = false;
  bool undone = false;
  size_t doneOrder = 0;  // when done: its place among the confirmations (the order the steps were made in)
};

// A run read back from its journal.
struct RunRecord {
  std::string id;
  std::string folder;     // the run's folder in the state folder
  uint64_t sequence = 0;  // the run's place in the order of runs (0: a run of an older version)
  int64_t started = 0;
  bool ended = false;  // false: the run was interrupted
  bool undone = false;
  size_t renamed = 0, unchanged = 0, failed = 0;
  std::vector<JournalStep> steps;  // in the order they were recorded

  size_t photosMoved() const;                // image moves made
  size_t keptFiles() const;                  // files the run set aside that are still in its folder
  std::vector<std::string> folders() const;  // folders of the moved images, first seen first
};

// The runs in the state folder, oldest first: in the order they were started,
// by a sequence number that each run takes from those before it, never by the
// clock (a machine whose clock was set back still puts a new run last).
// Unreadable journals are left out.
std::vector<RunRecord> listRuns(const std::string& stateRoot);
std::optional<RunRecord> readRun(const std::string& runFolder);
// The newest run, read alone.
std::optional<RunRecord> lastRun(const std::string& stateRoot);

// The journal of one run being made. An intention is in the system's file
// cache before the call returns, so a killed process leaves what it meant to
// do before it did it; sync() puts what was recorded on the disk itself, so
// that a power cut leaves it too. The batch records its steps a group at a
// time and syncs once before making the first of them.
//
// Where the file can be mapped into memory (POSIX), each record is stored
// straight into it, with no system call; the file then has room reserved
// ahead on the disk (zero bytes, cut off at the end of the run, left by a
// killed one), so a store never meets a full disk. Otherwise each intention
// is one write, and a confirmation waits for the next record or the end and
// goes out with it: a run killed meanwhile leaves that step unconfirmed,
// which undo settles from the disk, as after a kill between the change and
// its confirmation.
//
// A journal that cannot take a record says so (intend() gives 0, sync()
// false, problem() the system's reason): no step may be made without its
// record, so the run stops there.
class Journal {
 public:
  // A new run folder under stateRoot/runs, after the runs there. Older runs
  // beyond kRunsKept are removed beside the run, except those that still
  // hold files they set aside (kept until undone or forgotten). None, with
  // `problem` set, when the folder cannot be made.
  static std::unique_ptr<Journal> create(const std::string& stateRoot, std::string& problem);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  const std::string& id() const { return id_; }
  const std::string& folder() const { return folder_; }

  // The step's number, or 0 when the record could not be written.
  int intend(StepKind kind, const std::string& path, const std::string& target, const FileIdentity& identity);
  void confirm(int step);
  // Step `step` was not made (refused, or left out of its group), and never
  // will be: undo has nothing to do for it, whatever later takes its names.
  void abandon(int step);
  // Everything recorded so far on the disk; false when it could not be.
  bool sync();
  void end(size_t renamed, size_t unchanged, size_t failed);
  // Why the journal last failed; empty while it has not.
  const std::string& problem() const { return problem_; }
  // Where a stale companion removed by step `step` is kept.
  std::string keptPath(int step) const;
  int nextStep() const { return next_; }
  // True when step's record is on the disk.
  bool onDisk(int step) const { return step < syncedBefore_; }

 private:
  Journal() = default;
  void append(const std::string& line);
  bool flush();  // writes what is pending; false when it could not
  void failed(const std::string& what, int error);
  bool mapRoomFor(size_t bytes);
  void unmap();
  std::string id_;
  std::string pending_;  // confirmations not written yet
  std::string folder_;
  std::string problem_;
  int fd_ = -1;
  int next_ = 1;
  int syncedBefore_ = 1;  // the steps before this one are on the disk
  char* map_ = nullptr;   // the file mapped, its first `length_` bytes written
  size_t mapped_ = 0;
  size_t length_ = 0;
  std::thread pruner_;  // removes the runs beyond the number kept
};

// Appends undo records to a run's journal (the undo itself), after what
// the run wrote: the room a killed run left and a record it left cut are
// removed first. False when the record could not be written.
bool appendToJournal(const std::string& runFolder, const std::string& line);

// Removes a run's folder for good, kept files included (undo --forget).
bool forgetRun(const RunRecord& run, std::string& problem);

}  // namespace naming
