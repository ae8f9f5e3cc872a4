#include "naming/file_system.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <system_error>
#include <unordered_map>

#include "metadata/paths.hpp"
#include "metadata/text.hpp"
#include "naming/journal.hpp"
#include "naming/name_map.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace naming {

#if !defined(_WIN32)
namespace {

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

// The entries of `folder` (a path ending in a separator, or empty for the
// current folder) with their types; false when it cannot be listed.
bool listFolder(const std::string& folder, NameMap<unsigned char>& entries) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      entries.set(e->d_name, e->d_type);
  }
  ::closedir(dir);
  return true;
}

// Whether the volume of `folder` tells letter case apart: one of its names
// with the letters swapped in case, and not an entry itself, is looked up by
// the system, and names nothing on a case-sensitive volume. None when no
// name can be tried (no entry has letters) or the system does not answer.
std::optional<bool> caseSensitivity(const std::string& folder, const NameMap<unsigned char>& entries) {
  std::string swapped;
  const auto tryable = [&](std::string_view name) {
    swapped.assign(name);
    bool letters = false;
    for (char& c : swapped) {
      if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A'), letters = true;
      else if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c - 'A' + 'a'), letters = true;
    }
    return letters && !entries.find(swapped);
  };
  if (!entries.findName(tryable)) return std::nullopt;
  struct stat st {};
  if (::lstat((folder + swapped).c_str(), &st) == 0) return false;
  if (errno == ENOENT) return true;
  return std::nullopt;
}

// The entries of the folders a run touches, each folder listed once, and
// kept up to date with the run's own moves and deletions. It answers only
// where the listing is sure: a regular file, or no entry at all, in a folder
// whose names are case-sensitive; links and entries of unknown type are left
// to the system.
class FolderListings {
 public:
  // None: ask the system.
  std::optional<bool> fileExists(const std::string& path) {
    Folder* folder = folderOf(path);
    if (!folder) return std::nullopt;
    const std::optional<unsigned char> type = folder->entries.find(nameIn(path));
    if (!type) return false;
    if (*type == DT_REG) return true;
    if (*type == DT_LNK || *type == DT_UNKNOWN) return std::nullopt;
    return false;
  }

  std::optional<bool> folderExists(const std::string& path) {
    const std::string name = meta::fileNameOf(path);
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    Folder* folder = folderOf(path);
    if (!folder) return std::nullopt;
    const std::optional<unsigned char> type = folder->entries.find(name);
    if (!type) return false;
    if (*type == DT_DIR) return true;
    if (*type == DT_LNK || *type == DT_UNKNOWN) return std::nullopt;
    return false;
  }

  // `from` was moved to `to`.
  void moved(const std::string& from, const std::string& to) {
    unsigned char type = DT_UNKNOWN;
    if (Folder* folder = folderOf(from)) {
      if (const std::optional<unsigned char> known = folder->entries.find(nameIn(from))) {
        type = *known;
        folder->entries.erase(nameIn(from));
      }
    }
    if (Folder* folder = folderOf(to)) folder->entries.set(nameIn(to), type);
  }

  void removed(const std::string& path) {
    if (Folder* folder = folderOf(path)) folder->entries.erase(nameIn(path));
  }

 private:
  struct Folder {
    bool usable = false;
    NameMap<unsigned char> entries;  // name -> d_type
  };

  static std::string_view nameIn(const std::string& path) {
    return std::string_view(path).substr(meta::fileNameStart(path));
  }
  struct FolderId {
    uint64_t device = 0, inode = 0;
    friend bool operator==(const FolderId&, const FolderId&) = default;
  };
  struct FolderIdHash {
    size_t operator()(const FolderId& id) const {
      return std::hash<uint64_t>()(id.device * 0x9E3779B97F4A7C15ull ^ id.inode);
    }
  };

