#pragma once
// A small in-test builder for TIFF directory trees, EXIF segments and whole
// JPEG/TIFF files, so that edge cases need no binary fixtures.
//
//   qmtest::TiffBuilder b(qmtest::Order::Motorola);
//   int ifd0 = b.addIfd(), exif = b.addIfd(), ifd1 = b.addIfd();
//   b.ascii(ifd0, 0x010F, "Canon").pointer(ifd0, 0x8769, exif).next(ifd0, ifd1);
//   b.rational(exif, 0x920A, 58, 10);
//   std::string jpeg = qmtest::jpegFile({qmtest::exifSegment(b.build())});
//
// Layout of build(): the 8-byte header, the `leading` bytes (pixel data, for
// example), every directory in creation order (count, 12-byte entries, next
// pointer), then the value area (the values longer than 4 bytes, in entry
// order, then the blobs), then the `trailing` bytes. Everything is placed at
// even offsets. All offsets are TIFF offsets: 0 is the first header byte.
//
// Knobs to break things: a count that disagrees with the value (`add` writes
// the count it is given), any type code (13 ...), a verbatim 4-byte field
// (`rawEntry`: offsets that point anywhere), a directory entry count that
// differs from the entries written (`entryCountOverride`), the header's mark
// and first-directory offset (`headerMark`, `headerOffset`), and truncation of
// any produced string (`truncated`).
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qmtest {

enum class Order { Intel, Motorola };  // "II" little-endian, "MM" big-endian

// TIFF value type codes.
enum : uint16_t {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12
};

// Big-endian 16-bit value, as in JPEG length fields.
inline std::string be16(uint32_t v) {
  return std::string{static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}

// The text followed by a zero byte.
inline std::string asciiz(std::string_view text) {
  std::string s(text);
  s.push_back('\0');
  return s;
}

inline std::string truncated(std::string s, size_t length) {
  if (s.size() > length) s.resize(length);
  return s;
}

// Number encoders in one byte order.
class Encoder {
 public:
  explicit Encoder(Order order = Order::Intel) : big_(order == Order::Motorola) {}
  bool bigEndian() const { return big_; }

  std::string u16(uint32_t v) const {
    char a = static_cast<char>(v & 0xFF), b = static_cast<char>((v >> 8) & 0xFF);
    return big_ ? std::string{b, a} : std::string{a, b};
  }
  std::string u32(uint32_t v) const {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) {
      char byte = static_cast<char>((v >> (8 * i)) & 0xFF);
      s[static_cast<size_t>(big_ ? 3 - i : i)] = byte;
    }
    return s;
  }
  std::string shorts(std::initializer_list<uint16_t> values) const {
    std::string s;
    for (uint16_t v : values) s += u16(v);
    return s;
  }
  std::string longs(std::initializer_list<uint32_t> values) const {
    std::string s;
    for (uint32_t v : values) s += u32(v);
    return s;
  }
  std::string rationals(std::initializer_list<std::pair<uint32_t, uint32_t>> values) const {
    std::string s;
    for (auto [n, d] : values) s += u32(n) + u32(d);
    return s;
  }
  std::string srationals(std::initializer_list<std::pair<int32_t, int32_t>> values) const {
    std::string s;
    for (auto [n, d] : values) s += u32(static_cast<uint32_t>(n)) + u32(static_cast<uint32_t>(d));
    return s;
  }
  // IEEE doubles in the byte order.
  std::string doubles(std::initializer_list<double> values) const {
    std::string s;
    for (double v : values) {
      uint64_t bits = 0;
      std::memcpy(&bits, &v, sizeof bits);
      uint32_t hi = static_cast<uint32_t>(bits >> 32), lo = static_cast<uint32_t>(bits);
      s += big_ ? u32(hi) + u32(lo) : u32(lo) + u32(hi);
    }
    return s;
  }

 private:
  bool big_;
};

// One entry of a stand-alone directory (see serializeIfd).
struct SimpleEntry {
  uint16_t tag = 0;
  uint16_t type = kUndefined;
  uint32_t count = 0;
  std::string value;                   // encoded value bytes
  std::optional<uint32_t> rawField{};  // written verbatim instead of value/offset
};

// A directory followed by its own value area, as maker notes carry them.
// `dirOffset` is the offset of the directory's first byte in the coordinates
// that the stored offsets count from (the TIFF header, the start of the maker
// note, ...). The size of the result does not depend on `dirOffset`.
inline std::string serializeIfd(const Encoder& enc, const std::vector<SimpleEntry>& entries,
                                uint32_t dirOffset, uint32_t next = 0) {
  const size_t dirSize = 2 + 12 * entries.size() + 4;
  std::string dir = enc.u16(static_cast<uint32_t>(entries.size()));
  std::string values;
  for (const SimpleEntry& e : entries) {
    dir += enc.u16(e.tag) + enc.u16(e.type) + enc.u32(e.count);
    if (e.rawField) {
      dir += enc.u32(*e.rawField);
    } else if (e.value.size() <= 4) {
      dir += e.value + std::string(4 - e.value.size(), '\0');
    } else {
      if (values.size() % 2) values.push_back('\0');
      dir += enc.u32(static_cast<uint32_t>(dirOffset + dirSize + values.size()));
      values += e.value;
    }
  }
  dir += enc.u32(next);
  return dir + values;
}

class TiffBuilder : public Encoder {
 public:
  // Produces a value once the layout is known: `ownOffset` is the TIFF offset
  // at which the produced bytes will stand. The result must have the size
  // that was announced.
  using Deferred = std::function<std::string(const TiffBuilder& laidOut, uint32_t ownOffset)>;

  explicit TiffBuilder(Order order = Order::Intel)
      : Encoder(order), headerMark(order == Order::Motorola ? "MM" : "II") {}

  // Layout knobs (see the file comment).
  std::string headerMark;
  std::optional<uint32_t> headerOffset;  // default: offset of the first directory
  std::string leading;
  std::string trailing;

  // A new, empty directory; directories are laid out in creation order.
  int addIfd() {
    ifds_.emplace_back();
    return static_cast<int>(ifds_.size() - 1);
  }

  // An entry with the given value bytes; the count is written as given.
  TiffBuilder& add(int ifd, uint16_t tag, uint16_t type, uint32_t count, std::string value) {
    Entry e{tag, type, count, value.size(), {}, {}};
    e.value = std::move(value);
    dir(ifd).entries.push_back(std::move(e));
    return *this;
  }
  // An entry whose 4-byte field is written verbatim; no value is laid out.
  TiffBuilder& rawEntry(int ifd, uint16_t tag, uint16_t type, uint32_t count, uint32_t field) {
    Entry e{tag, type, count, 0, {}, {}};
    e.rawField = field;
    dir(ifd).entries.push_back(std::move(e));
    return *this;
  }
  // An entry whose `size` value bytes are produced after layout.
  TiffBuilder& deferred(int ifd, uint16_t tag, uint16_t type, uint32_t count, size_t size, Deferred make) {
    Entry e{tag, type, count, size, {}, {}};
    e.make = std::move(make);
    dir(ifd).entries.push_back(std::move(e));
    return *this;
  }

  // Conveniences: the count follows from the value.
  TiffBuilder& ascii(int ifd, uint16_t tag, std::string_view text) {
    std::string v = asciiz(text);
    uint32_t n = static_cast<uint32_t>(v.size());
    return add(ifd, tag, kAscii, n, std::move(v));
  }
  TiffBuilder& undefined(int ifd, uint16_t tag, std::string bytes) {
    uint32_t n = static_cast<uint32_t>(bytes.size());
    return add(ifd, tag, kUndefined, n, std::move(bytes));
  }
  TiffBuilder& byteValues(int ifd, uint16_t tag, std::string bytes) {
    uint32_t n = static_cast<uint32_t>(bytes.size());
    return add(ifd, tag, kByte, n, std::move(bytes));
  }
  TiffBuilder& shortValue(int ifd, uint16_t tag, uint16_t v) { return add(ifd, tag, kShort, 1, u16(v)); }
  TiffBuilder& shortValues(int ifd, uint16_t tag, std::initializer_list<uint16_t> v) {
    return add(ifd, tag, kShort, static_cast<uint32_t>(v.size()), shorts(v));
  }
  TiffBuilder& longValue(int ifd, uint16_t tag, uint32_t v) { return add(ifd, tag, kLong, 1, u32(v)); }
  TiffBuilder& rational(int ifd, uint16_t tag, uint32_t num, uint32_t den) {
    return add(ifd, tag, kRational, 1, rationals({{num, den}}));
  }
  TiffBuilder& srational(int ifd, uint16_t tag, int32_t num, int32_t den) {
    return add(ifd, tag, kSRational, 1, srationals({{num, den}}));
  }
  // A LONG holding the offset of another directory (Exif, GPS, SubIFDs ...).
  TiffBuilder& pointer(int ifd, uint16_t tag, int target) {
    return deferred(ifd, tag, kLong, 1, 4,
                    [target](const TiffBuilder& b, uint32_t) { return b.u32(b.ifdOffset(target)); });
  }
  // A LONG holding the offset of a blob (a preview's JPEGInterchangeFormat).
  TiffBuilder& blobPointer(int ifd, uint16_t tag, int blobId) {
    return deferred(ifd, tag, kLong, 1, 4,
                    [blobId](const TiffBuilder& b, uint32_t) { return b.u32(b.blobOffset(blobId)); });
  }

  TiffBuilder& next(int ifd, int target) {
    dir(ifd).nextIfd = target;
    return *this;
  }
  TiffBuilder& nextRaw(int ifd, uint32_t value) {
    dir(ifd).nextRaw = value;
    return *this;
  }
  // Writes `n` as the directory's entry count whatever the entries written.
  TiffBuilder& entryCountOverride(int ifd, uint32_t n) {
    dir(ifd).countOverride = n;
    return *this;
  }

  // Bytes placed in the value area, after the entry values.
  int blob(std::string bytes) {
    Blob b{bytes.size(), std::move(bytes), {}};
    blobs_.push_back(std::move(b));
    return static_cast<int>(blobs_.size() - 1);
  }
  int blob(size_t size, Deferred make) {
    blobs_.push_back(Blob{size, {}, std::move(make)});
    return static_cast<int>(blobs_.size() - 1);
  }

  // Offsets, valid during and after build().
  uint32_t ifdOffset(int id) const { return ifds_.at(static_cast<size_t>(id)).offset; }
  uint32_t blobOffset(int id) const { return blobs_.at(static_cast<size_t>(id)).offset; }
  // TIFF offset of an entry's value: its value-area offset, or for a value of
  // 4 bytes or fewer the offset of the entry's 4-byte field.
  uint32_t valueOffset(int ifd, size_t entryIndex) const {
    return ifds_.at(static_cast<size_t>(ifd)).entries.at(entryIndex).offset;
  }
  // TIFF offset of the entry itself (its tag number).
  uint32_t entryOffset(int ifd, size_t entryIndex) const {
    return ifdOffset(ifd) + 2 + 12 * static_cast<uint32_t>(entryIndex);
  }

  // The TIFF block (a TIFF file, or what follows "Exif\0\0" in an APP1).
  std::string build() {
    layout();
    std::string out = headerMark + u16(42);
    uint32_t first = ifds_.empty() ? 8u : ifds_.front().offset;
    out += u32(headerOffset.value_or(first));
    out += leading;
    for (const Ifd& d : ifds_) {
      pad(out, d.offset);
      out += u16(d.countOverride.value_or(static_cast<uint32_t>(d.entries.size())));
      for (const Entry& e : d.entries) {
        out += u16(e.tag) + u16(e.type) + u32(e.count);
        if (e.rawField) {
          out += u32(*e.rawField);
        } else if (e.size <= 4) {
          std::string v = produce(e.value, e.make, e.size, e.offset);
          out += v + std::string(4 - v.size(), '\0');
        } else {
          out += u32(e.offset);
        }
      }
      uint32_t nextValue = d.nextRaw;
      if (d.nextIfd >= 0) nextValue = ifdOffset(d.nextIfd);
      out += u32(nextValue);
    }
    for (const Ifd& d : ifds_) {
      for (const Entry& e : d.entries) {
        if (e.rawField || e.size <= 4) continue;
        pad(out, e.offset);
        out += produce(e.value, e.make, e.size, e.offset);
      }
    }
    for (const Blob& b : blobs_) {
      pad(out, b.offset);
      out += produce(b.bytes, b.make, b.size, b.offset);
    }
    return out + trailing;
  }

 private:
  struct Entry {
    uint16_t tag, type;
    uint32_t count;
    size_t size;
    std::string value;
    Deferred make;
    std::optional<uint32_t> rawField{};
    uint32_t offset = 0;
  };
  struct Ifd {
    std::vector<Entry> entries;
    int nextIfd = -1;
    uint32_t nextRaw = 0;
    std::optional<uint32_t> countOverride;
    uint32_t offset = 0;
  };
  struct Blob {
    size_t size;
    std::string bytes;
    Deferred make;
    uint32_t offset = 0;
  };

  Ifd& dir(int id) { return ifds_.at(static_cast<size_t>(id)); }

  static uint32_t even(uint64_t pos) { return static_cast<uint32_t>(pos + (pos & 1)); }

  void layout() {
    uint64_t pos = 8 + leading.size();
    for (Ifd& d : ifds_) {
      d.offset = even(pos);
      pos = d.offset + 2 + 12 * d.entries.size() + 4;
      for (size_t i = 0; i < d.entries.size(); ++i) d.entries[i].offset = d.offset + 2 + 12 * i + 8;
    }
    for (Ifd& d : ifds_) {
      for (Entry& e : d.entries) {
        if (e.rawField || e.size <= 4) continue;
        e.offset = even(pos);
        pos = e.offset + e.size;
      }
    }
    for (Blob& b : blobs_) {
      b.offset = even(pos);
      pos = b.offset + b.size;
    }
  }

  std::string produce(const std::string& fixed, const Deferred& make, size_t size, uint32_t offset) const {
    if (!make) return fixed;
    std::string v = make(*this, offset);
    if (v.size() != size) throw std::logic_error("deferred value of the wrong size");
    return v;
  }

  static void pad(std::string& out, uint32_t offset) {
    if (out.size() > offset) throw std::logic_error("layout overlap");
    out.resize(offset, '\0');
  }

  std::vector<Ifd> ifds_;
  std::vector<Blob> blobs_;
};

// ---- JPEG pieces -----------------------------------------------------------

// 0xFF, the marker code, the big-endian length (payload + 2), the payload.
inline std::string segment(uint8_t marker, std::string_view payload) {
  if (payload.size() + 2 > 0xFFFF) throw std::logic_error("segment payload too long");
  std::string s{'\xFF', static_cast<char>(marker)};
  s += be16(static_cast<uint32_t>(payload.size() + 2));
  s += payload;
  return s;
}

// APP1 "Exif\0\0" + TIFF block.
inline std::string exifSegment(std::string_view tiffBlock) {
  return segment(0xE1, std::string("Exif\0\0", 6) + std::string(tiffBlock));
}
// An APP1 that is not EXIF (an XMP packet).
inline std::string xmpSegment() {
  return segment(0xE1, std::string("http://ns.example.org/xmp/\0<x:xmpmeta/>", 39));
}
inline std::string jfifSegment() {
  return segment(0xE0, std::string("JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00", 14));
}
inline std::string photoshopSegment(std::string_view resources = {}) {
  return segment(0xED, std::string("Photoshop 3.0\0", 14) + std::string(resources));
}
inline std::string commentSegment(std::string_view text) { return segment(0xFE, text); }
// Stand-ins for the image-structure segments: the reader only stores them.
inline std::string dqtSegment() { return segment(0xDB, std::string(65, '\x01')); }
inline std::string dhtSegment() { return segment(0xC4, std::string(29, '\x02')); }
inline std::string sof0Segment() {
  return segment(0xC0, std::string("\x08\x00\x10\x00\x10\x01\x01\x11\x00", 9));
}
inline std::string sosSegment() { return segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)); }

// SOI, the segments, SOS, a few bytes of scan data, EOI.
inline std::string jpegFile(const std::vector<std::string>& segments,
                            std::string_view scanData = std::string_view("\x12\x34\x56", 3)) {
  std::string s("\xFF\xD8", 2);
  for (const std::string& seg : segments) s += seg;
  s += sosSegment();
  s += scanData;
  s += std::string("\xFF\xD9", 2);
  return s;
}

}  // namespace qmtest
