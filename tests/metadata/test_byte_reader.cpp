#include <gtest/gtest.h>

#include "metadata/byte_reader.hpp"
#include "metadata/faults.hpp"

namespace {

using meta::tEndInd;

tEndInd reader(std::string bytes, bool bigEndian) {
  tEndInd r;
  r.Buffer = std::move(bytes);
  r.BigEndian = bigEndian;
  return r;
}

TEST(ByteReader, ReadsAtTheLastValidPositionAndFaultsOnePast) {
  const std::string bytes("\x01\x02\x03\x04\x85", 5);
  struct Case {
    bool big;
    int64_t pos;
    int width;
    int64_t expected;  // -1: a fault
  } cases[] = {
      {false, 4, 16, 0x8504},
      {true, 4, 16, 0x0485},
      {false, 5, 16, -1},
      {true, 0, 16, -1},
      {false, 1, 16, 0x0201},
      {true, 2, 32, 0x02030485},
      {false, 2, 32, int32_t(0x85040302u)},
      {false, 3, 32, -1},
      {true, -3, 32, -1},
      {true, int64_t{1} << 40, 32, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "big=" << c.big << " pos=" << c.pos << " width=" << c.width);
    tEndInd r = reader(bytes, c.big);
    auto read = [&] { return c.width == 16 ? r.Read16(c.pos) : r.Read32(c.pos); };
    if (c.expected == -1)
      EXPECT_THROW(read(), meta::DecodeFault);
    else
      EXPECT_EQ(read(), c.expected);
  }
}

TEST(ByteReader, BytesToIntKeepsTheLowThirtyTwoBitsOfTheWholeString) {
  struct Case {
    std::string bytes;
    bool big;
    int32_t expected;
  } cases[] = {
      {"", true, 0},
      {"\xFF", false, 255},  // no sign extension
      {std::string("\x12\x34", 2), true, 0x1234},
      {std::string("\x12\x34", 2), false, 0x3412},
      {std::string("\x01\x02\x03\x04\x05", 5), true, 0x02030405},
      {std::string("\x01\x02\x03\x04\x05", 5), false, 0x04030201},
      {std::string("\xFF\xFF\xFF\xFF", 4), true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size=" << c.bytes.size() << " big=" << c.big);
    EXPECT_EQ(reader("", c.big).BytesToInt(c.bytes), c.expected);
  }
}

TEST(ByteReader, ClampedCopyNeverFaults) {
  const std::string buf = "abcdef";
  struct Case {
    int64_t pos, count;
    std::string expected;
  } cases[] = {
      {2, 3, "bcd"}, {5, 10, "ef"},   // partly outside: cut at the end
      {7, 2, ""},    {100, 1, ""},    // wholly outside: empty
      {0, 2, "ab"},  {-9, 3, "abc"},  // below 1: read from position 1
      {1, 0, ""},    {1, -4, ""},    {1, int64_t{1} << 40, "abcdef"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "pos=" << c.pos << " count=" << c.count);
    EXPECT_EQ(meta::copyClamped(buf, c.pos, c.count), c.expected);
  }
  EXPECT_TRUE(meta::rangeInside(buf, 3, 4));
  EXPECT_FALSE(meta::rangeInside(buf, 4, 4));
  EXPECT_FALSE(meta::rangeInside(buf, int64_t{1} << 62, int64_t{1} << 62));
}

}  // namespace