  // The listing of the folder of `path`; none when it cannot answer. A
  // folder is known by its identity, so that two spellings of one folder
  // share one listing.
  Folder* folderOf(const std::string& path) {
    // Most questions of a run are about the folder of the one before.
    const std::string_view folderText(path.data(), meta::fileNameStart(path));
    if (last_ && folderText == lastText_) return last_->usable ? last_ : nullptr;
    const std::string text(folderText);
    auto known = ids_.find(text);
    if (known == ids_.end()) {
      struct stat st {};
      std::optional<FolderId> id;
      if (::stat(text.empty() ? "." : text.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        id = FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
      known = ids_.emplace(text, id).first;
    }
    if (!known->second) return nullptr;
    auto [it, added] = folders_.try_emplace(*known->second);
    if (added) list(text, it->second);
    last_ = &it->second;  // unordered_map nodes stay where they are
    lastText_ = text;
    return it->second.usable ? &it->second : nullptr;
  }

  // Only a case-sensitive folder can answer from its listing; without a
  // name to try, the folder is left to the system.
  static void list(const std::string& text, Folder& folder) {
    if (listFolder(text, folder.entries))
      folder.usable = caseSensitivity(text, folder.entries).value_or(false);
  }

  std::unordered_map<std::string, std::optional<FolderId>> ids_;
  std::unordered_map<FolderId, Folder, FolderIdHash> folders_;
  Folder* last_ = nullptr;  // the folder last asked about, listed under lastText_
  std::string lastText_;
};

// True when something (a file, a folder, a dangling link) has this name.
bool nameTaken(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

}  // namespace

namespace detail {

MoveResult moveAtomically(const std::string& from, const std::string& to) {
#if defined(SYS_renameat2)
  if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return MoveResult::Moved;
  // The kernel or the file system does not know the flag.
  if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP || errno == EOPNOTSUPP)
    return MoveResult::Unsupported;
  return MoveResult::Refused;
#else
  (void)from;
  (void)to;
  return MoveResult::Unsupported;
#endif
}

MoveResult moveByLink(const std::string& from, const std::string& to) {
  // link() refuses an existing destination, so nothing is ever replaced.
  if (::link(from.c_str(), to.c_str()) != 0) {
    // File systems without hard links (FAT volumes) say so with these.
    if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP || errno == ENOSYS)
      return MoveResult::Unsupported;
    return MoveResult::Refused;
  }
  if (::unlink(from.c_str()) != 0) {
    // Keep one name only: the old one.
    const int saved = errno;
    ::unlink(to.c_str());
    errno = saved;
    return MoveResult::Refused;
  }
  return MoveResult::Moved;
}

MoveResult moveAfterTest(const std::string& from, const std::string& to) {
  // A destination that appears between the test and the rename would be
  // replaced; this is used only where the file system allows nothing better.
  if (nameTaken(to)) {
    errno = EEXIST;
    return MoveResult::Refused;
  }
  return ::rename(from.c_str(), to.c_str()) == 0 ? MoveResult::Moved : MoveResult::Refused;
}

bool moveWithoutReplacing(const std::string& from, const std::string& to) {
  MoveResult r = moveAtomically(from, to);
  if (r == MoveResult::Unsupported) r = moveByLink(from, to);
  if (r == MoveResult::Unsupported) r = moveAfterTest(from, to);
  return r == MoveResult::Moved;
}

}  // namespace detail
#endif

bool FileSystem::sameEntry(const std::string& folder, std::string_view a, std::string_view b) {
  (void)folder;
#if defined(_WIN32)
  return meta::equalsIgnoreCase(a, b);
#else
  return a == b;
#endif
}

namespace {

// "Impossible de créer PATH (reason)": the text of an IoFault about a file.
output::IoFault cannotCreate(const std::string& path, const std::string& reason) {
  return output::IoFault("Impossible de créer " + path + " (" + reason + ")");
}

std::string systemReason(int error) { return error ? std::strerror(error) : "input/output error"; }

// A hidden temporary name beside `path`, drawn at random.
std::string temporaryNameBeside(const std::string& path) {
  static std::mutex lock;
  static std::mt19937_64 random{std::random_device{}()};
  static const char* kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string tag;
  {
    std::lock_guard<std::mutex> guard(lock);
    for (int i = 0; i < 8; ++i) tag += kLetters[random() % 62];
  }
  return meta::folderOf(path) + kTemporaryPrefix + tag + kTemporarySuffix;
}

// Creates `temporary`, new and empty; null (errno set) when it exists or
// cannot be made.
std::FILE* createNew(const std::string& temporary) {
#if defined(_WIN32)
  return ::_wfopen(std::filesystem::path(temporary).wstring().c_str(), L"wbx");
#else
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) ::close(fd);
  return f;
#endif
}

