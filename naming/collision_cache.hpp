#pragma once
// Running numbers of a batch rename without re-testing, for every file, all
// the names that earlier files of the batch already took.
//
// The composition gives every file the smallest counter c >= 1 whose candidate
// name is not an existing file or is the file's own path. Names built from the
// same pieces (folder, literal text, element values, digit count, source
// extension) form one family: candidate(c) is the same function for every file
// of the family. The cache remembers, per family, a counter `top` below which
// every candidate is known to exist, so a batch of 10,000 photos of one year
// under "[IYEAR]-[NUMBER]" costs a few existence tests per file instead of
// thousands.
//
// The answers are exactly those of testing c = 1, 2, 3 ... one by one, under
// two conditions:
//   - no other process adds or removes files in the folders concerned while
//     the batch runs (the batch is the only writer);
//   - the batch tells the cache about every file it removes from a path
//     (notifyVacated: a move away, a delete) and, optionally, every file it
//     puts at a path (notifyOccupied: a move in), right after doing it.
// A vacated path is matched with ASCII letter case folded, so that on a
// case-insensitive volume the names that only differ in case are tested again.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "naming/file_system.hpp"

namespace naming {

using Counter = uint64_t;
using CandidateOf = std::function<std::string(Counter)>;

// The smallest counter c >= 1 whose candidate(c) equals ownPath (exact text)
// or is not an existing file. The candidates must differ for every counter.
Counter firstFreeCounter(const std::string& ownPath, const CandidateOf& candidate, FileSystem& fs);

class CollisionCache {
 public:
  CollisionCache();
  ~CollisionCache();
  CollisionCache(const CollisionCache&) = delete;
  CollisionCache& operator=(const CollisionCache&) = delete;

  // Same answer as firstFreeCounter(ownPath, candidate, fs). `family` names
  // the candidate function: two calls with the same family text must pass
  // the same function, whatever the file.
  Counter firstFree(const std::string& family, const std::string& ownPath, const CandidateOf& candidate,
                    FileSystem& fs);

  // Room for the names of `files` more files, so that the run does not
  // grow the cache file by file.
  void reserve(size_t files);

  // The batch removed the file at `path` (moved it away or deleted it).
  void notifyVacated(const std::string& path);
  // The batch put a file at `path` (moved it there).
  void notifyOccupied(const std::string& path);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace naming
