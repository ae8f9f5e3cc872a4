#pragma once
// The file operations of the naming engine and the batch rename, behind a
// small interface so that a dry run can simulate them and tests can inject
// failures.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "metadata/byte_source.hpp"
#include "output/output_sink.hpp"

namespace naming {

// A change that a batch is about to make, announced ahead (see prepare()).
struct PlannedChange {
  enum class Kind { Move, Delete, Create };
  Kind kind = Kind::Move;
  std::string path;        // move: from; delete: the file; create: the companion to write
  std::string target;      // move: to
  meta::tFileStamp stamp;  // who `path` was when the batch read it (a photo), if known
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool fileExists(const std::string& path) = 0;  // an existing file, not a folder
  virtual bool folderExists(const std::string& path) = 0;
  // Renames a file and never replaces an existing destination, not even one
  // that appears between a test and the move; false when refused or failed.
  virtual bool moveFile(const std::string& from, const std::string& to) = 0;
  virtual bool deleteFile(const std::string& path) = 0;
  // A new companion report at `path`: the text goes into a temporary file in
  // the same folder, which close() moves into place without replacing
  // anything, so the companion is either complete or absent. A sink dropped
  // without close() leaves nothing. IoFault on failure, also when `path` is
  // taken by the time of close().
  virtual std::unique_ptr<output::CompanionSink> createTextFile(const std::string& path) = 0;
  // The names of the entries of `folder` (a path ending in a separator, or
  // empty for the current folder); empty when it cannot be listed.
  virtual std::vector<std::string> namesIn(const std::string& folder) = 0;
  // Whether the names `a` and `b` are one entry of `folder` (a path ending in
  // a separator, or empty for the current folder), as its volume sees them:
  // the same bytes, or, on a volume that does not tell letter case apart
  // (FAT and exFAT cards and sticks, most Windows and macOS volumes), the
  // same name in another case. Neither name needs to exist. Where the
  // volume cannot be asked, names that differ only in case count as one, so
  // that a file is kept rather than taken for another's.
  virtual bool sameEntry(const std::string& folder, std::string_view a, std::string_view b);
  // How many moves so far found neither a no-replace rename nor hard links
  // on their volume (FAT volumes mounted through FUSE, some network shares),
  // and could only test the destination just before renaming: a file that
  // takes the name in between would be replaced.
  virtual size_t movesAfterTest() const { return 0; }
  // The system's reason for the last move or delete that failed.
  virtual std::string lastError() const { return {}; }
  // The changes that follow, in the order they will be tried (some may be
  // left out; the companions to write are created first). A journaled file
  // system records them all and puts the records on the disk before the call
  // returns, so that no change is ever made without its record; an empty
  // list puts what was recorded since on the disk. False, with lastError()
  // saying why, when they cannot be recorded: none of them may be made then.
  virtual bool prepare(std::vector<PlannedChange> changes) {
    (void)changes;
    return true;
  }
  // Where the file of the last successful deleteFile was set aside (a
  // journaled run keeps it for undo); empty when it is gone for good.
  virtual std::string lastKept() const { return {}; }
  // While on (a batch run), existence tests may be answered from one listing
  // of each folder, kept up to date with the changes made through this
  // object: the run is taken to be the only writer of its folders, and the
  // no-replace move stays the final guard against any other.
  virtual void rememberListings(bool on) { (void)on; }
};

// Temporary companion files are hidden and end in this, which no photo and no
// companion name does, so a file left by a killed run is never taken for one.
inline constexpr const char* kTemporarySuffix = ".part";

// A photo's companion report: the photo's name with this for its extension.
inline constexpr std::string_view kCompanionExtension = ".exif.txt";
inline constexpr const char* kTemporaryPrefix = ".quillmark-";

// The machine's file system (no-replace moves: renameat2 RENAME_NOREPLACE, else
// link + unlink, else test-then-rename where the file system allows nothing
// better; a folder whose volume refused a way is not offered it again).
FileSystem& realFileSystem();

class Journal;
// The machine's file system with every change recorded in `journal` before
// it is made (not owned; it must outlive the result). Deletions keep the file
// in the journal's folder where they can.
std::unique_ptr<FileSystem> journaledFileSystem(Journal& journal);

#if !defined(_WIN32)
namespace detail {
// The three ways of the no-replace move, tried in this order by the machine's
// file system; each can be called alone (tests).
enum class MoveResult { Moved, Refused, Unsupported };
MoveResult moveAtomically(const std::string& from, const std::string& to);  // renameat2 RENAME_NOREPLACE
MoveResult moveByLink(const std::string& from, const std::string& to);      // link, then unlink
MoveResult moveAfterTest(const std::string& from, const std::string& to);   // not atomic
bool moveWithoutReplacing(const std::string& from, const std::string& to);
}  // namespace detail
#endif

}  // namespace naming
