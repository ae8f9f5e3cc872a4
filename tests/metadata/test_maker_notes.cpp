// Maker notes: the walk of a maker's private directory, each maker's block
// layout as it reaches the decoder inside a real EXIF block, and the Canon
// sub-value decoders.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "metadata/exif_parser.hpp"
#include "metadata/image_reader.hpp"
#include "metadata/locale.hpp"
#include "metadata/maker_notes.hpp"
#include "testkit/exif_builder.hpp"
#include "testkit/temp_dir.hpp"

namespace {

using qmtest::Encoder;
using qmtest::Order;
using qmtest::SimpleEntry;
using Rows = std::vector<std::pair<std::string, std::string>>;  // Desc, Data

Rows makerRows(meta::TImageInfo& info) {
  Rows rows;
  meta::TTagEntry row;
  info.ResetTagCursor();
  while (info.NextTag(1, row)) rows.emplace_back(row.Desc, row.Data);
  return rows;
}

Rows makerRows(const std::vector<meta::TTagEntry>& decoded) {
  Rows rows;
  for (const meta::TTagEntry& row : decoded) rows.emplace_back(row.Desc, row.Data);
  return rows;
}

class MakerNoteTest : public ::testing::Test {
 protected:
  void SetUp() override { meta::setCurrentLocale(meta::Locale{}); }
};

// ---- The directory walk ---------------------------------------------------

meta::TTagEntry tableRow(uint16_t tag, const char* desc, const char* codes = "",
                         meta::TagRenderer callback = nullptr) {
  meta::TTagEntry row;
  row.Tag = tag;
  row.Name = desc;
  row.Desc = desc;
  row.Codes = codes;
  row.Callback = callback;
  return row;
}

const std::vector<meta::TTagEntry>& walkTable() {
  static const std::vector<meta::TTagEntry> table{
      tableRow(0x0001, "One"),
      tableRow(0x0002, "SKIP"),
      tableRow(0x0003, "skip"),
      tableRow(0x0004, "Four", "1:first"),
      tableRow(0x0004, "Four again", "1:last"),
      tableRow(0x0005, "Five"),
      tableRow(0x0006, "Skip"),
  };
  return table;
}

// A walk for EXIF data whose container holds `ownerBytes`, as after a read.
struct WalkSetup {
  explicit WalkSetup(const std::string& ownerBytes, Order order = Order::Intel)
      : owner(ownerBytes), bigEndian(order == Order::Motorola) {}
  void walk(const std::string& note, const std::vector<meta::TTagEntry>& table, int32_t p4, int32_t p5,
            int32_t p6) {
    meta::tMakerNoteContext context{
        .BigEndian = bigEndian, .Note = note, .OwnerBytes = &owner, .Rows = rows, .StatusText = &status};
    meta::ParseMakerNoteDirectory(context, bigEndian, table, p4, p5, p6);
  }
  meta::tByteStore owner;
  bool bigEndian;
  std::vector<meta::TTagEntry> rows;
  std::string status;
};

TEST_F(MakerNoteTest, WalkKeepsTableRowsOnly) {
  const Encoder le(Order::Intel);
  const std::string note = qmtest::serializeIfd(le,
                                                {
                                                    {0x0001, qmtest::kShort, 1, le.u16(7)},
                                                    {0x0002, qmtest::kShort, 1, le.u16(8)},
                                                    {0x0003, qmtest::kShort, 1, le.u16(9)},
                                                    {0x0006, qmtest::kShort, 1, le.u16(9)},
                                                    {0x0004, qmtest::kShort, 1, le.u16(1)},
                                                    {0x0099, qmtest::kShort, 1, le.u16(1)},
                                                    {0x0005, qmtest::kShort, 0, ""},
                                                },
                                                0);
  WalkSetup s("owner");
  s.walk(note, walkTable(), 0, 1, 0);
  // "Skip" in any letter case and unknown tags vanish; an empty value has no
  // row; a tag's first row names it and its last row gives the codes.
  EXPECT_EQ(makerRows(s.rows), (Rows{{"One", "7"}, {"Four", "last"}}));
  for (const meta::TTagEntry& row : s.rows) {
    EXPECT_EQ(row.Group, 1);
    EXPECT_EQ(row.ValueType, qmtest::kShort);
    EXPECT_EQ(row.Raw.size(), 2u);
  }
  EXPECT_EQ(s.status, "");
}

struct ValueCase {
  const char* what;
  SimpleEntry entry;
  std::string data;
};

// Values of the entry of tag 0x0001. With p6 = 9 an offset X that does not
// lie in the block is read at owner position X + 9.
TEST_F(MakerNoteTest, WalkRendersValuesAsText) {
  const Encoder le(Order::Intel);
  std::string ownerBytes(9 + 150 - 1 + 3, '\0');
  ownerBytes.replace(9 + 40 - 1, 6, std::string("Far\0xx", 6));
  ownerBytes.replace(9 + 150 - 1, 3, "end");  // the owner's last bytes
  const ValueCase cases[] = {
      {"ASCII cut at its first zero and quoted",
       {0x0001, qmtest::kAscii, 6, std::string("Ab\0cd\0", 6)},
       "\"Ab\""},
      {"control characters shown as dots",
       {0x0001, qmtest::kAscii, 8, std::string("a\x01\x1F\tb\xC3\xA9\0", 8)},
       "\"a...b\xC3\xA9\""},
      {"UNDEFINED kept whole, zero bytes as dots",
       {0x0001, qmtest::kUndefined, 4, std::string("\0Z\0\n", 4)},
       "\".Z..\""},
      {"numbers rendered by type",
       {0x0001, qmtest::kRational, 2, le.rationals({{18, 10}, {55, 10}})},
       "18/10, 55/10"},
      {"value beyond the block read from the owner at p6 + offset",
       {0x0001, qmtest::kAscii, 6, "", 40u},
       "\"Far\""},
      {"offset past every buffer gives an empty value",
       {0x0001, qmtest::kUndefined, 8, "", 0x7FFFFFF0u},
       "\"\""},
      {"owner value cut at the owner's end", {0x0001, qmtest::kUndefined, 50, "", 150u}, "\"end\""},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.what);
    // Directory at block byte 0, which stored offsets call 90: X lies at block
    // position X + p4 - p5 + 2 = X - 89.
    WalkSetup s(ownerBytes);
    const std::string block = qmtest::serializeIfd(le, {c.entry}, 90);
    s.walk(block, walkTable(), 0, 91, 9);
    EXPECT_EQ(makerRows(s.rows), (Rows{{"One", c.data}}));
    EXPECT_EQ(s.status, "");
  }
}

