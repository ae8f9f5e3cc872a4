#include <gtest/gtest.h>

#include <functional>

#include "metadata/exif_parser.hpp"
#include "metadata/locale.hpp"
#include "testkit/exif_builder.hpp"
#include "testkit/exif_decode.hpp"

namespace {

using namespace qmtest;
using meta::TTagEntry;

constexpr Order kOrders[] = {Order::Intel, Order::Motorola};
const char* orderName(Order o) { return o == Order::Intel ? "II" : "MM"; }

class ExifWalk : public testing::Test {
 protected:
  void SetUp() override { meta::setCurrentLocale(meta::Locale{'.', "%d/%m/%Y"}); }
};

// IFD0 with one value, decoded as an EXIF segment.
DecodedExif decodeOne(Order order, const std::function<void(TiffBuilder&, int)>& fill) {
  TiffBuilder b(order);
  int ifd0 = b.addIfd();
  fill(b, ifd0);
  return decodeExif(b.build());
}

TEST_F(ExifWalk, ValueTextsByTypeAndPlacement) {
  const std::string eighty(80, 'x');
  const std::string prefix("ASCII\0\0\0", 8);
  struct Case {
    const char* what;
    std::function<void(TiffBuilder&, int)> fill;
    const char* name;
    std::string expected;
  } cases[] = {
      {"4-byte ASCII in place", [](TiffBuilder& b, int i) { b.ascii(i, 0x010F, "Abc"); }, "Make", "Abc"},
      {"6-byte ASCII at offset", [](TiffBuilder& b, int i) { b.ascii(i, 0x010F, "Canon"); }, "Make", "Canon"},
      {"ASCII without terminator keeps its last character",
       [](TiffBuilder& b, int i) { b.add(i, 0x0132, kAscii, 19, "2005:08:13 09:47:25"); }, "DateTime",
       "2005:08:13 09:47:25"},
      {"zero padding is not shown",
       [](TiffBuilder& b, int i) { b.add(i, 0x010F, kAscii, 8, std::string("NIKON\0\0\0", 8)); }, "Make",
       "NIKON"},
      {"control characters shown as dots", [](TiffBuilder& b, int i) { b.ascii(i, 0x0131, "a\tb"); },
       "Software", "a.b"},
      {"long text cut to 50", [&](TiffBuilder& b, int i) { b.ascii(i, 0x010E, eighty); }, "ImageDescription",
       std::string(50, 'x')},
      {"two SHORTs in place",
       [](TiffBuilder& b, int i) {
         b.shortValues(i, 0x0102, {8, 16});
       },
       "BitsPerSample", "8, 16"},
      {"three SHORTs at offset",
       [](TiffBuilder& b, int i) {
         b.shortValues(i, 0x0102, {8, 8, 8});
       },
       "BitsPerSample", "8, 8, 8"},
      {"RATIONAL at offset", [](TiffBuilder& b, int i) { b.rational(i, 0x011A, 72, 1); }, "XResolution",
       "72.00"},
      {"UNDEFINED quoted and cut at zero",
       [](TiffBuilder& b, int i) { b.undefined(i, 0xA000, std::string("0100\0x", 6)); }, "FlashPixVersion",
       "\"0100\""},
      {"renderer on an in-place UNDEFINED",
       [](TiffBuilder& b, int i) { b.undefined(i, 0x9101, std::string("\1\2\3\0", 4)); },
       "ComponentsConfiguration", "YCbCr"},
      {"UserComment keeps all its characters",
       [&](TiffBuilder& b, int i) { b.undefined(i, 0x9286, prefix + eighty + '\0'); }, "UserComment", eighty},
      {"UserComment trimmed",
       [&](TiffBuilder& b, int i) { b.undefined(i, 0x9286, prefix + "  hi \x01" + '\0'); }, "UserComment",
       "hi"},
      {"UserComment of 8 bytes", [&](TiffBuilder& b, int i) { b.undefined(i, 0x9286, prefix); },
       "UserComment", ""},
  };
  for (Order order : kOrders) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << orderName(order) << ": " << c.what);
      DecodedExif d = decodeOne(order, c.fill);
      ASSERT_EQ(d.fault, "");
      ASSERT_NE(d.info().TagIndex(c.name), -1);
      EXPECT_EQ(d.info().TagValue(c.name), c.expected);
    }
  }
}

