#include "naming/journal.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "metadata/paths.hpp"
#include "metadata/text.hpp"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace naming {

namespace {

namespace fs = std::filesystem;

constexpr const char* kMagic = "quillmark-journal 1";
constexpr const char* kJournalName = "journal";

const char* kindName(StepKind kind) {
  switch (kind) {
    case StepKind::Photo:
      return "photo";
    case StepKind::Companion:
      return "companion";
    case StepKind::Keep:
      return "keep";
    case StepKind::Drop:
      return "drop";
    case StepKind::Temp:
      return "temp";
    case StepKind::Write:
      return "write";
  }
  return "?";
}

std::optional<StepKind> kindOf(const std::string& name) {
  for (StepKind k : {StepKind::Photo, StepKind::Companion, StepKind::Keep, StepKind::Drop, StepKind::Temp,
                     StepKind::Write})
    if (name == kindName(k)) return k;
  return std::nullopt;
}

// Which fields a step kind carries after its kind: a target, an identity.
bool hasTarget(StepKind k) {
  return k == StepKind::Photo || k == StepKind::Companion || k == StepKind::Keep || k == StepKind::Write;
}
bool hasIdentity(StepKind k) { return k != StepKind::Temp; }

int64_t nowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// "s00000042-20261211-171900-4242": the run's sequence number first, then
// when and by which process it was started (the time only tells the user; the
// order is the sequence's).
std::string newRunId(uint64_t sequence) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm utc{};
#if defined(_WIN32)
  gmtime_s(&utc, &t);
  const int pid = _getpid();
#else
  gmtime_r(&t, &utc);
  const int pid = static_cast<int>(::getpid());
#endif
  char id[80];
  std::snprintf(id, sizeof id, "s%08llu-%04d%02d%02d-%02d%02d%02d-%d",
                static_cast<unsigned long long>(sequence), utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                utc.tm_hour, utc.tm_min, utc.tm_sec, pid);
  return id;
}

// The sequence number in a run folder's name; 0 for the runs of older
// versions, named by their time alone, which come before every other.
uint64_t sequenceOf(const std::string& name) {
  if (name.size() < 2 || name[0] != 's') return 0;
  uint64_t n = 0;
  size_t i = 1;
  for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && i < 19; ++i)
    n = n * 10 + unsigned(name[i] - '0');
  return i > 1 && (i == name.size() || name[i] == '-') ? n : 0;
}

// Writes all of `bytes` to `fd`; false on failure.
bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
#if defined(_WIN32)
    const int n = ::_write(fd, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
#else
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
#endif
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

int openForAppend(const std::string& path) {
#if defined(_WIN32)
  return ::_wopen(fs::path(path).wstring().c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, 0666);
#else
  return ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
#endif
}

#if !defined(_WIN32)
// The file's length set to `length`; a journal that cannot be cut keeps zero
// bytes at its end, which readers skip.
void cutTo(int fd, size_t length) {
  while (::ftruncate(fd, static_cast<off_t>(length)) != 0 && errno == EINTR) {
  }
}

// Cuts off what follows the last whole record of a journal: the zero bytes
// of room that a killed run left, and a record it left cut (its change was
// not made: a record is complete before its change). True when it could.
bool sealJournal(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  off_t end = st.st_size;
  char block[4096];
  bool inRecord = false;  // past the zero bytes, inside the cut record
  while (end > 0) {
    const off_t from = std::max<off_t>(0, end - static_cast<off_t>(sizeof block));
    const ssize_t n = ::pread(fd, block, static_cast<size_t>(end - from), from);
    if (n != end - from) return false;
    ssize_t i = n;
    while (i > 0 && !inRecord && block[i - 1] == '\0') --i;
    if (i > 0) inRecord = true;
    while (i > 0 && block[i - 1] != '\n') --i;
    if (i > 0) {
      end = from + i;
      break;
    }
    end = from;
  }
  return end == st.st_size || ::ftruncate(fd, end) == 0;
}
#endif

void closeFd(int fd) {
#if defined(_WIN32)
  ::_close(fd);
#else
  ::close(fd);
#endif
}

// A folder's entries on the disk (a new file's name survives a power cut).
bool syncFolder(const std::string& folder) {
#if defined(_WIN32)
  (void)folder;  // NTFS writes its directory changes through its own log
  return true;
#else
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool done = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync a folder
  ::close(fd);
  return done;
#endif
}

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string f; in >> f;) fields.push_back(f);
  return fields;
}

