#include "naming/file_list.hpp"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <unordered_set>

#include "metadata/paths.hpp"
#include "metadata/text.hpp"

#if !defined(_WIN32)
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#endif

namespace naming {

namespace {

// The identity of a file or folder on its volume, whatever name reaches it.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

struct FileIdHash {
  size_t operator()(const FileId& id) const {
    return std::hash<uint64_t>()(id.device * 0x9E3779B97F4A7C15ull ^ id.inode);
  }
};

enum class Kind { Missing, File, Folder, Other };

struct Found {
  Kind kind = Kind::Missing;
  std::optional<FileId> id;
  std::string problem;   // why the path could not be examined
  bool missing = false;  // nothing has that name
};

// Follows links, as opening the path would.
Found inspect(const std::string& path) {
  Found f;
#if defined(_WIN32)
  std::error_code ec;
  auto st = std::filesystem::status(std::filesystem::path(path), ec);
  if (ec) {
    f.problem = ec.message();
    f.missing = ec == std::errc::no_such_file_or_directory;
    return f;
  }
  if (std::filesystem::is_regular_file(st))
    f.kind = Kind::File;
  else if (std::filesystem::is_directory(st))
    f.kind = Kind::Folder;
  else if (std::filesystem::exists(st))
    f.kind = Kind::Other;
#else
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    f.missing = errno == ENOENT;
    f.problem = std::strerror(errno);
    return f;
  }
  f.id = FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  if (S_ISREG(st.st_mode))
    f.kind = Kind::File;
  else if (S_ISDIR(st.st_mode))
    f.kind = Kind::Folder;
  else
    f.kind = Kind::Other;
#endif
  return f;
}

// Windows names ignore letter case; elsewhere two spellings are two files.
std::string pathKey(const std::string& path) {
#if defined(_WIN32)
  return meta::toLower(path);
#else
  return path;
#endif
}

}  // namespace

bool hasAcceptedExtension(const std::string& path) {
  const std::string ext = meta::extensionOf(path);
  for (const char* accepted : AcceptedExtensions)
    if (meta::equalsIgnoreCase(ext, accepted)) return true;
  return false;
}

std::string expandPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p(path);
  std::filesystem::path full = std::filesystem::absolute(p, ec);
  if (ec) full = p;
  return full.lexically_normal().string();
}

struct FileList::Impl {
  // Entries [head, paths.size()) are the list; taking the first entry only
  // moves `head`, and the dead front is dropped once it is half the vector.
  mutable std::vector<std::string> paths;
  mutable std::vector<std::optional<FileId>> ids;
  mutable size_t head = 0;
  std::unordered_multiset<std::string> keys;
  std::unordered_multiset<FileId, FileIdHash> fileIds;

  size_t size() const { return paths.size() - head; }

  void compact() const {
    if (head == 0) return;
    paths.erase(paths.begin(), paths.begin() + static_cast<std::ptrdiff_t>(head));
    ids.erase(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(head));
    head = 0;
  }

  void add(const std::string& path, std::optional<FileId> id) {
    paths.push_back(path);
    ids.push_back(id);
    keys.insert(pathKey(path));
    if (id) fileIds.insert(*id);
  }

  // Forgets the index entry of a list entry that is being removed.
  void forget(size_t index) {
    auto k = keys.find(pathKey(paths[index]));
    if (k != keys.end()) keys.erase(k);
    if (ids[index]) {
      auto f = fileIds.find(*ids[index]);
      if (f != fileIds.end()) fileIds.erase(f);
    }
  }
};

FileList::FileList() : impl_(new Impl) {}
FileList::~FileList() { delete impl_; }

std::vector<PathProblem> FileList::AddFiles(std::vector<std::string> paths) {
  Impl& m = *impl_;
  std::vector<PathProblem> problems;
  const size_t given = paths.size();
  std::unordered_set<FileId, FileIdHash> foldersEntered;  // link cycles
  // The vector grows while it is walked: folder entries join its end, which
  // makes the walk breadth-first.
  for (size_t i = 0; i < paths.size(); ++i) {
    if (paths[i].empty()) continue;  // would name the current folder
    const std::string full = expandPath(paths[i]);
    if (m.keys.count(pathKey(full))) continue;
    const Found found = inspect(full);
    // A name met in a listing that is gone by now (removed meanwhile) is no
    // problem; a path the caller gave is one, and so is any other failure.
    if (found.kind == Kind::Missing && (i < given || !found.missing))
      problems.push_back({full, found.problem});
    if (found.kind == Kind::Other && i < given) problems.push_back({full, "not a regular file"});
    if (found.kind == Kind::Folder) {
      if (found.id && !foldersEntered.insert(*found.id).second) continue;
      // Entries in name order: the order of the disk's listing varies between
      // file systems, and running numbers should follow the photos' names.
      std::error_code ec;
      std::vector<std::string> entries;
      std::filesystem::directory_iterator it(std::filesystem::path(full), ec), end;
      for (; !ec && it != end; it.increment(ec)) entries.push_back(it->path().string());
      if (ec) problems.push_back({full, ec.message()});
      std::sort(entries.begin(), entries.end());
      paths.insert(paths.end(), entries.begin(), entries.end());
    } else if (found.kind == Kind::File && hasAcceptedExtension(full)) {
      if (found.id && m.fileIds.count(*found.id)) continue;  // the same file under another name
      m.add(full, found.id);
    }
  }
  return problems;
}

const std::vector<std::string>& FileList::paths() const {
  impl_->compact();
  return impl_->paths;
}

size_t FileList::size() const { return impl_->size(); }
bool FileList::empty() const { return impl_->size() == 0; }

const std::string& FileList::at(size_t i) const {
  if (i >= impl_->size()) throw std::out_of_range("FileList::at");
  return impl_->paths[impl_->head + i];
}

bool FileList::contains(const std::string& path) const { return impl_->keys.count(pathKey(path)) != 0; }

std::string FileList::takeFirst() {
  Impl& m = *impl_;
  if (m.size() == 0) throw std::out_of_range("FileList::takeFirst on an empty list");
  m.forget(m.head);
  std::string first = std::move(m.paths[m.head]);
  ++m.head;
  if (m.head == m.paths.size()) {
    m.paths.clear();
    m.ids.clear();
    m.head = 0;
  } else if (m.head * 2 >= m.paths.size()) {
    m.compact();
  }
  return first;
}

void FileList::removeIndices(std::vector<size_t> indices) {
  Impl& m = *impl_;
  m.compact();
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  size_t next = 0, kept = 0;
  for (size_t i = 0; i < m.paths.size(); ++i) {
    if (next < indices.size() && indices[next] == i) {
      m.forget(i);
      ++next;
      continue;
    }
    if (kept != i) {
      m.paths[kept] = std::move(m.paths[i]);
      m.ids[kept] = m.ids[i];
    }
    ++kept;
  }
  m.paths.resize(kept);
  m.ids.resize(kept);
}

void FileList::clear() {
  delete impl_;
  impl_ = new Impl;
}

void FileList::appendUnchecked(const std::string& path) {
  const Found found = inspect(path);
  impl_->add(path, found.kind == Kind::File ? found.id : std::nullopt);
}

}  // namespace naming
