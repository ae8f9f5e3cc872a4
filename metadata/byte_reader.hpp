#pragma once
// tEndInd: a byte order plus the bytes that its reads address. Positions are
// 1-based and signed 32-bit, so the directory arithmetic (entry i at
// P + 2 + 12 * i, value at offset + base) reads as the file layout is written.
// This is the only place that turns a 1-based position into an index.
#include <cstdint>

#include "metadata/text.hpp"

namespace meta {

class tEndInd {
 public:
  bool BigEndian = false;  // true: "MM" (Motorola order); false: "II" (Intel order)
  ByteString Buffer;

  virtual ~tEndInd() = default;

  // 0..65535; both bytes must lie in Buffer, otherwise a DecodeFault.
  int32_t Read16(int64_t position) const;
  // Signed 32-bit; all four bytes must lie in Buffer, otherwise a DecodeFault.
  int32_t Read32(int64_t position) const;
  // The whole string as one unsigned number in the byte order, low 32 bits
  // kept (64-bit accumulator); empty gives 0. Never faults.
  int32_t BytesToInt(std::string_view bytes) const noexcept;
};

// The `count` bytes of `buf` from 1-based `position`, never faulting: a value
// partly outside is cut at the end, one wholly outside is empty, and a
// position below 1 is read from position 1.
ByteString copyClamped(const ByteString& buf, int64_t position, int64_t count);

// True when the `count` bytes from `position` lie inside `buf` (64-bit safe).
inline bool rangeInside(const ByteString& buf, int64_t position, int64_t count) {
  return position >= 1 && count >= 0 && position - 1 <= static_cast<int64_t>(buf.size()) - count;
}

}  // namespace meta