TEST_F(ExifWalk, RowsRecordTypeRawBytesAndBufferPosition) {
  TiffBuilder b(Order::Motorola);
  int ifd0 = b.addIfd();
  b.ascii(ifd0, 0x010F, "Abc").ascii(ifd0, 0x0110, "Camera");
  DecodedExif d = decodeExif(b.build());
  const TTagEntry inPlace = d.info().FindTag("Make"), atOffset = d.info().FindTag("Model");
  EXPECT_EQ(inPlace.RawPos, int32_t(b.valueOffset(ifd0, 0)) + meta::kJpegExifBase);
  EXPECT_EQ(atOffset.RawPos, int32_t(b.valueOffset(ifd0, 1)) + meta::kJpegExifBase);
  EXPECT_EQ(atOffset.Raw, std::string("Camera\0", 7));
  EXPECT_EQ(atOffset.Size, 7);
  EXPECT_EQ(atOffset.ValueType, kAscii);
  EXPECT_EQ(atOffset.Group, 0);
}

TEST_F(ExifWalk, EntriesWithoutBytesAndUnknownTagsLeaveNoRow) {
  TiffBuilder b;
  int ifd0 = b.addIfd();
  b.rawEntry(ifd0, 0x010F, kAscii, 0, 0)         // count 0
      .rawEntry(ifd0, 0x0110, 0, 4, 0x41424300)  // type 0
      .shortValue(ifd0, 0xC0DE, 7)               // unknown tag
      .shortValue(ifd0, 0x0112, 1);
  DecodedExif d = decodeExif(b.build());
  ASSERT_EQ(d.fault, "");
  ASSERT_EQ(d.info().TagCount(), 1);
  EXPECT_EQ(d.info().Tags[0].Name, "Orientation");
  EXPECT_EQ(d.info().CameraMake, "");
}

// A read fault ends the directory it occurs in. In IFD0 it leaves the walk
// (the file read fails); in a sub-directory only that walk ends and the
// parent goes on after the pointer.
TEST_F(ExifWalk, ReadFaultsEndTheirDirectory) {
  struct Case {
    const char* what;
    std::function<void(TiffBuilder&, int)> breakIt;
  } cases[] = {
      {"type 13", [](TiffBuilder& b, int i) { b.rawEntry(i, 0x829A, 13, 1, 0); }},
      {"negative count", [](TiffBuilder& b, int i) { b.rawEntry(i, 0x829A, kShort, 0xFFFFFFFF, 0); }},
      {"negative offset", [](TiffBuilder& b, int i) { b.rawEntry(i, 0x829A, kRational, 1, 0x80000000); }},
      {"width outside 32 bits",
       [](TiffBuilder& b, int i) { b.add(i, 0xA002, kDouble, 1, b.doubles({1e12})); }},
  };
  for (Order order : kOrders) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << orderName(order) << ": " << c.what);
      {
        TiffBuilder b(order);
        int ifd0 = b.addIfd();
        b.ascii(ifd0, 0x010F, "Before");
        c.breakIt(b, ifd0);
        b.ascii(ifd0, 0x0110, "After");
        DecodedExif d = decodeExif(b.build());
        EXPECT_NE(d.fault, "");
        EXPECT_EQ(d.info().TagValue("Make"), "Before");
        EXPECT_EQ(d.info().TagIndex("Model"), -1);
      }
      {
        TiffBuilder b(order);
        int ifd0 = b.addIfd(), exif = b.addIfd();
        b.pointer(ifd0, 0x8769, exif).ascii(ifd0, 0x0110, "After");
        b.shortValue(exif, 0x8822, 2);
        c.breakIt(b, exif);
        b.shortValue(exif, 0x9207, 5);
        DecodedExif d = decodeExif(b.build());
        EXPECT_EQ(d.fault, "");
        EXPECT_EQ(d.info().TagValue("ExposureProgram"), "Normal");
        EXPECT_EQ(d.info().TagIndex("MeteringMode"), -1);
        EXPECT_NE(d.info().TagIndex("ExifOffset"), -1);
        EXPECT_EQ(d.info().TagValue("Model"), "After");
      }
    }
  }
}

