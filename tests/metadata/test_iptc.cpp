// The IPTC listing of a "Photoshop 3.0" APP13 segment.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "metadata/iptc_reader.hpp"
#include "testkit/exif_builder.hpp"

namespace {

using qmtest::be16;

// One dataset: marker, record, dataset number, big-endian length, value.
std::string dataSet(int record, int number, const std::string& value) {
  return std::string{'\x1C', static_cast<char>(record), static_cast<char>(number)} +
         be16(static_cast<uint32_t>(value.size())) + value;
}

// A dataset header announcing `length` bytes, whatever follows.
std::string dataSetHeader(int record, int number, uint32_t length) {
  return std::string{'\x1C', static_cast<char>(record), static_cast<char>(number)} + be16(length);
}

// The IPTC resource of a Photoshop segment holding `datasets`.
std::string photoshopPayload(const std::string& datasets) {
  std::string resource = std::string("8BIM\x04\x04\0\0", 8);
  const uint32_t n = static_cast<uint32_t>(datasets.size());
  resource += be16(n >> 16) + be16(n & 0xFFFF) + datasets;
  if (resource.size() % 2) resource.push_back('\0');
  return std::string("Photoshop 3.0\0", 14) + resource;
}

// The slot bytes handed to the reader: the two length bytes, then the payload.
std::string segmentBytes(const std::string& payload) {
  return be16(static_cast<uint32_t>(payload.size() + 2)) + payload;
}

std::vector<std::string> listing(const std::string& payload) {
  meta::TIPTCdata reader;
  return reader.ListRecords(segmentBytes(payload));
}

struct ListingCase {
  const char* what;
  std::string payload;
  std::vector<std::string> lines;
};

TEST(IptcListing, ListsDatasetsAsDescriptionAndValue) {
  const ListingCase cases[] = {
      {"record version skipped, repeats kept in order",
       photoshopPayload(dataSet(2, 0, std::string("\0\x02", 2)) + dataSet(2, 25, "alpha") +
                        dataSet(2, 25, "beta") + dataSet(2, 120, "A caption")),
       {"Keywords = alpha", "Keywords = beta", "Image caption = A caption"}},
      {"dataset outside the table", photoshopPayload(dataSet(2, 200, "odd")), {"Custom_200 = odd"}},
      {"record 8 and record 2 share dataset numbers",
       photoshopPayload(dataSet(8, 10, "sub") + dataSet(2, 10, "5")),
       {"Subfile = sub", "Urgency = 5"}},
      {"other records give nothing",
       photoshopPayload(dataSet(2, 25, "a") + dataSet(1, 90, "envelope") + dataSet(3, 25, "x") +
                        dataSet(2, 25, "b")),
       {"Keywords = a", "Keywords = b"}},
      {"values are not converted or trimmed",
       photoshopPayload(dataSet(2, 5, std::string(" x\0y\r\n", 6))),
       {std::string("Object name =  x\0y\r\n", 20)}},
      {"search starts after the signature",
       dataSet(2, 25, "before") + std::string("Photoshop 3.0\0", 14) + dataSet(2, 25, "after"),
       {"Keywords = after"}},
      {"without the signature the search starts at position 13",
       // positions 3..14 hold a dataset that the search passes over
       dataSet(2, 25, "skipped") + std::string(7, '\0') + dataSet(2, 120, "found"),
       {"Image caption = found"}},
      {"a marker at position 13 is found",
       std::string(10, '\0') + dataSet(2, 120, "at13"),
       {"Image caption = at13"}},
      {"a marker at position 12 is not", std::string(9, '\0') + dataSet(2, 25, "x"), {}},
      {"the first marker must be followed by record 2 or 8",
       photoshopPayload(std::string("\x1C\x01", 2) + dataSet(2, 90, "Paris")),
       {"City = Paris"}},
      {"no dataset marker at all", photoshopPayload("no datasets here"), {}},
      {"a marker in the very last byte starts nothing", std::string("Photoshop 3.0\0\0\0\x1C", 17), {}},
      {"a value running past the end is cut there and ends the listing",
       photoshopPayload(dataSet(2, 25, "k") + dataSetHeader(2, 120, 100) + "truncated"),
       {"Keywords = k", "Image caption = truncated"}},
      {"no extended lengths: a top-bit length is taken as it stands",
       std::string("Photoshop 3.0\0", 14) + dataSetHeader(2, 25, 0x8004) + std::string("\0\0\0\x09", 4) +
           dataSet(2, 120, "c"),
       {std::string("Keywords = \0\0\0\x09", 15) + dataSet(2, 120, "c")}},
      {"empty payload", "", {}},
  };
  for (const ListingCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(listing(c.payload), c.lines);
  }
}

TEST(IptcListing, ByteAfterEachValueIsTakenAsTheNextMarker) {
  // Whatever stands where the next marker belongs, the next header is read
  // right after it.
  std::string datasets = dataSet(2, 25, "one") + dataSet(2, 25, "two");
  datasets[8] = '?';  // the second dataset's marker
  EXPECT_EQ(listing(photoshopPayload(datasets)),
            (std::vector<std::string>{"Keywords = one", "Keywords = two"}));
}

TEST(IptcListing, SegmentBytesAreReadAsTheyStand) {
  // A listing of one segment leaves nothing behind for the next one.
  meta::TIPTCdata reader;
  EXPECT_EQ(reader.ListRecords(segmentBytes(photoshopPayload(dataSet(2, 25, "x")))),
            std::vector<std::string>{"Keywords = x"});
  EXPECT_TRUE(reader.ListRecords(segmentBytes("")).empty());
  EXPECT_TRUE(reader.ListRecords("").empty());
  EXPECT_TRUE(reader.ListRecords("\x1C").empty());
}

TEST(IptcReadDataSet, AdvancesPastValueAndNextMarker) {
  meta::TIPTCdata reader;
  // ListRecords binds the working buffer; its own result is not needed here.
  const std::string bytes = segmentBytes(photoshopPayload(dataSet(2, 25, "kw") + dataSet(2, 0, "v")));
  reader.ListRecords(bytes);
  const int32_t first = static_cast<int32_t>(bytes.find('\x1C')) + 2;  // its record byte

  int32_t position = first;
  meta::TTagEntry entry = reader.ReadDataSet(position);
  EXPECT_EQ(entry.Name, "Keywords");
  EXPECT_EQ(entry.IptcRecord, 2);
  EXPECT_EQ(entry.Tag, 25);
  EXPECT_EQ(entry.Data, "kw");
  EXPECT_EQ(position, first + 4 + 2 + 1);

  entry = reader.ReadDataSet(position);  // 2:0 is in the table but not listed
  EXPECT_TRUE(entry.Name.empty());
  EXPECT_EQ(position, first + 7 + 4 + 1 + 1);
}

TEST(IptcReadDataSet, CustomEntryCarriesRecordAndNumber) {
  meta::TIPTCdata reader;
  const std::string bytes = segmentBytes(photoshopPayload(dataSet(8, 99, "val")));
  reader.ListRecords(bytes);
  int32_t position = static_cast<int32_t>(bytes.find('\x1C')) + 2;
  const meta::TTagEntry entry = reader.ReadDataSet(position);
  EXPECT_EQ(entry.Name, "Custom_99");
  EXPECT_EQ(entry.Desc, "Custom_99");
  EXPECT_EQ(entry.IptcRecord, 8);
  EXPECT_EQ(entry.Tag, 99);
  EXPECT_EQ(entry.Size, 64);
  EXPECT_EQ(entry.Data, "val");
}

TEST(IptcReadDataSet, PositionsOutsideTheBufferGiveAnEmptyEntry) {
  meta::TIPTCdata reader;
  const std::string bytes = segmentBytes(photoshopPayload(dataSet(2, 25, "kw")));
  reader.ListRecords(bytes);
  const int32_t size = static_cast<int32_t>(bytes.size());
  for (int32_t start : {-5, 0, size - 2, size, size + 100}) {
    SCOPED_TRACE(start);
    int32_t position = start;
    EXPECT_TRUE(reader.ReadDataSet(position).Name.empty());
    EXPECT_GT(position, size);
  }
}

}  // namespace