// Opens a new, empty temporary file beside `path`, never one that exists:
// `temporary` first when it is given (a name recorded ahead as step
// `prepared`), else names drawn at random. `journal`, when given, has each
// name on the disk before the file is made.
std::FILE* openTemporaryBeside(const std::string& path, std::string& temporary, Journal* journal,
                               int prepared) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    int step = prepared;
    if (attempt > 0 || step == 0) {
      temporary = temporaryNameBeside(path);
      if (journal) {
        step = journal->intend(StepKind::Temp, temporary, {}, {});
        if (step == 0 || !journal->sync()) {
          errno = EIO;
          return nullptr;
        }
      }
    }
    std::FILE* f = createNew(temporary);
    if (f && journal) journal->confirm(step);
    if (!f && journal) journal->abandon(step);
    if (f || errno != EEXIST) return f;
  }
  return nullptr;
}

// A name that companions have: another image's report, never a photo.
bool isCompanionName(const std::string& path) {
  const std::string name = meta::fileNameOf(path);
  const std::string_view suffix = kCompanionExtension;
  return name.size() >= suffix.size() &&
         meta::equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
}

class RealFileSystem final : public FileSystem {
 public:
  explicit RealFileSystem(Journal* journal = nullptr) : journal_(journal) {
    if (journal_) journalDevice_ = identityOfFolder(journal_->folder());
  }

  bool fileExists(const std::string& path) override {
#if !defined(_WIN32)
    if (listings_)
      if (const std::optional<bool> known = listings_->fileExists(path)) return *known;
#endif
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
  }

  bool folderExists(const std::string& path) override {
#if !defined(_WIN32)
    if (listings_)
      if (const std::optional<bool> known = listings_->folderExists(path)) return *known;
#endif
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::path(path), ec);
  }

  bool moveFile(const std::string& from, const std::string& to) override {
    if (!journal_) return move(from, to);
    const StepKind kind = isCompanionName(from) ? StepKind::Companion : StepKind::Photo;
    int step = takePrepared(kind, from, to);
    if (step != 0 && !onDisk(step)) return false;
    if (step == 0) {
      const std::optional<FileIdentity> id = identityOf(from);
      if (!id) return move(from, to);  // nothing to move: the move says why
      if ((step = record(kind, from, to, *id)) == 0) return false;
    }
    if (!move(from, to)) {
      journal_->abandon(step);
      return false;
    }
    journal_->confirm(step);
    return true;
  }

  // With a journal, a file is not deleted but kept in the run's folder, so
  // that undo can bring it back; only where that folder is on another volume
  // is it deleted for good, and the journal says so.
  bool deleteFile(const std::string& path) override {
    kept_.clear();
    if (!journal_) return remove(path);
    std::string kept;
    int step = takePrepared(StepKind::Keep, path, {}, &kept);
    if (step != 0 && !onDisk(step)) return false;
    if (step == 0) {
      const std::optional<FileIdentity> id = identityOf(path);
      if (!id) return remove(path);
      if (onJournalVolume(path, *id)) kept = journal_->keptPath(journal_->nextStep());
      step = record(kept.empty() ? StepKind::Drop : StepKind::Keep, path, kept, *id);
      if (step == 0) return false;
    }
    if (!(kept.empty() ? remove(path) : move(path, kept))) {
      journal_->abandon(step);
      return false;
    }
    journal_->confirm(step);
    kept_ = kept;
    return true;
  }

  std::string lastKept() const override { return kept_; }

  bool prepare(std::vector<PlannedChange> changes) override {
    if (!journal_) return true;
    if (changes.empty()) {
      if (journal_->sync()) return true;
      lastError_ = "journal: " + journal_->problem();
      return false;
    }
    // A new group: what was left of the one before will not be made.
    abandonPrepared();
    prepared_.clear();
    prepared_.reserve(changes.size());
    nextTemp_ = nextChange_ = 0;
    for (PlannedChange& c : changes) {
      if (!prepareOne(std::move(c))) return false;
    }
    if (journal_->sync()) return true;
    lastError_ = "journal: " + journal_->problem();
    return false;
  }

  std::unique_ptr<output::CompanionSink> createTextFile(const std::string& path) override;

  std::vector<std::string> namesIn(const std::string& folder) override {
    std::vector<std::string> names;
#if defined(_WIN32)
    std::error_code ec;
    const std::filesystem::path dir(folder.empty() ? std::string(".") : folder);
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
      names.push_back(it->path().filename().string());
#else
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir)) {
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
        names.emplace_back(e->d_name);
    }
    ::closedir(dir);
