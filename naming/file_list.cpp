#include "naming/file_list.hpp"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <unordered_set>

#include "metadata/paths.hpp"
#include "metadata/text.hpp"
#include "naming/name_map.hpp"

#if !defined(_WIN32)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/vfs.h>
#endif

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
#if defined(_WIN32)
constexpr NameCase kPathCase = NameCase::FoldCase;
#else
constexpr NameCase kPathCase = NameCase::Exact;
#endif

// Room for `more` elements, growing geometrically however small the steps.
template <class V>
void roomFor(V& v, size_t more) {
  if (v.size() + more > v.capacity()) v.reserve(std::max(v.size() + more, v.capacity() * 2));
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
  // The identity of each entry; `pending` marks one appended without it.
  struct Identity {
    std::optional<FileId> id;
    bool pending = false;
    explicit operator bool() const { return id.has_value(); }
    const FileId& operator*() const { return *id; }
  };
  mutable std::vector<Identity> ids;
  size_t pendingIds = 0;
  mutable size_t head = 0;
  // The index of the entries, for the duplicate tests. A batch takes every
  // entry out and may put as many back, and nothing asks the index
  // meanwhile: those changes only mark it stale, and it is built again from
  // the entries when it is next needed.
  NameMap<uint32_t, kPathCase> keys;  // how many entries have each path
  std::unordered_multiset<FileId, FileIdHash> fileIds;
  bool indexed = true;

  size_t size() const { return paths.size() - head; }

  void compact() const {
    if (head == 0) return;
    paths.erase(paths.begin(), paths.begin() + static_cast<std::ptrdiff_t>(head));
    ids.erase(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(head));
    head = 0;
  }

  // Entries appended without their identity (the batch refill) get it
  // before the next addition needs it.
  void resolveIds() {
    if (pendingIds == 0) return;
    for (size_t index = head; index < paths.size(); ++index) {
      if (!ids[index].pending) continue;
      ids[index].pending = false;
      const Found found = inspect(paths[index]);
      if (found.kind == Kind::File && found.id) {
        ids[index].id = found.id;
        if (indexed) fileIds.insert(*found.id);
      }
    }
    pendingIds = 0;
  }

  void ensureIndex() {
    if (indexed) return;
    keys = {};
    fileIds.clear();
    keys.reserve(size());
    fileIds.reserve(size());
    for (size_t index = head; index < paths.size(); ++index) {
      ++*keys.emplace(paths[index], 0).first;
      if (ids[index]) fileIds.insert(*ids[index]);
    }
    indexed = true;
  }

  void reserve(size_t more) {
    roomFor(paths, more);
    roomFor(ids, more);
    keys.reserve(keys.size() + more);
    fileIds.reserve(fileIds.size() + more);
  }

  void add(std::string path, std::optional<FileId> id) {
    paths.push_back(std::move(path));
    ids.push_back(Identity{id, false});
    if (!indexed) return;
    ++*keys.emplace(paths.back(), 0).first;
    if (id) fileIds.insert(*id);
  }

  // Forgets the index entry of a list entry that is being removed.
  void forget(size_t index) {
    if (!indexed) return;
    if (uint32_t* n = keys.lookup(paths[index]); n && --*n == 0) keys.erase(paths[index]);
    if (ids[index]) {
      auto f = fileIds.find(*ids[index]);
      if (f != fileIds.end()) fileIds.erase(f);
    }
  }
};

FileList::FileList() : impl_(new Impl) {}
FileList::~FileList() { delete impl_; }

