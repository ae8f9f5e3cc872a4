#pragma once
// Where the bytes of one image come from: a regular file opened for reading,
// or bytes already in memory. Reads are positional (0-based file offsets) and
// come back short at the end, so the readers above never need to seek.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace meta {

class tByteSource {
 public:
  virtual ~tByteSource() = default;
  virtual int64_t Size() const = 0;
  // Copies up to `count` bytes from `offset` into `out` and returns how many
  // were copied: fewer at the end, none past it or when the read fails.
  virtual int64_t ReadAt(int64_t offset, char* out, int64_t count) const = 0;
};

// Bytes held by the caller, who keeps them alive while the source is used.
class tMemorySource final : public tByteSource {
 public:
  explicit tMemorySource(std::string_view bytes) : bytes_(bytes) {}
  int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
  int64_t ReadAt(int64_t offset, char* out, int64_t count) const override;

 private:
  std::string_view bytes_;
};

// Who a file is, as the open file was examined: device, inode, size and
// last-write time in nanoseconds. Not known where the system gives no inode.
struct tFileStamp {
  bool known = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t mtimeNs = 0;
};

// A regular file, open for reading; closed with the object.
class tFileSource final : public tByteSource {
 public:
  ~tFileSource() override;
  tFileSource(const tFileSource&) = delete;
  tFileSource& operator=(const tFileSource&) = delete;

  // Opens `path` for reading, and only when it names a regular file. The
  // open never blocks (a FIFO, a device, a socket is refused, never waited
  // for), and what is read is the file that was examined, not one put in
  // its place meanwhile. On failure: none, and `error` says why ("not a
  // regular file", or the system's reason).
  static std::unique_ptr<tFileSource> Open(const std::string& path, std::string& error);

  int64_t Size() const override { return size_; }
  int64_t ReadAt(int64_t offset, char* out, int64_t count) const override;
  std::time_t ModifiedTime() const { return modified_; }
  const tFileStamp& Stamp() const { return stamp_; }

 private:
  tFileSource(int fd, int64_t size, std::time_t modified, const tFileStamp& stamp)
      : fd_(fd), size_(size), modified_(modified), stamp_(stamp) {}
  int fd_;
  int64_t size_;
  std::time_t modified_;
  tFileStamp stamp_;
};

}  // namespace meta