template <class T>
bool number(const std::string& text, T& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno || *end) return false;
  out = static_cast<T>(v);
  return true;
}

bool readIdentity(const std::vector<std::string>& f, size_t at, FileIdentity& id) {
  if (f.size() < at + 4) return false;
  unsigned long long device = 0, inode = 0;
  if (!number(f[at], device) || !number(f[at + 1], inode)) return false;
  id.device = device;
  id.inode = inode;
  return number(f[at + 2], id.size) && number(f[at + 3], id.mtime);
}

// One "I N KIND ..." record; false when it is malformed.
bool readIntent(const std::vector<std::string>& f, JournalStep& step) {
  if (f.size() < 4 || !number(f[1], step.number)) return false;
  const std::optional<StepKind> kind = kindOf(f[2]);
  if (!kind) return false;
  step.kind = *kind;
  const std::optional<std::string> path = unescapePath(f[3]);
  if (!path) return false;
  step.path = *path;
  size_t at = 4;
  if (hasTarget(step.kind)) {
    if (f.size() <= at) return false;
    const std::optional<std::string> target = unescapePath(f[at++]);
    if (!target) return false;
    step.target = *target;
  }
  return !hasIdentity(step.kind) || readIdentity(f, at, step.identity);
}

}  // namespace

#if !defined(_WIN32)
namespace {
FileIdentity identityIn(const struct stat& st) {
  FileIdentity id;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.inode = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<int64_t>(st.st_size);
  id.mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return id;
}
}  // namespace
#endif

std::optional<FileIdentity> identityOf(const std::string& path) {
#if defined(_WIN32)
  std::error_code ec;
  const fs::path p(path);
  if (!fs::is_regular_file(fs::symlink_status(p, ec))) return std::nullopt;
  FileIdentity id;
  id.size = static_cast<int64_t>(fs::file_size(p, ec));
  id.mtime = static_cast<int64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(fs::last_write_time(p, ec).time_since_epoch())
          .count());
  if (ec) return std::nullopt;
  return id;
#else
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return identityIn(st);
#endif
}