namespace {

#if !defined(_WIN32)
Found foundOf(const struct stat& st) {
  Found f;
  f.id = FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  f.kind = S_ISREG(st.st_mode) ? Kind::File : S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
  return f;
}
#endif

// True when `path` is absolute and already in the form expandPath gives:
// no empty, "." or ".." component, no separator at the end.
bool alreadyFull(const std::string& path) {
#if defined(_WIN32)
  (void)path;
  return false;
#else
  if (path.size() < 2 || path[0] != '/' || path.back() == '/') return false;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
#endif
}

#if !defined(_WIN32)
// The device of an open folder (`st`, its examination) whose file system
// gives, in its listing, the inode number that examining the entry would
// give, with the folder's device (the local file systems of Linux); none for
// others (an overlay, a network volume), whose entries must be examined one
// by one.
std::optional<uint64_t> trustedListingDevice(int fd, const struct stat& st) {
#if defined(__linux__)
  struct statfs fsInfo {};
  if (::fstatfs(fd, &fsInfo) != 0) return std::nullopt;
  switch (static_cast<unsigned long>(fsInfo.f_type)) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // xfs
    case 0x01021994:  // tmpfs
    case 0x9123683E:  // btrfs
      return static_cast<uint64_t>(st.st_dev);
    default:
      return std::nullopt;
  }
#else
  (void)fd;
  (void)st;
  return std::nullopt;
#endif
}
#endif

// One name met in a folder walk: its full path, and what the listing found.
struct Listed {
  std::string path;
  Found found;
};

#if !defined(_WIN32)
// The names of an open folder in name order: one after the other in one
// block (each with its zero byte), sorted as small records that point into it.
struct SortedNames {
  struct Name {
    size_t at;
    uint32_t length;
    unsigned char type;
    uint64_t inode;
  };
  std::string text;
  std::vector<Name> names;

  std::string_view nameOf(const Name& n) const { return std::string_view(text).substr(n.at, n.length); }

  // 0, or the error that ended the listing early.
  int read(DIR* dir) {
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
        const size_t length = std::strlen(e->d_name);  // at most 255
        names.push_back(
            {text.size(), static_cast<uint32_t>(length), e->d_type, static_cast<uint64_t>(e->d_ino)});
        text.append(e->d_name, length + 1);
      }
      errno = 0;
    }
    const int error = errno;
    std::sort(names.begin(), names.end(),
              [this](const Name& a, const Name& b) { return nameOf(a) < nameOf(b); });
    return error;
  }
};
#endif

#if !defined(_WIN32)
// What the entry `name` of the open folder `fd` is, examined without
// following a link first (`knownLink`: the listing says it is one). A link is
// then followed, as opening it would, to tell a photo reached through it; a
// link that leads to a folder gives a folder with `link` set.
Found examineEntry(int fd, const char* name, bool knownLink, bool& link) {
  struct stat st;
  link = knownLink;
  if (!knownLink) {
    if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      Found f;
      f.missing = errno == ENOENT;
      f.problem = std::strerror(errno);
      return f;
    }
    if (!S_ISLNK(st.st_mode)) return foundOf(st);
    link = true;
  }
  if (::fstatat(fd, name, &st, 0) != 0) {
    Found f;
    f.missing = errno == ENOENT;
    f.problem = std::strerror(errno);
    return f;
  }
  return foundOf(st);
}
#endif

