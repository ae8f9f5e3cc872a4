#include "naming/file_system.hpp"

#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
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
    ::unlink(to.c_str());
    return MoveResult::Refused;
  }
  return MoveResult::Moved;
}

MoveResult moveAfterTest(const std::string& from, const std::string& to) {
  // A destination that appears between the test and the rename would be
  // replaced; this is used only where the file system allows nothing better.
  if (nameTaken(to)) return MoveResult::Refused;
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

namespace {

class RealFileSystem final : public FileSystem {
 public:
  bool fileExists(const std::string& path) override {
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
  }

  bool folderExists(const std::string& path) override {
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::path(path), ec);
  }

  bool moveFile(const std::string& from, const std::string& to) override {
#if defined(_WIN32)
    // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing destination.
    const std::wstring f = std::filesystem::path(from).wstring();
    const std::wstring t = std::filesystem::path(to).wstring();
    return ::MoveFileExW(f.c_str(), t.c_str(), MOVEFILE_COPY_ALLOWED) != 0;
#else
    return detail::moveWithoutReplacing(from, to);
#endif
  }

  bool deleteFile(const std::string& path) override {
#if defined(_WIN32)
    return ::DeleteFileW(std::filesystem::path(path).wstring().c_str()) != 0;
#else
    return ::unlink(path.c_str()) == 0;  // never a folder
#endif
  }

  std::unique_ptr<CompanionSink> createTextFile(const std::string& path) override {
    return std::make_unique<TextFileSink>(path);
  }
};

}  // namespace

FileSystem& realFileSystem() {
  static RealFileSystem fs;
  return fs;
}

}  // namespace naming