#endif
    return names;
  }

  std::string lastError() const override { return lastError_; }

  bool sameEntry(const std::string& folder, std::string_view a, std::string_view b) override {
    if (a == b) return true;
#if defined(_WIN32)
    (void)folder;
    return meta::equalsIgnoreCase(a, b);
#else
    // Names that differ in more than the case of ASCII letters are two
    // entries on any volume: most questions end here, without the system.
    const bool folded = meta::equalsIgnoreCase(a, b);
    if (!folded && isAscii(a) && isAscii(b)) return false;
    if (caseSensitive(folder)) return false;
    if (folded) return true;
    // Letters outside ASCII fold as the volume's own table says: both
    // names are looked up, and are one entry when they lead to one file.
    struct stat sa {};
    struct stat sb {};
    return ::lstat((folder + std::string(a)).c_str(), &sa) == 0 &&
           ::lstat((folder + std::string(b)).c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
#endif
  }

  size_t movesAfterTest() const override { return movesAfterTest_; }

  // A run starts afresh: a folder may now be on another volume than before.
  void rememberListings(bool on) override {
#if !defined(_WIN32)
    if (on && !listings_) {
      listings_ = std::make_unique<FolderListings>();
      caseSensitive_.clear();
      ways_.clear();
    }
    if (!on) listings_.reset();
#else
    (void)on;
#endif
  }

  // The no-replace move itself, never journaled.
  bool move(const std::string& from, const std::string& to) {
#if defined(_WIN32)
    // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing destination.
    const std::wstring f = std::filesystem::path(from).wstring();
    const std::wstring t = std::filesystem::path(to).wstring();
    if (::MoveFileExW(f.c_str(), t.c_str(), MOVEFILE_COPY_ALLOWED) != 0) return true;
    lastError_ = std::system_category().message(static_cast<int>(::GetLastError()));
    return false;
#else
    errno = 0;
    if (moveWithoutReplacing(from, to)) {
      if (listings_) listings_->moved(from, to);
      return true;
    }
    lastError_ = systemReason(errno);
    return false;
#endif
  }

  Journal* journal() const { return journal_; }

  // The step recorded ahead for this change, or 0. `kept` receives the name
  // a kept file takes; for a companion to write, `path` is the companion and
  // `kept` receives the temporary file's name. The changes are taken in the
  // order they were prepared (the temporary files in theirs): those passed
  // over were left out.
  int takePrepared(StepKind kind, const std::string& path, const std::string& target,
                   std::string* kept = nullptr) {
    size_t& next = kind == StepKind::Temp ? nextTemp_ : nextChange_;
    for (size_t i = next; i < prepared_.size(); ++i) {
      Prepared& p = prepared_[i];
      if (p.step == 0 || (p.kind == StepKind::Temp) != (kind == StepKind::Temp)) continue;
      const bool keepOrDrop = kind == StepKind::Keep || kind == StepKind::Drop;
      if (p.change.path != path ||
          (keepOrDrop ? p.kind != StepKind::Keep && p.kind != StepKind::Drop : p.kind != kind) ||
          ((kind == StepKind::Photo || kind == StepKind::Companion) && p.change.target != target))
        continue;
      next = i + 1;
      if (kept) *kept = std::move(p.change.target);
      const int step = p.step;
      p.step = 0;
      return step;
    }
    return 0;
  }

  // The steps recorded ahead and not taken will never be made.
  void abandonPrepared() {
    for (const Prepared& p : prepared_) journal_->abandon(p.step);
  }

  ~RealFileSystem() override {
    if (journal_) abandonPrepared();
  }

  // A step recorded ahead: its record is on the disk before it is made.
  bool onDisk(int step) {
    if (journal_->onDisk(step) || journal_->sync()) return true;
    lastError_ = "journal: " + journal_->problem();
    return false;
  }

  // A step not recorded ahead: its record goes on the disk before it is made.
  int record(StepKind kind, const std::string& path, const std::string& target, const FileIdentity& id) {
    const int step = journal_->intend(kind, path, target, id);
    if (step != 0 && journal_->sync()) return step;
    lastError_ = "journal: " + journal_->problem();
    return 0;
  }

 private:
  struct Prepared {
    PlannedChange change;  // target: for a kept file where it goes, for a companion the temporary name
    StepKind kind;
    int step;  // 0 once taken
  };

  bool prepareOne(PlannedChange c) {
    int step = 0;
    StepKind kind = StepKind::Temp;
    if (c.kind == PlannedChange::Kind::Create) {
      c.target = temporaryNameBeside(c.path);
      step = journal_->intend(StepKind::Temp, c.target, {}, {});
    } else {
      std::optional<FileIdentity> id = stampedIdentity(c.path, c.stamp);
      if (!id) id = identityOf(c.path);
      if (!id) return true;  // nothing there: the change will say why
      if (c.kind == PlannedChange::Kind::Move) {
        kind = isCompanionName(c.path) ? StepKind::Companion : StepKind::Photo;
      } else if (onJournalVolume(c.path, *id)) {
        kind = StepKind::Keep;
        c.target = journal_->keptPath(journal_->nextStep());
      } else {
        kind = StepKind::Drop;
        c.target.clear();
      }
      step = journal_->intend(kind, c.path, c.target, *id);
    }
    if (step == 0) {
      lastError_ = "journal: " + journal_->problem();
      return false;
    }
    prepared_.push_back({std::move(c), kind, step});
    return true;
  }

  std::vector<Prepared> prepared_;  // recorded ahead, in the order they will be made
  size_t nextTemp_ = 0, nextChange_ = 0;
  std::string kept_;
  bool remove(const std::string& path) {
#if defined(_WIN32)
    if (::DeleteFileW(std::filesystem::path(path).wstring().c_str()) != 0) return true;
    lastError_ = std::system_category().message(static_cast<int>(::GetLastError()));
#else
    if (::unlink(path.c_str()) == 0) {  // never a folder
      if (listings_) listings_->removed(path);
      return true;
    }
    lastError_ = systemReason(errno);
#endif
    return false;
  }

  static uint64_t identityOfFolder(const std::string& folder) {
#if defined(_WIN32)
    (void)folder;
    return 0;
#else
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_dev) : 0;
#endif
  }

  bool onJournalVolume(const std::string& path, const FileIdentity& id) const {
#if defined(_WIN32)
    (void)id;
    return meta::equalsIgnoreCase(std::filesystem::path(path).root_name().string(),
                                  std::filesystem::path(journal_->folder()).root_name().string());
#else
    (void)path;
    return journalDevice_ != 0 && id.device == journalDevice_;
#endif
  }