TEST_F(ExifWalk, OversizedDirectoryIsRefusedWithAStatus) {
  TiffBuilder b;
  int ifd0 = b.addIfd(), exif = b.addIfd();
  b.pointer(ifd0, 0x8769, exif).ascii(ifd0, 0x010F, "Kept");
  b.shortValue(exif, 0x8822, 2).entryCountOverride(exif, 400);
  DecodedExif d = decodeExif(b.build());
  EXPECT_EQ(d.fault, "");
  EXPECT_EQ(d.img->StatusText, "Illegally sized directory");
  EXPECT_EQ(d.info().TagIndex("ExposureProgram"), -1);
  EXPECT_EQ(d.info().TagValue("Make"), "Kept");

  // The limit is the extent of the segment: 2 + 12 * N against base + bound.
  TiffBuilder fits;
  fits.addIfd();
  std::string block = fits.build();
  const uint32_t most = uint32_t(block.size() + 11 - 2) / 12;
  for (uint32_t n : {most, most + 1}) {
    TiffBuilder t;
    t.entryCountOverride(t.addIfd(), n);
    DecodedExif r = decodeExif(t.build());
    EXPECT_EQ(r.img->StatusText == "Illegally sized directory", n == most + 1) << n;
  }
}

TEST_F(ExifWalk, PointersBackIntoTheWalkAreNotFollowed) {
  TiffBuilder b(Order::Motorola);
  int ifd0 = b.addIfd(), exif = b.addIfd(), interop = b.addIfd();
  b.ascii(ifd0, 0x010F, "Once").pointer(ifd0, 0x8769, exif);
  b.pointer(exif, 0x8769, exif).pointer(exif, 0xA005, interop).pointer(exif, 0x8825, ifd0);
  b.pointer(interop, 0x8769, ifd0).shortValue(interop, 0x0001, 1).ascii(ifd0, 0x0110, "Last");
  DecodedExif d = decodeExif(b.build());
  ASSERT_EQ(d.fault, "");
  int makes = 0;
  for (const TTagEntry& row : d.info().Tags) makes += row.Name == "Make";
  EXPECT_EQ(makes, 1);
  EXPECT_EQ(d.info().TagValue("Model"), "Last");
  EXPECT_NE(d.info().TagIndex("InteroperabilityIndex"), -1);

  // A directory reached twice from one parent is not a cycle: it is listed twice.
  TiffBuilder s;
  int top = s.addIfd(), shared = s.addIfd();
  s.pointer(top, 0x8769, shared).pointer(top, 0xA005, shared).shortValue(shared, 0x9207, 2);
  DecodedExif twice = decodeExif(s.build());
  int rows = 0;
  for (const TTagEntry& row : twice.info().Tags) rows += row.Name == "MeteringMode";
  EXPECT_EQ(rows, 2);
}

TEST_F(ExifWalk, FactsTakeTheLastDirectoryWalked) {
  for (Order order : kOrders) {
    SCOPED_TRACE(orderName(order));
    TiffBuilder b(order);
    int ifd0 = b.addIfd(), exif = b.addIfd();
    b.ascii(ifd0, 0x010F, std::string(40, 'M')).ascii(ifd0, 0x0110, std::string(45, 'm'));
    b.ascii(ifd0, 0x0132, "2003:01:02 03:04:05").shortValue(ifd0, 0x0100, 640).longValue(ifd0, 0x0101, 480);
    b.pointer(ifd0, 0x8769, exif);
    b.ascii(exif, 0x9003, "2003:01:01 10:00:00").longValue(exif, 0xA002, 2048).shortValue(exif, 0xA003, 1536);
    b.shortValue(exif, 0x9209, 25).undefined(exif, 0x9000, "0220");
    DecodedExif d = decodeExif(b.build());
    const meta::TImageInfo& e = d.info();
    EXPECT_EQ(e.DateTimeText, "2003:01:01 10:00:00");
    EXPECT_EQ(e.Width, 2048);
    EXPECT_EQ(e.Height, 1536);
    EXPECT_EQ(e.FlashValue, 25);
    EXPECT_EQ(e.TagValue("Flash"), "On, auto mode");
    EXPECT_EQ(e.CameraMake, std::string(32, 'M'));
    EXPECT_EQ(e.TagValue("Make"), std::string(40, 'M'));
    EXPECT_EQ(e.CameraModel, std::string(40, 'm'));
    EXPECT_EQ(e.ExifVersion, "0220");
  }
}

