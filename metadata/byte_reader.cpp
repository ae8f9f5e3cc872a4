#include "metadata/byte_reader.hpp"

#include "metadata/faults.hpp"

namespace meta {

namespace {
[[noreturn]] void outOfRange(int64_t position, int width, size_t size) {
  throw DecodeFault("Range check error: " + std::to_string(width) + " bytes at position " +
                    std::to_string(position) + " of a " + std::to_string(size) + "-byte buffer");
}
inline uint32_t byteAt(const ByteString& b, int64_t position) {
  return static_cast<unsigned char>(b[static_cast<size_t>(position - 1)]);
}
}  // namespace

int32_t tEndInd::Read16(int64_t position) const {
  if (!rangeInside(Buffer, position, 2)) outOfRange(position, 2, Buffer.size());
  uint32_t a = byteAt(Buffer, position), b = byteAt(Buffer, position + 1);
  return static_cast<int32_t>(BigEndian ? (a << 8 | b) : (b << 8 | a));
}

int32_t tEndInd::Read32(int64_t position) const {
  if (!rangeInside(Buffer, position, 4)) outOfRange(position, 4, Buffer.size());
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    uint32_t byte = byteAt(Buffer, BigEndian ? position + i : position + 3 - i);
    v = v << 8 | byte;
  }
  return static_cast<int32_t>(v);
}

int32_t tEndInd::BytesToInt(std::string_view bytes) const noexcept {
  uint64_t acc = 0;
  const size_t n = bytes.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(BigEndian ? bytes[i] : bytes[n - 1 - i]);
    acc = (acc << 8) | c;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(acc & 0xFFFFFFFFu));
}

ByteString copyClamped(const ByteString& buf, int64_t position, int64_t count) {
  if (count <= 0) return {};
  if (position < 1) position = 1;
  const int64_t size = static_cast<int64_t>(buf.size());
  if (position > size) return {};
  int64_t available = size - (position - 1);
  if (count > available) count = available;
  return buf.substr(static_cast<size_t>(position - 1), static_cast<size_t>(count));
}

}  // namespace meta