#if !defined(_WIN32)
  // The ways of the no-replace move in their order, each folder starting at
  // the first. A folder whose volume refused a way is remembered (ordinary
  // volumes never are), so that its later moves go straight to the way that
  // works: the destination's test then comes right before the rename.
  enum class Way : unsigned char{Atomic, Link, Test};
  bool moveWithoutReplacing(const std::string& from, const std::string& to) {
    using detail::MoveResult;
    Way way = Way::Atomic;
    std::string folder;
    bool looked = false;
    if (!ways_.empty()) {
      folder = meta::folderOf(to);
      looked = true;
      if (const auto it = ways_.find(folder); it != ways_.end()) way = it->second;
    }
    const auto refused = [&](Way next) {
      if (!looked) folder = meta::folderOf(to), looked = true;
      ways_[folder] = next;
    };
    MoveResult r = MoveResult::Unsupported;
    if (way == Way::Atomic) {
      r = detail::moveAtomically(from, to);
      if (r == MoveResult::Unsupported) refused(way = Way::Link);
    }
    if (way == Way::Link) {
      r = detail::moveByLink(from, to);
      if (r == MoveResult::Unsupported) refused(way = Way::Test);
    }
    if (way == Way::Test) {
      ++movesAfterTest_;
      r = detail::moveAfterTest(from, to);
    }
    return r == MoveResult::Moved;
  }

  // Whether the volume of `folder` tells letter case apart, asked once per
  // folder; a folder that cannot be asked counts as one that does not.
  bool caseSensitive(const std::string& folder) {
    if (const auto it = caseSensitive_.find(folder); it != caseSensitive_.end()) return it->second;
    NameMap<unsigned char> entries;
    const bool sensitive = listFolder(folder, entries) && caseSensitivity(folder, entries).value_or(false);
    caseSensitive_.emplace(folder, sensitive);
    return sensitive;
  }

  static bool isAscii(std::string_view name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  }
#endif

  Journal* journal_;
  uint64_t journalDevice_ = 0;
  std::string lastError_;
  size_t movesAfterTest_ = 0;
#if !defined(_WIN32)
  std::unique_ptr<FolderListings> listings_;
  std::unordered_map<std::string, bool> caseSensitive_;  // by folder
  std::unordered_map<std::string, Way> ways_;            // by folder; only those that refused a way