std::optional<FileIdentity> identityOfOpen(std::FILE* file, const std::string& path) {
#if defined(_WIN32)
  (void)file;
  return identityOf(path);
#else
  (void)path;
  struct stat st {};
  if (::fstat(::fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return identityIn(st);
#endif
}

namespace {

// `path` with every byte outside printable ASCII, the space and '%'
// included, written as %XX, appended to `out`.
void appendEscaped(std::string& out, std::string_view path) {
  static const char* kHex = "0123456789ABCDEF";
  auto plain = [](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x21 && u <= 0x7E && c != '%';
  };
  // Runs of plain characters (most paths are one) go in at once.
  size_t i = 0;
  while (i < path.size()) {
    size_t run = i;
    while (run < path.size() && plain(path[run])) ++run;
    out.append(path.data() + i, run - i);
    if (run == path.size()) break;
    const unsigned char u = static_cast<unsigned char>(path[run]);
    const char escaped[3] = {'%', kHex[u >> 4], kHex[u & 15]};
    out.append(escaped, 3);
    i = run + 1;
  }
}

}  // namespace

std::string escapePath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  appendEscaped(out, path);
  return out;
}

std::optional<std::string> unescapePath(std::string_view text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int hi = hex(text[i + 1]), lo = hex(text[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

std::string stateFolder() {
  if (const char* forced = std::getenv("QUILLMARK_STATE_DIR"); forced && *forced) return forced;
#if defined(_WIN32)
  if (const char* local = std::getenv("LOCALAPPDATA"); local && *local)
    return (fs::path(local) / "Quillmark").string();
  return (fs::temp_directory_path() / "Quillmark").string();
#else
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
    return (fs::path(state) / "quillmark").string();
  if (const char* home = std::getenv("HOME"); home && *home)
    return (fs::path(home) / ".local" / "state" / "quillmark").string();
  return (fs::temp_directory_path() / "quillmark").string();
#endif
}

size_t RunRecord::photosMoved() const {
  return static_cast<size_t>(std::count_if(
      steps.begin(), steps.end(), [](const JournalStep& s) { return s.kind == StepKind::Photo && s.done; }));
}

std::vector<std::string> RunRecord::folders() const {
  std::vector<std::string> found;
  for (const JournalStep& s : steps) {
    if (s.kind != StepKind::Photo) continue;
    const std::string folder = meta::folderOf(s.path);
    if (std::find(found.begin(), found.end(), folder) == found.end()) found.push_back(folder);
  }
  return found;
}

std::optional<RunRecord> readRun(const std::string& runFolder) {
  std::ifstream in(fs::path(runFolder) / kJournalName, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line) || line != kMagic) return std::nullopt;
  RunRecord run;
  run.folder = runFolder;
  run.id = fs::path(runFolder).filename().string();
  run.sequence = sequenceOf(run.id);
  std::vector<size_t> indexOf;  // step number -> index in run.steps
  size_t confirmations = 0;
  auto stepAt = [&](const std::string& n) -> JournalStep* {
    int k = 0;
    if (!number(n, k) || k < 1 || static_cast<size_t>(k) >= indexOf.size() || indexOf[k] == SIZE_MAX)
      return nullptr;
    return &run.steps[indexOf[static_cast<size_t>(k)]];
  };
  // A line cut by a kill (no line end) is the last one and is left out.
  while (std::getline(in, line)) {
    if (in.eof()) break;
    const std::vector<std::string> f = fieldsOf(line);
    if (f.empty()) continue;
    if (f[0] == "run" && f.size() >= 3) {
      number(f[2], run.started);
    } else if (f[0] == "I") {
      JournalStep step;
      if (!readIntent(f, step) || step.number < 1 || step.number > 100000000) continue;
      if (indexOf.size() <= static_cast<size_t>(step.number))
        indexOf.resize(static_cast<size_t>(step.number) + 1, SIZE_MAX);
      indexOf[static_cast<size_t>(step.number)] = run.steps.size();
      run.steps.push_back(step);
    } else if (f[0] == "D" && f.size() >= 2) {
      if (JournalStep* s = stepAt(f[1])) {
        s->done = true;
        s->doneOrder = ++confirmations;
      }
    } else if (f[0] == "U" && f.size() >= 2) {
      if (JournalStep* s = stepAt(f[1])) s->undone = true;
    } else if (f[0] == "end" && f.size() >= 4) {
      run.ended = true;
      number(f[1], run.renamed);
      number(f[2], run.unchanged);
      number(f[3], run.failed);
    } else if (f[0] == "undone") {
      run.undone = true;
    }
  }
  return run;
}

namespace {

// The run folders of stateRoot/runs, oldest first: by sequence, then by name
// (the names of older versions' runs sort by time; two runs that took the
// same number at once keep their start order).
std::vector<fs::path> runFoldersIn(const fs::path& runs) {
  std::vector<std::pair<uint64_t, fs::path>> found;
  std::error_code ec;
  for (fs::directory_iterator it(runs, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_directory(ec)) found.emplace_back(sequenceOf(it->path().filename().string()), it->path());
  std::sort(found.begin(), found.end());
  std::vector<fs::path> folders;
  folders.reserve(found.size());
  for (auto& f : found) folders.push_back(std::move(f.second));
  return folders;
}

std::vector<std::string> runFolders(const std::string& stateRoot) {
  std::vector<std::string> folders;
  for (const fs::path& p : runFoldersIn(fs::path(stateRoot) / "runs")) folders.push_back(p.string());
  return folders;
}

// How many files that its run set aside a run folder still holds, counted
// up to `enough`.
size_t keptFilesIn(const fs::path& folder, size_t enough) {
  size_t kept = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end && kept < enough; it.increment(ec))
    if (it->path().filename().string().rfind("kept-", 0) == 0) ++kept;
  return kept;
}

}  // namespace

size_t RunRecord::keptFiles() const { return keptFilesIn(folder, SIZE_MAX); }

std::optional<RunRecord> lastRun(const std::string& stateRoot) {
  const std::vector<std::string> folders = runFolders(stateRoot);
  for (auto it = folders.rbegin(); it != folders.rend(); ++it)
    if (std::optional<RunRecord> r = readRun(*it)) return r;
  return std::nullopt;
}

std::vector<RunRecord> listRuns(const std::string& stateRoot) {
  const std::vector<std::string> folders = runFolders(stateRoot);
  std::vector<RunRecord> runs;
  for (const std::string& f : folders)
    if (std::optional<RunRecord> r = readRun(f)) runs.push_back(std::move(*r));
  return runs;
}

namespace {

// Older runs beyond the number kept go, but never `current` and never one
// that still holds files it set aside: those stay until undone or forgotten.
void removeOldRuns(const fs::path& runs, const fs::path& current) {
  const std::vector<fs::path> all = runFoldersIn(runs);
  std::error_code ec;
  for (size_t i = 0; i + kRunsKept < all.size(); ++i) {
    if (all[i] == current || keptFilesIn(all[i], 1) != 0) continue;
    fs::remove_all(all[i], ec);
  }
}

}  // namespace

std::unique_ptr<Journal> Journal::create(const std::string& stateRoot, std::string& problem) {
  const fs::path runs = fs::path(stateRoot) / "runs";
  std::error_code ec;
  fs::create_directories(runs, ec);
  if (ec) {
    problem = "cannot create " + runs.string() + ": " + ec.message();
    return nullptr;
  }
  std::unique_ptr<Journal> j(new Journal);
  // The run comes after every run there; a name taken at the same moment by
  // another process moves it one further.
  const std::vector<fs::path> before = runFoldersIn(runs);
  uint64_t sequence = before.empty() ? 1 : sequenceOf(before.back().filename().string()) + 1;
  fs::path folder;
  for (int attempt = 0;; ++attempt, ++sequence) {
    j->id_ = newRunId(sequence);
    folder = runs / j->id_;
    if (fs::create_directory(folder, ec) && !ec) break;
    if (ec || attempt == 100) {
      problem = "cannot create " + folder.string() + ": " + (ec ? ec.message() : std::string("it exists"));
      return nullptr;
    }
  }
  j->folder_ = folder.string();
  j->fd_ = openForAppend((folder / kJournalName).string());
  if (j->fd_ < 0) {
    problem = "cannot create the journal in " + folder.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  j->append(std::string(kMagic) + "\n" + "run " + j->id_ + ' ' + std::to_string(nowSeconds()) + "\n");
  // The journal's own name on the disk, before anything relies on it.
  if (!j->problem_.empty() || !syncFolder(folder.string()) || !syncFolder(runs.string())) {
    problem = "cannot write the journal in " + folder.string() + ": " +
              (j->problem_.empty() ? std::string(std::strerror(errno)) : j->problem_);
    return nullptr;
  }

  // Older runs beyond the number kept go, beside the run (removing a big
  // journal takes the file system a while); the journal waits for it at its end.
  auto prune = [runs, folder] {
    try {
      removeOldRuns(runs, folder);
    } catch (const std::exception&) {
      // Housekeeping alone: the runs stay for the next time.
    }
  };
  try {
    j->pruner_ = std::thread(prune);
  } catch (const std::system_error&) {
    prune();  // no thread to be had: here and now
  }
  return j;
}

Journal::~Journal() {
  if (pruner_.joinable()) pruner_.join();

  flush();
  unmap();
  if (fd_ >= 0) closeFd(fd_);
}

void Journal::append(const std::string& line) {
  pending_ += line;
  flush();
}

void Journal::failed(const std::string& what, int error) {
  if (problem_.empty()) problem_ = what + ": " + (error ? std::strerror(error) : "input/output error");
}

bool Journal::flush() {
  if (!problem_.empty()) return false;  // a journal that failed once takes nothing more
  if (pending_.empty()) return true;
  if (fd_ < 0) {
    failed("the journal is not open", EBADF);
    return false;
  }
  if (mapRoomFor(pending_.size())) {
    std::memcpy(map_ + length_, pending_.data(), pending_.size());
    length_ += pending_.size();
  } else if (!writeAll(fd_, pending_)) {
    failed("cannot write the journal " + folder_, errno);
    return false;
  }
  pending_.clear();
  return true;
}

bool Journal::sync() {
  if (!flush()) return false;
  if (syncedBefore_ == next_) return true;
#if defined(_WIN32)
  const int done = ::_commit(fd_);
#else
  // A mapped journal's pages go out with its file's data.
  const int done = map_ ? ::msync(map_, (length_ + 4095) / 4096 * 4096, MS_SYNC) : ::fdatasync(fd_);
#endif
  if (done != 0) {
    failed("cannot write the journal " + folder_ + " to the disk", errno);
    return false;
  }
  syncedBefore_ = next_;
  return true;
}

// Room in the mapped file for `bytes` more, reserved on disk (so that a full
// disk never makes a store fault) and mapped; false when the journal is
// written with write() instead, from where it was.
bool Journal::mapRoomFor(size_t bytes) {
#if defined(_WIN32)
  (void)bytes;
  return false;
#else
  if (map_ && length_ + bytes <= mapped_) return true;
  if (mapped_ == SIZE_MAX) return false;  // mapping failed before
  size_t want = std::max<size_t>(mapped_ ? mapped_ * 2 : 256 * 1024, length_ + bytes);
  want = (want + 4095) / 4096 * 4096;
  if (!map_) {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return false;
    length_ = static_cast<size_t>(st.st_size);
  }
  unmap();
  void* at = MAP_FAILED;
  if (::posix_fallocate(fd_, 0, static_cast<off_t>(want)) == 0)
    at = ::mmap(nullptr, want, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (at == MAP_FAILED) {
    cutTo(fd_, length_);
    mapped_ = SIZE_MAX;
    return false;
  }
  map_ = static_cast<char*>(at);
  mapped_ = want;
#if defined(MADV_POPULATE_WRITE)
  // The pages at once, rather than a fault for each on its first record.
  ::madvise(map_, mapped_, MADV_POPULATE_WRITE);
#endif
  return true;
#endif
}

// Lets the mapping go and gives the file back its written length.
void Journal::unmap() {
#if !defined(_WIN32)
  if (!map_) return;
  ::munmap(map_, mapped_);
  map_ = nullptr;
  cutTo(fd_, length_);
#endif
}

int Journal::intend(StepKind kind, const std::string& path, const std::string& target,
                    const FileIdentity& identity) {
  const int step = next_++;
  // The line goes out after the confirmations waiting, in the same write.
  std::string& line = pending_;
  line += "I ";
  meta::appendDecimal(line, step);
  line += ' ';
  line += kindName(kind);
  line += ' ';
  appendEscaped(line, path);
  if (hasTarget(kind)) {
    line += ' ';
    appendEscaped(line, target);
  }
  if (hasIdentity(kind)) {
    line += ' ';
    meta::appendDecimal(line, identity.device);
    line += ' ';
    meta::appendDecimal(line, identity.inode);
    line += ' ';
    meta::appendDecimal(line, identity.size);
    line += ' ';
    meta::appendDecimal(line, identity.mtime);
  }
  line += '\n';
  return flush() ? step : 0;
}

void Journal::confirm(int step) {
  pending_ += "D ";
  meta::appendDecimal(pending_, step);
  pending_ += '\n';
  if (map_) flush();  // stored at once where that costs no system call
}

void Journal::abandon(int step) {
  if (step <= 0) return;
  pending_ += "U ";
  meta::appendDecimal(pending_, step);
  pending_ += '\n';
  if (map_) flush();
}

void Journal::end(size_t renamed, size_t unchanged, size_t failed) {
  append("end " + std::to_string(renamed) + ' ' + std::to_string(unchanged) + ' ' + std::to_string(failed) +
         "\n");
}

std::string Journal::keptPath(int step) const {
  return (fs::path(folder_) / ("kept-" + std::to_string(step))).string();
}

bool appendToJournal(const std::string& runFolder, const std::string& line) {
  const int fd = openForAppend((fs::path(runFolder) / kJournalName).string());
  if (fd < 0) return false;
#if !defined(_WIN32)
  if (!sealJournal(fd)) {
    closeFd(fd);
    return false;
  }
#endif
  const bool written = writeAll(fd, line);
  closeFd(fd);
  return written;
}

bool forgetRun(const RunRecord& run, std::string& problem) {
  std::error_code ec;
  fs::remove_all(run.folder, ec);
  if (ec) problem = ec.message();
  return !ec;
}

}  // namespace naming