TEST_F(MakerNoteTest, WalkReadsInBlockValuesAtTheirOffset) {
  // Directory at block byte 6, offsets counted from block byte 2 (p5 = 6 + 1 - 2).
  const Encoder be(Order::Motorola);
  const std::string block =
      "head" + std::string(2, '\0') +
      qmtest::serializeIfd(be, {{0x0005, qmtest::kAscii, 9, std::string("In block\0", 9)}}, 4);
  WalkSetup s("owner", Order::Motorola);
  s.walk(block, walkTable(), 6, 5, 0);
  EXPECT_EQ(makerRows(s.rows), (Rows{{"Five", "\"In block\""}}));
}

struct FaultCase {
  const char* what;
  std::string block;
  Rows rows;
};

TEST_F(MakerNoteTest, WalkFaultKeepsEarlierRowsAndReportsTheFault) {
  const Encoder le(Order::Intel);
  const std::string good = qmtest::serializeIfd(
      le, {{0x0001, qmtest::kShort, 1, le.u16(1)}, {0x0004, qmtest::kShort, 1, le.u16(1)}}, 0);
  auto withThird = [&](uint16_t type, uint32_t count, uint32_t field) {
    std::string b = qmtest::serializeIfd(le,
                                         {{0x0001, qmtest::kShort, 1, le.u16(1)},
                                          {0x0004, qmtest::kShort, 1, le.u16(1)},
                                          {0x0005, type, count, "", field}},
                                         0);
    return b;
  };
  std::string overCount = good;
  overCount[0] = 5;  // five entries announced, two written
  const FaultCase cases[] = {
      {"note cut inside the third entry",
       qmtest::truncated(withThird(qmtest::kShort, 1, 0), 2 + 12 * 2 + 6),
       {{"One", "1"}, {"Four", "last"}}},
      {"entry count past the end", overCount, {{"One", "1"}, {"Four", "last"}}},
      {"type code 13", withThird(13, 1, 0), {{"One", "1"}, {"Four", "last"}}},
      {"negative count", withThird(qmtest::kShort, 0x80000000u, 0), {{"One", "1"}, {"Four", "last"}}},
      {"negative offset", withThird(qmtest::kAscii, 8, 0xFFFFFFF0u), {{"One", "1"}, {"Four", "last"}}},
      {"no directory at all", "", {}},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    WalkSetup s("owner bytes");
    s.walk(c.block, walkTable(), 0, 1, 0);
    EXPECT_EQ(makerRows(s.rows), c.rows);
    EXPECT_EQ(s.status.rfind("Error Detected = ", 0), 0u) << s.status;
    EXPECT_GT(s.status.size(), std::string("Error Detected = ").size());
  }
}