// The entries of a folder in name order (the order of the disk's listing
// varies between file systems, and running numbers should follow the
// photos' names), each examined relative to the open folder, appended to
// `entries`. A link to a folder among them is left out: a walk stays in the
// tree it was given. `followLink`: `full` may itself be a link (a path the
// caller named); a folder met in a walk is opened only as the folder it was
// listed as. A folder already in `entered` (the same device and inode: a
// bind mount, a loop) is not listed again. False, with `problem`, when it
// cannot be listed.
bool listFolder(const std::string& full, bool followLink, std::unordered_set<FileId, FileIdHash>& entered,
                std::vector<Listed>& entries, std::string& problem) {
#if defined(_WIN32)
  (void)followLink;
  (void)entered;  // a folder's identity is not known here; links are left out instead
  std::error_code ec;
  const size_t first = entries.size();
  std::filesystem::directory_iterator it(std::filesystem::path(full), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code kind;
    if (it->is_symlink(kind) && it->is_directory(kind)) continue;
    const std::string p = it->path().string();
    entries.push_back({p, inspect(p)});
  }
  if (ec) problem = ec.message();
  std::sort(entries.begin() + static_cast<std::ptrdiff_t>(first), entries.end(),
            [](const Listed& a, const Listed& b) { return a.path < b.path; });
  return !ec;
#else
  const int opened = ::open(full.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
  struct stat self {};
  if (opened < 0 || ::fstat(opened, &self) != 0) {
    problem = std::strerror(errno);
    if (opened >= 0) ::close(opened);
    return false;
  }
  if (!entered.insert(FileId{static_cast<uint64_t>(self.st_dev), static_cast<uint64_t>(self.st_ino)})
           .second) {
    ::close(opened);
    return true;
  }
  DIR* dir = ::fdopendir(opened);
  if (!dir) {
    problem = std::strerror(errno);
    ::close(opened);
    return false;
  }
  const std::string prefix = full.back() == '/' ? full : full + '/';
  SortedNames names;
  const int error = names.read(dir);
  const int fd = ::dirfd(dir);
  const std::optional<uint64_t> device = trustedListingDevice(fd, self);
  roomFor(entries, names.names.size());
  for (const SortedNames::Name& name : names.names) {
    Listed entry{prefix, {}};
    if (name.type == DT_REG && device) {
      // A regular file (never a link) of a volume whose listing gives the
      // real inode numbers: no need to examine it.
      entry.found.kind = Kind::File;
      entry.found.id = FileId{*device, name.inode};
    } else {
      bool link = false;
      entry.found = examineEntry(fd, names.text.c_str() + name.at, name.type == DT_LNK, link);
      if (link && entry.found.kind == Kind::Folder) continue;
    }
    entry.path += names.nameOf(name);
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  if (error) problem = std::strerror(error);
  return error == 0;
#endif
}

}  // namespace

std::vector<PathProblem> FileList::AddFiles(std::vector<std::string> paths) {
  Impl& m = *impl_;
  m.resolveIds();
  m.ensureIndex();
  std::vector<PathProblem> problems;
  std::unordered_set<FileId, FileIdHash> foldersEntered;  // each folder listed once
  m.reserve(paths.size());

  // Gives `full` to the list, a folder's entries to `walk`. `given`: a path
  // of the caller's (a missing one is a problem; a name met in a listing
  // that is gone by now, removed meanwhile, is none).
  std::vector<Listed> walk;
  auto take = [&](std::string full, const Found& found, bool given) {
    if (found.kind == Kind::Missing && (given || !found.missing)) problems.push_back({full, found.problem});
    if (found.kind == Kind::Other && given) problems.push_back({full, "not a regular file"});
    if (found.kind == Kind::Folder) {
#if defined(_WIN32)
      if (found.id && !foldersEntered.insert(*found.id).second) return;
#endif
      const size_t before = walk.size();
      std::string problem;
      if (!listFolder(full, given, foldersEntered, walk, problem)) problems.push_back({full, problem});
      m.reserve(walk.size() - before);
    } else if (found.kind == Kind::File && hasAcceptedExtension(full)) {
      if (found.id && m.fileIds.count(*found.id)) return;  // the same file under another name
      m.add(std::move(full), found.id);
    }
  };

  // The given paths first, then the folders' entries as they join the end
  // of the walk, which makes it breadth-first.
  for (const std::string& path : paths) {
    if (path.empty()) continue;  // would name the current folder
    std::string full = alreadyFull(path) ? path : expandPath(path);
    if (m.keys.lookup(full)) continue;
    const Found found = inspect(full);
    take(std::move(full), found, true);
  }
  for (size_t i = 0; i < walk.size(); ++i) {
    if (m.keys.lookup(walk[i].path)) continue;
    std::string full = std::move(walk[i].path);
    const Found found = std::move(walk[i].found);  // `walk` may grow meanwhile
    take(std::move(full), found, false);
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

bool FileList::contains(const std::string& path) const {
  impl_->ensureIndex();
  return impl_->keys.lookup(path) != nullptr;
}

std::string FileList::takeFirst() {
  Impl& m = *impl_;
  if (m.size() == 0) throw std::out_of_range("FileList::takeFirst on an empty list");
  m.indexed = false;
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

void FileList::appendUnchecked(std::string path) {
  impl_->indexed = false;
  impl_->add(std::move(path), std::nullopt);
  impl_->ids.back().pending = true;
  ++impl_->pendingIds;
}

}  // namespace naming