// One value that a renderer cannot convert keeps its plain text; its facts
// and the following entries are still decoded.
TEST_F(ExifWalk, RendererFaultKeepsThePlainTextAndTheWalkGoesOn) {
  for (Order order : kOrders) {
    SCOPED_TRACE(orderName(order));
    TiffBuilder b(order);
    int ifd0 = b.addIfd();
    b.shortValues(ifd0, 0x9209, {1, 0})
        .srational(ifd0, 0x9201, INT32_MIN, 1)
        .undefined(ifd0, 0x9101, std::string("\1\2", 2))
        .rational(ifd0, 0x829A, 1, 60);
    DecodedExif d = decodeExif(b.build());
    ASSERT_EQ(d.fault, "");
    EXPECT_EQ(d.info().TagValue("Flash"), "1, 0");
    EXPECT_EQ(d.info().FlashValue, order == Order::Intel ? 1 : 0x10000);  // both SHORTs as one number
    EXPECT_EQ(d.info().TagValue("ShutterSpeedValue"), "-2147483648/1");
    EXPECT_EQ(d.info().TagValue("ComponentsConfiguration"), "\"..\"");
    EXPECT_EQ(d.info().TagValue("ExposureTime"), "1/60 sec");
  }
}

TEST_F(ExifWalk, PreviewPositionComesFromTheFirstMainDirectoryWithANextOffset) {
  {
    TiffBuilder b;
    int ifd0 = b.addIfd(), ifd1 = b.addIfd();
    b.next(ifd0, ifd1).shortValue(ifd1, 0x0103, 6);  // IFD0 without entries still gives its next offset
    std::string block = b.build();
    DecodedExif d = decodeExif(block);
    EXPECT_EQ(d.info().PreviewStart, int32_t(b.ifdOffset(ifd1)));
    EXPECT_EQ(d.info().PreviewLength, int32_t(block.size()) + 11 - int32_t(b.ifdOffset(ifd1)));
    EXPECT_EQ(d.info().PreviewCompression, 0);  // known only after ProcessThumbnail
    EXPECT_TRUE(d.info().PreviewTags.empty());
  }
  {
    TiffBuilder b(Order::Motorola);
    int ifd0 = b.addIfd(), exif = b.addIfd();
    b.pointer(ifd0, 0x8769, exif).nextRaw(exif, 0x1234).shortValue(exif, 0x8822, 1);
    DecodedExif d = decodeExif(b.build());
    EXPECT_EQ(d.info().PreviewStart, 0x1234);
  }
}

// The preview directory lists its rows apart and gives the preview's
// compression, but it describes the thumbnail, not the photo.
TEST_F(ExifWalk, PreviewDirectoryDoesNotOverwriteThePhotoFacts) {
  TiffBuilder b;
  int ifd0 = b.addIfd(), ifd1 = b.addIfd();
  b.ascii(ifd0, 0x010F, "Camera").longValue(ifd0, 0x0100, 2048).ascii(ifd0, 0x0132, "2004:07:14 10:00:00");
  b.next(ifd0, ifd1);
  b.shortValue(ifd1, 0x0100, 160).shortValue(ifd1, 0x0101, 120).ascii(ifd1, 0x010F, "Thumb");
  b.ascii(ifd1, 0x0132, "1999:01:01 00:00:00").shortValue(ifd1, 0x0103, 6);
  DecodedExif d = decodeExif(b.build());
  meta::TImageInfo& e = d.info();
  const int32_t tags = e.TagCount();
  e.ProcessThumbnail();
  EXPECT_EQ(e.PreviewCompression, 6);
  EXPECT_EQ(e.Width, 2048);
  EXPECT_EQ(e.Height, 0);
  EXPECT_EQ(e.CameraMake, "Camera");
  EXPECT_EQ(e.DateTimeText, "2004:07:14 10:00:00");
  EXPECT_EQ(e.TagCount(), tags);
  ASSERT_EQ(e.PreviewTagCount(), 5);
  EXPECT_EQ(e.PreviewTags[0].Data, "160");
  EXPECT_EQ(e.PreviewTags[4].Data, "Jpeg");
  e.ProcessThumbnail();
  EXPECT_EQ(e.PreviewTagCount(), 10);
}