TEST_F(MakerNoteTest, WalkWithoutOwnerReadsNothingBeyondTheBlock) {
  const Encoder le(Order::Intel);
  std::vector<meta::TTagEntry> rows;
  const std::string note = qmtest::serializeIfd(le, {{0x0001, qmtest::kAscii, 6, "", 40u}}, 0);
  meta::tMakerNoteContext context{.Note = note, .Rows = rows};
  meta::ParseMakerNoteDirectory(context, false, walkTable(), 0, 1, 0);
  EXPECT_EQ(makerRows(rows), (Rows{{"One", "\"\""}}));
  const std::string cut = "x";
  meta::tMakerNoteContext faulty{.Note = cut, .Rows = rows};
  meta::ParseMakerNoteDirectory(faulty, false, walkTable(), 0, 1, 0);  // a fault with nobody to tell
  EXPECT_EQ(rows.size(), 1u);
}

std::string seenByRenderer;
std::string recordingRenderer(const std::string& text, std::vector<meta::TTagEntry>& rows) {
  seenByRenderer = text;
  rows.push_back(meta::ComputedRow("Sub", "value", 2));
  return "ignored";
}

TEST_F(MakerNoteTest, RendererRowsComeBeforeTheirEntry) {
  const Encoder le(Order::Intel);
  const std::vector<meta::TTagEntry> table{tableRow(0x0001, "Array", "", recordingRenderer)};
  WalkSetup s("owner");
  s.walk(qmtest::serializeIfd(le, {{0x0001, qmtest::kShort, 2, le.shorts({3, 4})}}, 0), table, 0, 1, 0);
  EXPECT_EQ(seenByRenderer, "3, 4");
  EXPECT_EQ(makerRows(s.rows), (Rows{{"Sub", "value"}, {"Array", "3, 4"}}));
  EXPECT_EQ(s.rows.front().Tag, 0);  // a computed row
}

// ---- Canon sub-value decoders ---------------------------------------------

struct DecoderCase {
  meta::TagRenderer decoder;
  const char* text;
  Rows rows;
};

