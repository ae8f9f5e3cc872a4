#include "metadata/byte_source.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace meta {

namespace {

std::string systemReason(int error) { return std::generic_category().message(error); }

#ifdef _WIN32
// Windows has no FIFOs that an open could wait on: a plain open will do.
int openForReading(const std::string& path) {
  return ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
int closeFile(int fd) { return ::_close(fd); }

bool examine(int fd, bool& regular, int64_t& size, std::time_t& modified, tFileStamp& stamp) {
  struct _stat64 st {};
  if (::_fstat64(fd, &st) != 0) return false;
  regular = (st.st_mode & _S_IFMT) == _S_IFREG;
  size = st.st_size;
  modified = static_cast<std::time_t>(st.st_mtime);
  stamp = tFileStamp{};  // no inode here
  return true;
}

int64_t readSome(int fd, int64_t offset, char* out, int64_t count) {
  if (::_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
  return ::_read(fd, out, static_cast<unsigned>(std::min<int64_t>(count, 1 << 30)));
}
#else
// O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer
// (and some devices wait for a carrier). It changes nothing for the reads of
// a regular file.
int openForReading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}
int closeFile(int fd) { return ::close(fd); }

bool examine(int fd, bool& regular, int64_t& size, std::time_t& modified, tFileStamp& stamp) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  regular = S_ISREG(st.st_mode);
  size = static_cast<int64_t>(st.st_size);
  modified = st.st_mtime;
  stamp.known = true;
  stamp.device = static_cast<uint64_t>(st.st_dev);
  stamp.inode = static_cast<uint64_t>(st.st_ino);
  stamp.size = size;
  stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

int64_t readSome(int fd, int64_t offset, char* out, int64_t count) {
  ssize_t n;
  do {
    n = ::pread(fd, out, static_cast<size_t>(std::min<int64_t>(count, 1 << 30)), static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  return n;
}
#endif

}  // namespace

int64_t tMemorySource::ReadAt(int64_t offset, char* out, int64_t count) const {
  const int64_t size = Size();
  if (offset < 0 || count <= 0 || offset >= size) return 0;
  const int64_t n = std::min(count, size - offset);
  std::memcpy(out, bytes_.data() + offset, static_cast<size_t>(n));
  return n;
}

tFileSource::~tFileSource() { closeFile(fd_); }

std::unique_ptr<tFileSource> tFileSource::Open(const std::string& path, std::string& error) {
  const int fd = openForReading(path);
  if (fd < 0) {
    error = systemReason(errno);
    return nullptr;
  }
  bool regular = false;
  int64_t size = 0;
  std::time_t modified = 0;
  tFileStamp stamp;
  if (!examine(fd, regular, size, modified, stamp)) {
    error = systemReason(errno);
    closeFile(fd);
    return nullptr;
  }
  if (!regular) {
    error = "not a regular file";
    closeFile(fd);
    return nullptr;
  }
  return std::unique_ptr<tFileSource>(new tFileSource(fd, size, modified, stamp));
}

int64_t tFileSource::ReadAt(int64_t offset, char* out, int64_t count) const {
  if (offset < 0 || count <= 0) return 0;
  int64_t done = 0;
  while (done < count) {
    const int64_t n = readSome(fd_, offset + done, out + done, count - done);
    if (n <= 0) break;  // the end of the file, or a read error: the rest stays unread
    done += n;
    // A short read that reaches the size examined at the open is the end:
    // no further call to be told so.
    if (done < count && offset + done >= size_) break;
  }
  return done;
}

}  // namespace meta
