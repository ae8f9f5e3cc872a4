#include "cli/platform_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "metadata/paths.hpp"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

namespace fs = std::filesystem;

std::string reason(int error) { return error ? std::strerror(error) : "input/output error"; }

#if defined(_WIN32)
int openNew(const std::string& path) {
  return ::_wopen(fs::path(path).wstring().c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                  _S_IREAD | _S_IWRITE);
}
int writeSome(int fd, const char* data, size_t count) {
  return ::_write(fd, data, static_cast<unsigned>(count));
}
int closeFd(int fd) { return ::_close(fd); }
#else
int openNew(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
ssize_t writeSome(int fd, const char* data, size_t count) { return ::write(fd, data, count); }
int closeFd(int fd) { return ::close(fd); }
#endif

// Writes all of `bytes` and closes `fd`; the error code, or 0.
int writeAndClose(int fd, const std::string& bytes) {
  int error = 0;
  size_t done = 0;
  while (done < bytes.size()) {
    const auto n = writeSome(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (closeFd(fd) != 0 && !error) error = errno;
  return error;
}

// Moves `from` over `to`, replacing it.
bool renameOver(const std::string& from, const std::string& to) {
#if defined(_WIN32)
  return ::MoveFileExW(fs::path(from).wstring().c_str(), fs::path(to).wstring().c_str(),
                       MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

bool writeNewFile(const std::string& path, const std::string& bytes, std::string& problem) {
  const int fd = openNew(path);
  if (fd < 0) {
    problem = errno == EEXIST ? path + " already exists (use --force to replace it)"
                              : "cannot create " + path + ": " + reason(errno);
    return false;
  }
  if (const int error = writeAndClose(fd, bytes)) {
    std::remove(path.c_str());
    problem = "cannot write " + path + ": " + reason(error);
    return false;
  }
  return true;
}

bool replaceFile(const std::string& path, const std::string& bytes, std::string& problem) {
  // A new temporary name beside the target, on the same volume.
  const std::string folder = meta::folderOf(path);
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = folder + ".quillmark-" + std::to_string(attempt) + "-" + meta::fileNameOf(path) + ".part";
    fd = openNew(temporary);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    problem = "cannot create " + path + ": " + reason(errno);
    return false;
  }
  int error = writeAndClose(fd, bytes);
  if (!error && !renameOver(temporary, path)) error = errno ? errno : EIO;
  if (error) {
    std::remove(temporary.c_str());
    problem = "cannot write " + path + ": " + reason(error);
    return false;
  }
  return true;
}

PathKind kindOf(const std::string& path) {
  std::error_code ec;
  const fs::file_status st = fs::status(fs::path(path), ec);
  if (ec || !fs::exists(st)) return PathKind::Missing;
  return fs::is_regular_file(st) ? PathKind::RegularFile : PathKind::Other;
}

bool isSymbolicLink(const std::string& path) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(fs::path(path), ec));
}

std::string linkTarget(const std::string& path) {
  std::error_code ec;
  const fs::path target = fs::canonical(fs::path(path), ec);
  return ec ? std::string() : target.string();
}

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(fs::path(a), fs::path(b), ec) && !ec;
}

bool discardsOutput(std::FILE* out) {
#if defined(_WIN32)
  (void)out;
  return false;
#else
  struct stat mine {
  }, null{};
  return ::fstat(::fileno(out), &mine) == 0 && S_ISCHR(mine.st_mode) && ::stat("/dev/null", &null) == 0 &&
         S_ISCHR(null.st_mode) && mine.st_rdev == null.st_rdev;
#endif
}

}  // namespace cli