TEST_F(MakerNoteTest, CanonDecodersAddNamedSubValues) {
  const DecoderCase cases[] = {
      {meta::CanonCameraSettings,
       "16, 1, 0, 3, 2, 0, 0, 1",
       {{"Macro mode", "Macro"},
        {"Self Timer", " 0"},
        {"Compression Rate", "Basic"},
        {"Flash Mode", "On"},
        {"Drive Mode", "Single"},
        {"Focus Mode", "AI Servo"}}},
      // Codes outside a list and fields past the text give nothing.
      {meta::CanonCameraSettings, "0, 9, 0", {{"Self Timer", " 0"}}},
      {meta::CanonCameraSettings, "", {}},
      {meta::CanonShotInfo, "0, 0, 0, 0, 0, 0, 0, 4", {{"White balance", "Flourescent"}}},
      {meta::CanonShotInfo, "1, 2, 3, 4, 5, 6, 7", {}},
      {meta::CanonCustomFunctions, "257", {{"Noise Reduction", " On"}}},
      {meta::CanonCustomFunctions, "0", {}},
      {meta::CanonCustomFunctions, "4097", {}},
      {meta::CanonCustomFunctions, "-257, 65535", {}},
      {meta::CanonCustomFunctions,
       "6, 513, x, 1792, 1793, 3841",
       {{"Shutter AE Lock Button", "AE lock/AF"},
        {"AEB Sequence", "0"},
        {"Shutter Release w/o CF Card", "Disable"}}},
  };
  for (const DecoderCase& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<meta::TTagEntry> rows;
    EXPECT_EQ(c.decoder(c.text, rows), c.text);
    EXPECT_EQ(makerRows(rows), c.rows);
    for (const meta::TTagEntry& row : rows) {
      EXPECT_EQ(row.Name, row.Desc);
      EXPECT_EQ(row.ValueType, 2);
    }
  }
}

// ---- Maker layouts inside whole files -------------------------------------

// Builds the note once its TIFF offset is known.
using NoteMaker = std::function<std::string(uint32_t noteOffset)>;

// A note whose directory follows `header` and whose offsets are TIFF offsets.
NoteMaker tiffOffsets(std::string header, Order order, std::vector<SimpleEntry> entries) {
  return [=](uint32_t noteOffset) {
    const uint32_t dir = noteOffset + static_cast<uint32_t>(header.size());
    return header + qmtest::serializeIfd(Encoder(order), entries, dir);
  };
}

// A note whose offsets count from its own byte `origin`.
NoteMaker noteOffsets(std::string header, uint32_t origin, Order order, std::vector<SimpleEntry> entries) {
  return [=](uint32_t) {
    return header +
           qmtest::serializeIfd(Encoder(order), entries, static_cast<uint32_t>(header.size()) - origin);
  };
}

// "Nikon", version bytes, then a TIFF header of its own at byte 10.
std::string nikonTiffHeader(Order order) {
  const Encoder enc(order);
  return std::string("Nikon\0\x02\x10\0\0", 10) + (order == Order::Motorola ? "MM" : "II") + enc.u16(42) +
         enc.u32(8);
}

struct Photo {
  Order order = Order::Intel;
  bool tiff = false;
  std::string make;
  std::string model;
  std::string exifVersion;  // empty: no ExifVersion tag
  NoteMaker note;
};

std::string photoBytes(const Photo& p) {
  qmtest::TiffBuilder b(p.order);
  const int ifd0 = b.addIfd();
  const int exif = b.addIfd();
  if (!p.make.empty()) b.ascii(ifd0, 0x010F, p.make);
  b.ascii(ifd0, 0x0110, p.model).pointer(ifd0, 0x8769, exif);
  if (!p.exifVersion.empty()) b.undefined(exif, 0x9000, p.exifVersion);
  const size_t size = p.note(0).size();
  b.deferred(exif, 0x927C, qmtest::kUndefined, static_cast<uint32_t>(size), size,
             [note = p.note](const qmtest::TiffBuilder&, uint32_t own) { return note(own); });
  // Read after the note: shows that the walk left the byte order as recorded.
  b.longValue(exif, 0xA002, 640);
  const std::string tiff = b.build();
  return p.tiff ? tiff : qmtest::jpegFile({qmtest::exifSegment(tiff)});
}

struct LayoutCase {
  const char* what;
  Photo photo;
  bool decoded;
  Rows rows;
};

