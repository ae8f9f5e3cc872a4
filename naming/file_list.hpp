#pragma once
// The file list: full paths in order of addition, never sorted, never two
// entries for the same file. AddFiles is the one way into it.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace naming {

inline constexpr std::array<const char*, 7> AcceptedExtensions{".jpg", ".jpeg", ".jpe", ".jp2",
                                                               ".j2k", ".tif",  ".tiff"};
bool hasAcceptedExtension(const std::string& path);

// A path given or met in a walk that could not be examined or listed (a
// missing path, a folder without read permission), with the system's reason.
struct PathProblem {
  std::string path;
  std::string reason;
};

// Full path of a possibly relative path (against the current folder), made
// absolute and lexically normal; the platform's separators.
std::string expandPath(const std::string& path);

class FileList {
 public:
  FileList();
  ~FileList();
  FileList(const FileList&) = delete;
  FileList& operator=(const FileList&) = delete;

  // Files and folders: breadth-first folder walk (each folder entered once,
  // whatever names reach it), accepted extensions only, no duplicates (same
  // path, or same device and inode). A walk does not follow a link to a
  // folder; a path given here may be a link. O(N log N) in the number of
  // paths. Files of other kinds are skipped in silence; what could not be
  // examined or listed is returned.
  std::vector<PathProblem> AddFiles(std::vector<std::string> paths);

  const std::vector<std::string>& paths() const;  // in list order
  size_t size() const;
  bool empty() const;
  const std::string& at(size_t i) const;
  bool contains(const std::string& path) const;

  std::string takeFirst();                          // removes and returns the first entry
  void removeIndices(std::vector<size_t> indices);  // selection removal
  void clear();
  void appendUnchecked(std::string path);  // batch refill: no checks

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace naming