#endif

 private:
  // Who `path` is, from the stamp of its read, where the folder's listing
  // shows a regular file under that name (a link would be the link's own
  // identity); none otherwise.
  std::optional<FileIdentity> stampedIdentity(const std::string& path, const meta::tFileStamp& stamp) {
#if defined(_WIN32)
    (void)path;
    (void)stamp;
    return std::nullopt;
#else
    if (!stamp.known || !listings_ || listings_->fileExists(path) != std::optional<bool>(true))
      return std::nullopt;
    return FileIdentity{stamp.device, stamp.inode, stamp.size, stamp.mtimeNs};
#endif
  }
};

// A companion report written into a temporary file and moved into place by
// close(); dropped before that, it removes the temporary file. With a
// journal, the temporary file's name is recorded before it is made, and the
// complete file before it takes the companion's name.
class AtomicCompanion final : public output::CompanionSink {
 public:
  AtomicCompanion(RealFileSystem& fs, const std::string& path) : fs_(fs), path_(path) {
    errno = 0;
    int prepared = fs_.journal() ? fs_.takePrepared(StepKind::Temp, path, {}, &temporary_) : 0;
    if (prepared != 0 && !fs_.onDisk(prepared)) {
      temporary_.clear();
      throw cannotCreate(path, fs_.lastError());
    }
    file_ = openTemporaryBeside(path, temporary_, fs_.journal(), prepared);
    if (!file_) {
      const int error = errno;
      const std::string journalProblem = fs_.journal() ? fs_.journal()->problem() : std::string();
      temporary_.clear();
      throw cannotCreate(path, journalProblem.empty() ? systemReason(error) : "journal: " + journalProblem);
    }
  }
  ~AtomicCompanion() override { discard(); }
  AtomicCompanion(const AtomicCompanion&) = delete;
  AtomicCompanion& operator=(const AtomicCompanion&) = delete;

  void WriteRich(const std::string& text, const output::TextStyle&) override {
    if (!file_) throw cannotCreate(path_, "closed");
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
      throw output::IoFault("Erreur d'écriture dans " + path_ + " (" + systemReason(errno) + ")");
  }

  // The complete temporary file, closed and recorded; it takes its name in close().
  void seal() override {
    if (!file_) return;
    errno = 0;
    const bool written = std::fflush(file_) == 0 && !std::ferror(file_);
    int error = errno;
    Journal* journal = fs_.journal();
    const std::optional<FileIdentity> id =
        journal && written ? identityOfOpen(file_, temporary_) : std::nullopt;
    if (std::fclose(file_) != 0 && written) error = errno;
    file_ = nullptr;
    if (!written || error) {
      discard();
      throw output::IoFault("Erreur d'écriture dans " + path_ + " (" + systemReason(error) + ")");
    }
    if (id && (step_ = journal->intend(StepKind::Write, path_, temporary_, *id)) == 0) {
      discard();
      throw cannotCreate(path_, "journal: " + journal->problem());
    }
    sealed_ = true;
  }

  void close() override {
    if (!sealed_) seal();
    if (!sealed_) return;
    Journal* journal = fs_.journal();
    // Its record goes on the disk before the file takes the name.
    if (step_ != 0 && !journal->onDisk(step_) && !journal->sync()) {
      discard();
      throw cannotCreate(path_, "journal: " + journal->problem());
    }
    // Never replaces a file that took the name meanwhile.
    if (!fs_.move(temporary_, path_)) {
      const std::string reason = fs_.lastError();
      discard();
      throw cannotCreate(path_, reason.empty() ? "input/output error" : reason);
    }
    if (step_ != 0) journal->confirm(step_);
    step_ = 0;
    temporary_.clear();
    sealed_ = false;
  }

 private:
  void discard() {
    // A complete file recorded but never given its name.
    if (step_ != 0 && fs_.journal()) fs_.journal()->abandon(step_);
    step_ = 0;
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
    sealed_ = false;
  }

  RealFileSystem& fs_;
  std::string path_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  int step_ = 0;  // the journal's record of the complete file
  bool sealed_ = false;
};

std::unique_ptr<output::CompanionSink> RealFileSystem::createTextFile(const std::string& path) {
  return std::make_unique<AtomicCompanion>(*this, path);
}

}  // namespace

FileSystem& realFileSystem() {
  static RealFileSystem fs;
  return fs;
}

std::unique_ptr<FileSystem> journaledFileSystem(Journal& journal) {
  return std::make_unique<RealFileSystem>(&journal);
}

}  // namespace naming