class MakerLayoutTest : public MakerNoteTest {
 protected:
  // Reads the photo as a file and checks the maker rows and the facts that
  // the walk must leave as they were.
  void check(const LayoutCase& c) {
    const std::string path = dir_.writeFile(c.photo.tiff ? "photo.tif" : "photo.jpg", photoBytes(c.photo));
    meta::TimgData img;
    ASSERT_TRUE(img.ReadFile(path)) << img.StatusText;
    ASSERT_TRUE(img.ExifInfo);
    meta::TImageInfo& info = *img.ExifInfo;
    EXPECT_EQ(info.MakerNoteDecoded, c.decoded);
    EXPECT_EQ(makerRows(info), c.rows);
    EXPECT_EQ(info.BigEndian, c.photo.order == Order::Motorola);
    EXPECT_EQ(info.TagValue("ExifImageWidth"), "640");
    EXPECT_EQ(img.StatusText, "<none>");
  }
  qmtest::TempDir dir_;
};

TEST_F(MakerLayoutTest, NikonLayouts) {
  const Encoder le(Order::Intel), be(Order::Motorola);
  auto newNikon = [](Order order) {
    const Encoder enc(order);
    return std::vector<SimpleEntry>{
        {0x0002, qmtest::kShort, 2, enc.shorts({0, 200})},
        {0x0004, qmtest::kAscii, 8, std::string("FINE   \0", 8)},
        {0x000A, qmtest::kRational, 1, enc.rationals({{1, 1}})},
        {0x0084, qmtest::kRational, 4, enc.rationals({{180, 10}, {700, 10}, {35, 10}, {45, 10}})},
        {0x1234, qmtest::kShort, 1, enc.u16(1)},
    };
  };
  const Rows newRows{{"ISO Speed", "0, 200"},
                     {"Quality", "\"FINE   \""},
                     {"Lens information", "180/10, 700/10, 35/10, 45/10"}};
  const LayoutCase cases[] = {
      {"own TIFF header, offsets from note byte 10",
       {Order::Intel, false, "NIKON CORPORATION", "NIKON D70", "0221",
        noteOffsets(nikonTiffHeader(Order::Intel), 10, Order::Intel, newNikon(Order::Intel))},
       true,
       newRows},
      {"big-endian note in a little-endian block keeps its own order",
       {Order::Intel, false, "NIKON CORPORATION", "NIKON D70", "0221",
        noteOffsets(nikonTiffHeader(Order::Motorola), 10, Order::Motorola, newNikon(Order::Motorola))},
       true,
       newRows},
      {"little-endian note in a big-endian block",
       {Order::Motorola, false, "NIKON", "COOLPIX P1", "0220",
        noteOffsets(nikonTiffHeader(Order::Intel), 10, Order::Intel, newNikon(Order::Intel))},
       true,
       newRows},
      {"TIFF file without ExifVersion, a D model",
       {Order::Intel, true, "NIKON CORPORATION", "NIKON D1X", "",
        noteOffsets(nikonTiffHeader(Order::Intel), 10, Order::Intel, newNikon(Order::Intel))},
       true,
       newRows},
      {"old note with a Nikon header",
       {Order::Intel, false, "NIKON", "E950", "0210",
        tiffOffsets(std::string("Nikon\0\x01\0", 8), Order::Intel,
                    {{0x0003, qmtest::kShort, 1, le.u16(5)},
                     {0x0004, qmtest::kShort, 1, le.u16(2)},
                     {0x0006, qmtest::kShort, 1, le.u16(0)},
                     {0x0009, qmtest::kShort, 1, le.u16(0)},
                     {0x000A, qmtest::kRational, 1, le.rationals({{0, 100}})},
                     {0x000B, qmtest::kShort, 1, le.u16(1)}})},
       true,
       {{"Quality", "SXGA Normal"},
        {"ColorMode", "Monochrome"},
        {"ISOSpeed", "ISO80"},
        {"DigitalZoom", "0/100"},
        {"Converter", "Used"}}},
      {"old note in a TIFF file: a model that is not a D",
       {Order::Motorola, true, "NIKON", "COOLPIX 5000", "",
        tiffOffsets(std::string("Nikon\0\x01\0", 8), Order::Motorola,
                    {{0x0003, qmtest::kShort, 1, be.u16(6)},
                     {0x0003, qmtest::kShort, 1, be.u16(10)},
                     {0x000A, qmtest::kRational, 1, be.rationals({{3, 2}})}})},
       true,
       // The quality list lacks a comma: 6 takes the rest, 10 matches nothing.
       {{"Quality", "SXGA Fine10:2 Mpixel Basic"}, {"Quality", ""}, {"DigitalZoom", "3/2"}}},
      {"note without a header, directory at byte 0",
       {Order::Intel, false, "NIKON", "E775", "0210",
        tiffOffsets("", Order::Intel,
                    {{0x0004, qmtest::kAscii, 8, std::string("NORMAL \0", 8)},
                     {0x0085, qmtest::kRational, 1, le.rationals({{100, 100}})}})},
       true,
       {{"Quality", "\"NORMAL \""}, {"Manual Focus Distance", "100/100"}}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.what);
    check(c);
  }
}

