#pragma once
// tEndInd: a byte order plus the bytes that its reads address. Positions are
// 1-based and signed 32-bit, so the directory arithmetic (entry i at
// P + 2 + 12 * i, value at offset + base) reads as the file layout is written.
// This file (the reads and the byte store under them) is the only place that
// turns a 1-based position into an index.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "metadata/text.hpp"

namespace meta {

class tByteSource;

// A copy out of a byte store never holds more than this many bytes, whatever
// count a file states: as much as the fixed head read of a TIFF file, so that
// any value lying there comes out whole.
inline constexpr int64_t kMaxCopyBytes = 256000;

// tByteStore: the bytes a reader addresses, positions 1..size(). Either held
// whole (a JPEG segment, a maker-note block), or a region of a source that is
// read on demand: its head at once, then fixed windows around the places
// actually read, under a fixed cap on the bytes held. So no offset or length
// written in a file ever sizes a buffer. Copies of a store share its bytes.
class tByteStore {
 public:
  // The positions of a region before this are read when it is made.
  static constexpr int64_t kHeadBytes = 256000;
  static constexpr int64_t kWindowBytes = 64 * 1024;
  static constexpr int kMaxWindows = 64;

  tByteStore() = default;
  tByteStore(ByteString bytes);  // NOLINT(google-explicit-constructor): `Buffer = bytes` holds them

  // The bytes of `bytes`, left where they are: their owner keeps them
  // unchanged for as long as the store or a copy of it is read (the reader
  // so reads the segment it keeps in its slot).
  static tByteStore View(const ByteString& bytes);

  // `extent` positions, position 1 at source offset `origin`; positions past
  // the end of the source read as zero bytes.
  static tByteStore Region(std::shared_ptr<const tByteSource> source, int64_t origin, int64_t extent);

  int64_t size() const { return size_; }
  bool inside(int64_t position, int64_t count) const {
    return position >= 1 && count >= 0 && position - 1 <= size_ - count;
  }
  // The `count` bytes from `position` into `out`; false, and nothing copied,
  // unless they all lie inside.
  bool read(int64_t position, int64_t count, char* out) const {
    if (const char* at = heldAt(position, count)) {
      if (count > 0) std::memcpy(out, at, static_cast<size_t>(count));
      return true;
    }
    if (!inside(position, count)) return false;
    readWindows(position, count, out);
    return true;
  }
  // Where the `count` bytes from `position` lie in memory now, when they lie
  // inside and are held together (a whole store, a region's head); otherwise
  // none, and read() goes through the windows.
  const char* heldAt(int64_t position, int64_t count) const {
    return position >= 1 && count >= 0 && position - 1 <= heldSize_ - count ? held_ + (position - 1)
                                                                            : nullptr;
  }
  // See copyClamped; at most kMaxCopyBytes.
  ByteString copy(int64_t position, int64_t count) const;

  // Bytes in memory now (a region's head and loaded windows).
  int64_t heldBytes() const;
  // Ends the reads from a region's source: what was loaded stays readable,
  // any other position faults from now on. The reader calls it once a file
  // has been read, so that no file stays open behind a kept result.
  void release();

  // The whole content compared with `bytes` (tests).
  bool equals(std::string_view bytes) const;
  friend bool operator==(const tByteStore& store, std::string_view bytes) { return store.equals(bytes); }

 private:
  class Windows;
  void readWindows(int64_t position, int64_t count, char* out) const;

  std::shared_ptr<const ByteString> whole_;
  std::shared_ptr<Windows> region_;
  // The bytes held together, positions 1..heldSize_: all of a whole store,
  // a region's head. They never move while the store lives.
  const char* held_ = nullptr;
  int64_t heldSize_ = 0;
  int64_t size_ = 0;
};

class tEndInd {
 public:
  bool BigEndian = false;  // true: "MM" (Motorola order); false: "II" (Intel order)
  tByteStore Buffer;

  virtual ~tEndInd() = default;

  // 0..65535; both bytes must lie in Buffer, otherwise a DecodeFault.
  int32_t Read16(int64_t position) const {
    unsigned char b[2];
    fetch<2>(position, b);
    const uint32_t first = b[0], second = b[1];
    return static_cast<int32_t>(BigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  // Signed 32-bit; all four bytes must lie in Buffer, otherwise a DecodeFault.
  int32_t Read32(int64_t position) const {
    unsigned char b[4];
    fetch<4>(position, b);
    const uint32_t v = BigEndian ? uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3]
                                 : uint32_t{b[3]} << 24 | uint32_t{b[2]} << 16 | uint32_t{b[1]} << 8 | b[0];
    return static_cast<int32_t>(v);
  }
  // The whole string as one unsigned number in the byte order, low 32 bits
  // kept (64-bit accumulator); empty gives 0. Never faults.
  int32_t BytesToInt(std::string_view bytes) const noexcept;

 private:
  // The `N` bytes from `position`; a DecodeFault unless they all lie inside.
  template <int N>
  void fetch(int64_t position, unsigned char* out) const {
    if (!Buffer.read(position, N, reinterpret_cast<char*>(out))) outOfRange(position, N);
  }
  [[noreturn]] void outOfRange(int64_t position, int width) const;
};

// The `count` bytes of `buf` from 1-based `position`, never faulting: a value
// partly outside is cut at the end, one wholly outside is empty, and a
// position below 1 is read from position 1.
ByteString copyClamped(const ByteString& buf, int64_t position, int64_t count);
// The same from a store, cut at kMaxCopyBytes as well.
inline ByteString copyClamped(const tByteStore& buf, int64_t position, int64_t count) {
  return buf.copy(position, count);
}

// True when the `count` bytes from `position` lie inside `buf` (64-bit safe).
inline bool rangeInside(const ByteString& buf, int64_t position, int64_t count) {
  return position >= 1 && count >= 0 && position - 1 <= static_cast<int64_t>(buf.size()) - count;
}
inline bool rangeInside(const tByteStore& buf, int64_t position, int64_t count) {
  return buf.inside(position, count);
}

}  // namespace meta