TEST_F(ExifWalk, HeaderOffsetZeroStartsAtPosition17) {
  TiffBuilder b;
  b.headerOffset = 0;
  b.ascii(b.addIfd(), 0x010F, "Zero");
  DecodedExif d = decodeExif(b.build());
  EXPECT_EQ(d.info().CameraMake, "Zero");
}

TEST_F(ExifWalk, GpsDirectoryUsesTheGpsTable) {
  TiffBuilder b(Order::Motorola);
  int ifd0 = b.addIfd(), gps = b.addIfd();
  b.pointer(ifd0, 0x8825, gps);
  b.add(gps, 0x0001, kAscii, 2, std::string("N\0", 2));
  b.add(gps, 0x0002, kRational, 3, b.rationals({{48, 1}, {5150, 100}, {0, 1}}));
  DecodedExif d = decodeExif(b.build());
  EXPECT_EQ(d.info().TagValue("GPSLatitudeRef"), "N");
  EXPECT_EQ(d.info().TagValue("GPSLatitude"), "48 Degrees 51 Minutes 30 Seconds");
  EXPECT_EQ(d.info().TagIndex("InteroperabilityVersion"), -1);  // tag 2 of the EXIF table
}

TEST_F(ExifWalk, SubIfdsFollowsOnlyTheFirstOffset) {
  TiffBuilder b;
  int ifd0 = b.addIfd(), sub1 = b.addIfd(), sub2 = b.addIfd();
  b.deferred(ifd0, 0x014A, kLong, 2, 8, [=](const TiffBuilder& t, uint32_t) {
    return t.u32(t.ifdOffset(sub1)) + t.u32(t.ifdOffset(sub2));
  });
  b.shortValue(sub1, 0x0112, 1).shortValue(sub2, 0x0128, 2);
  DecodedExif d = decodeExif(b.build());
  EXPECT_NE(d.info().TagIndex("Orientation"), -1);
  EXPECT_EQ(d.info().TagIndex("ResolutionUnit"), -1);
}

TEST_F(ExifWalk, MakerNoteBlockIsKeptWithItsPosition) {
  TiffBuilder b;
  int ifd0 = b.addIfd(), exif = b.addIfd();
  b.ascii(ifd0, 0x010F, "NoSuchMaker").pointer(ifd0, 0x8769, exif);
  b.undefined(exif, 0x927C, "MAKERNOTEBYTES");
  DecodedExif d = decodeExif(b.build());
  EXPECT_EQ(d.info().MakerNoteBytes, "MAKERNOTEBYTES");
  EXPECT_EQ(d.info().MakerNotePos, int32_t(b.valueOffset(exif, 0)) + meta::kJpegExifBase);
  EXPECT_FALSE(d.info().MakerNoteDecoded);
}

TEST(TagLists, StoreRulesAndGroupCursors) {
  meta::TImageInfo info(nullptr);
  TTagEntry unknown;  // tag 0
  EXPECT_EQ(info.AddTag(unknown), -1);
  const TTagEntry& known = meta::FindRowOf(0x010F, meta::kMainDirectory);
  EXPECT_EQ(info.AddTag(known), 0);
  EXPECT_EQ(info.AddTag(unknown), 0);
  EXPECT_EQ(info.AddComputedTag("Macro Mode", "On", 2), 1);
  EXPECT_EQ(info.AddTag(known), 2);
  const TTagEntry& computed = info.Tags[1];
  EXPECT_EQ(computed.Group, 1);
  EXPECT_EQ(computed.Tag, 0);
  EXPECT_EQ(computed.Desc, "Macro Mode");
  EXPECT_EQ(computed.Raw, "On");
  EXPECT_EQ(computed.Size, 2);

  TTagEntry row;
  std::vector<std::string> group0, group1;
  info.ResetTagCursor();
  while (info.NextTag(0, row)) group0.push_back(row.Name);
  EXPECT_EQ(row.Name, "");  // cleared when nothing is left
  info.ResetTagCursor();
  while (info.NextTag(1, row)) group1.push_back(row.Name);
  EXPECT_EQ(group0, (std::vector<std::string>{"Make", "Make"}));
  EXPECT_EQ(group1, (std::vector<std::string>{"Macro Mode"}));
  info.ResetThumbnailTagCursor();
  EXPECT_FALSE(info.NextThumbnailTag(0, row));
}

}  // namespace