TEST_F(MakerLayoutTest, OtherMakersLayouts) {
  const Encoder le(Order::Intel), be(Order::Motorola);
  const LayoutCase cases[] = {
      {"Olympus: directory at byte 8, TIFF offsets",
       {Order::Intel, false, "OLYMPUS OPTICAL CO.,LTD", "C2000Z", "0210",
        tiffOffsets(std::string("OLYMP\0\x01\0", 8), Order::Intel,
                    {{0x0201, qmtest::kShort, 1, le.u16(2)},
                     {0x0202, qmtest::kShort, 1, le.u16(0)},
                     {0x0202, qmtest::kShort, 1, le.u16(1)},
                     {0x0204, qmtest::kRational, 1, le.rationals({{100, 100}})},
                     {0x0207, qmtest::kAscii, 6, std::string("SX756\0", 6)}})},
       true,
       // "0=Normal" never matches; "1:Macro;" keeps its semicolon.
       {{"JpegQual", "HQ"},
        {"Macro", ""},
        {"Macro", "Macro;"},
        {"Digital Zoom Ratio", "100/100"},
        {"Firmware", "\"SX756\""}}},
      {"Casio: directory at byte 0, big-endian",
       {Order::Motorola, false, "CASIO", "QV-3000EX", "0210",
        tiffOffsets("", Order::Motorola,
                    {{0x0001, qmtest::kShort, 1, be.u16(1)},
                     {0x0008, qmtest::kShort, 1, be.u16(1)},
                     {0x000A, qmtest::kLong, 1, be.u32(65537)},
                     {0x0014, qmtest::kShort, 1, be.u16(80)}})},
       true,
       {{"RecordingMode", "Single Shutter"},
        {"DigitalZoom", "2X Digital Zoom"},
        {"CCDSensitivity", "Normal"}}},
      {"Fuji in a big-endian file: little-endian directory, offsets from the note",
       {Order::Motorola, false, "FUJIFILM", "FinePix E500", "0220",
        noteOffsets(std::string("FUJIFILM\x0C\0\0\0", 12), 0, Order::Intel,
                    {{0x0000, qmtest::kUndefined, 4, "0130"},
                     {0x1000, qmtest::kAscii, 8, std::string("NORMAL \0", 8)},
                     {0x1001, qmtest::kShort, 1, le.u16(3)},
                     {0x1031, qmtest::kShort, 1, le.u16(256)},
                     {0x1032, qmtest::kShort, 1, le.u16(1)}})},
       true,
       {{"Quality", "\"NORMAL \""}, {"Sharpness", "Normal"}, {"PictureMode", "Aperture prior AE"}}},
      {"Canon: sub-values before their entry",
       {Order::Intel, false, "Canon", "Canon EOS DIGITAL REBEL", "0220",
        tiffOffsets("", Order::Intel,
                    {{0x0001, qmtest::kShort, 8, le.shorts({16, 1, 0, 3, 2, 0, 0, 1})},
                     {0x0004, qmtest::kShort, 8, le.shorts({0, 0, 0, 0, 0, 0, 0, 2})},
                     {0x0006, qmtest::kAscii, 13, std::string("IMG:EOS JPEG\0", 13)},
                     {0x000F, qmtest::kShort, 3, le.shorts({6, 0x0101, 0x1001})},
                     {0x0010, qmtest::kLong, 1, le.u32(1)}})},
       true,
       {{"Macro mode", "Macro"},
        {"Self Timer", " 0"},
        {"Compression Rate", "Basic"},
        {"Flash Mode", "On"},
        {"Drive Mode", "Single"},
        {"Focus Mode", "AI Servo"},
        {"ExposureInfo1", "16, 1, 0, 3, 2, 0, 0, 1"},
        {"White balance", "Cloudy"},
        {"ExposureInfo2", "0, 0, 0, 0, 0, 0, 0, 2"},
        {"ImageType", "\"IMG:EOS JPEG\""},
        {"Noise Reduction", " On"},
        {"CustomFunctions", "6, 257, 4097"}}},
      {"Seiko: lower-case skip",
       {Order::Intel, false, "SEIKO EPSON CORP.", "PhotoPC", "0210",
        tiffOffsets(std::string("SEIKO\0\x01\0", 8), Order::Intel,
                    {{0x0201, qmtest::kShort, 1, le.u16(3)},
                     {0x0300, qmtest::kShort, 1, le.u16(7)},
                     {0x0F00, qmtest::kShort, 1, le.u16(7)}})},
       true,
       {{"JpegQuality", "3"}, {"??", "7"}}},
      {"Sanyo: directory at byte 8",
       {Order::Intel, false, "SANYO Electric Co.,Ltd.", "VPC-MZ3", "0210",
        tiffOffsets(std::string("SANYO\0\x01\0", 8), Order::Intel,
                    {{0x0200, qmtest::kLong, 3, le.longs({0, 1, 0})},
                     {0x0F00, qmtest::kUndefined, 6,
                      std::string("ab\0\x01"
                                  "cd",
                                  6)}})},
       true,
       {{"Special Mode", "0, 1, 0"}, {"DataDump", "\"ab..cd\""}}},
      {"Minolta: a row of tag 0 is not kept",
       {Order::Motorola, false, "Minolta Co., Ltd.", "DiMAGE 7i", "0220",
        tiffOffsets("", Order::Motorola,
                    {{0x0000, qmtest::kUndefined, 4, "MLT0"},
                     {0x0E00, qmtest::kUndefined, 6, std::string("PIM\0\0\0", 6)}})},
       true,
       {{"PIMdata", "\"PIM...\""}}},
      {"a make outside the list",
       {Order::Motorola, false, "PENTAX Corporation", "PENTAX Optio", "0220",
        tiffOffsets(std::string("AOC\0MM", 6), Order::Motorola, {{0x0001, qmtest::kShort, 1, be.u16(1)}})},
       false,
       {}},
      {"no make",
       {Order::Intel, false, "", "", "0220",
        tiffOffsets("", Order::Intel, {{0x0001, qmtest::kShort, 1, le.u16(1)}})},
       false,
       {}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.what);
    check(c);
  }
}

TEST_F(MakerLayoutTest, TruncatedNoteKeepsEarlierRowsAndTheRestOfTheFile) {
  const Encoder le(Order::Intel);
  LayoutCase c{"Canon note cut in its second entry",
               {Order::Intel, false, "Canon", "Canon PowerShot S40", "0220",
                [le](uint32_t own) {
                  const std::string full = qmtest::serializeIfd(
                      le, {{0x0006, qmtest::kAscii, 4, "JPG"}, {0x0008, qmtest::kLong, 1, le.u32(1234567)}},
                      own);
                  return qmtest::truncated(full, 2 + 12 + 6);
                }},
               true,
               {{"ImageType", "\"JPG\""}}};
  check(c);
}

}  // namespace
