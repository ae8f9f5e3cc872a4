#include <gtest/gtest.h>
#include <sys/time.h>

#include <ctime>
#include <functional>

#include "metadata/faults.hpp"
#include "metadata/image_reader.hpp"
#include "metadata/locale.hpp"
#include "testkit/exif_builder.hpp"
#include "testkit/exif_decode.hpp"
#include "testkit/temp_dir.hpp"

namespace {

using namespace qmtest;

class PhotoFacts : public testing::Test {
 protected:
  void SetUp() override { meta::setCurrentLocale(meta::Locale{'.', "%d/%m/%Y"}); }
};

// IFD0 (with `ifd0Fill`) pointing to an Exif directory (with `exifFill`).
std::string twoDirectories(const std::function<void(TiffBuilder&, int)>& exifFill,
                           const std::function<void(TiffBuilder&, int)>& ifd0Fill = {}) {
  TiffBuilder b;
  int ifd0 = b.addIfd(), exif = b.addIfd();
  if (ifd0Fill) ifd0Fill(b, ifd0);
  b.pointer(ifd0, 0x8769, exif);
  exifFill(b, exif);
  return b.build();
}

// The worked example: 58/10 mm on a 2048 x 1536 picture.
void exampleCamera(TiffBuilder& b, int exif, uint16_t unit) {
  b.longValue(exif, 0xA002, 2048).longValue(exif, 0xA003, 1536).rational(exif, 0x920A, 58, 10);
  b.rational(exif, 0xA20E, 2048000, 225).rational(exif, 0xA20F, 1536000, 169);
  if (unit) b.shortValue(exif, 0xA210, unit);
}

TEST_F(PhotoFacts, DerivedFocalLengthIn35mmTerms) {
  struct Case {
    const char* what;
    std::function<void(TiffBuilder&, int)> exif, ifd0;
    std::string expected;  // empty: no row
  } cases[] = {
      {"inch", [](TiffBuilder& b, int e) { exampleCamera(b, e, 2); }, {}, "35.11"},
      {"centimetre", [](TiffBuilder& b, int e) { exampleCamera(b, e, 3); }, {}, "89.18"},
      {"unit 1", [](TiffBuilder& b, int e) { exampleCamera(b, e, 1); }, {}, ""},
      {"unit 4", [](TiffBuilder& b, int e) { exampleCamera(b, e, 4); }, {}, ""},
      {"resolution unit of the picture", [](TiffBuilder& b, int e) { exampleCamera(b, e, 0); },
       [](TiffBuilder& b, int i) { b.shortValue(i, 0x0128, 2); }, "35.11"},
      {"short focal length keeps the field width",
       [](TiffBuilder& b, int e) {
         b.longValue(e, 0xA002, 2048).longValue(e, 0xA003, 1536).rational(e, 0x920A, 8, 10);
         b.rational(e, 0xA20E, 2048000, 225).rational(e, 0xA20F, 1536000, 169).shortValue(e, 0xA210, 2);
       },
       {},
       " 4.84"},
      {"no focal length",
       [](TiffBuilder& b, int e) {
         b.longValue(e, 0xA002, 2048).longValue(e, 0xA003, 1536).shortValue(e, 0xA210, 2);
         b.rational(e, 0xA20E, 2048000, 225).rational(e, 0xA20F, 1536000, 169);
       },
       {},
       ""},
      {"no vertical resolution",
       [](TiffBuilder& b, int e) {
         b.longValue(e, 0xA002, 2048).longValue(e, 0xA003, 1536).rational(e, 0x920A, 58, 10);
         b.rational(e, 0xA20E, 2048000, 225).shortValue(e, 0xA210, 2);
       },
       {},
       ""},
      {"the file's own value",
       [](TiffBuilder& b, int e) {
         exampleCamera(b, e, 2);
         b.shortValue(e, 0xA405, 50);
       },
       {},
       "50.00 mm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DecodedExif d = decodeExif(twoDirectories(c.exif, c.ifd0));
    const meta::TImageInfo& e = d.info();
    int rows = 0;
    for (const meta::TTagEntry& row : e.Tags) rows += row.Name == "FocalLengthin35mmFilm";
    EXPECT_EQ(rows, c.expected.empty() ? 0 : 1);
    EXPECT_EQ(e.TagValue("FocalLengthIn35mmFilm"), c.expected);
  }

  DecodedExif d = decodeExif(twoDirectories([](TiffBuilder& b, int e) { exampleCamera(b, e, 2); }));
  const meta::TTagEntry row = d.info().FindTag("FocalLengthin35mmFilm");
  EXPECT_EQ(row.Desc, "Focal Length in 35mm Film");
  EXPECT_EQ(row.Template, "%s mm");
  EXPECT_EQ(row.ValueType, 10);
  EXPECT_EQ(row.Raw, "");

  meta::setCurrentLocale(meta::Locale{',', "%d/%m/%Y"});
  DecodedExif comma = decodeExif(twoDirectories([](TiffBuilder& b, int e) { exampleCamera(b, e, 2); }));
  EXPECT_EQ(comma.info().TagValue("FocalLengthin35mmFilm"), "35,11");
}

TEST_F(PhotoFacts, LookUpsByName) {
  DecodedExif d = decodeExif(twoDirectories([](TiffBuilder& b, int e) {
    b.rational(e, 0x011A, 5, 2).rational(e, 0x011B, 7, 2).add(e, 0xA215, kDouble, 1, b.doubles({1e12}));
  }));
  const meta::TImageInfo& e = d.info();
  EXPECT_EQ(e.TagIndex("xresolution"), e.TagIndex("XResolution"));
  EXPECT_DOUBLE_EQ(e.TagNumber("XRESOLUTION"), 2.5);
  EXPECT_EQ(e.TagInteger("XResolution"), 2);  // halves go to the even neighbour
  EXPECT_EQ(e.TagInteger("YResolution"), 4);
  EXPECT_THROW(e.TagInteger("ExposureIndex"), meta::DecodeFault);
  EXPECT_EQ(e.TagIndex("Artist"), -1);
  EXPECT_EQ(e.TagValue("Artist"), "");
  EXPECT_EQ(e.TagNumber("Artist"), 0);
  EXPECT_EQ(e.FindTag("Artist").Name, "");
}

class Summaries : public PhotoFacts {
 protected:
  // Writes the photo padded to `size` bytes, dated 14 July 2004 at noon local time.
  bool readPhoto(const std::string& tiffBlock, size_t size, const std::string& name = "IMG_0042.JPG") {
    std::string jpeg = jpegFile({exifSegment(tiffBlock)});
    jpeg.resize(size, '\0');
    const std::string path = dir.writeFile(name, jpeg);
    std::tm tm{};
    tm.tm_year = 104, tm.tm_mon = 6, tm.tm_mday = 14, tm.tm_hour = 12, tm.tm_isdst = -1;
    const time_t when = std::mktime(&tm);
    timeval times[2] = {{when, 0}, {when, 0}};
    ::utimes(path.c_str(), times);
    return img.ReadFile(path);
  }
  TempDir dir;
  meta::TimgData img;
};

TEST_F(Summaries, FullPhoto) {
  const std::string block = twoDirectories(
      [](TiffBuilder& b, int e) {
        exampleCamera(b, e, 2);
        b.ascii(e, 0x9003, "2004:07:14 09:15:00").rational(e, 0x829A, 1, 250).rational(e, 0x829D, 28, 10);
        b.shortValue(e, 0x8827, 100).shortValue(e, 0x9209, 25);
      },
      [](TiffBuilder& b, int i) { b.ascii(i, 0x010F, "Canon").ascii(i, 0x0110, "Canon PowerShot S40"); });
  ASSERT_TRUE(readPhoto(block, 1187 * 1024 + 1000));
  EXPECT_EQ(img.ExifInfo->LongSummary(),
            "File Name: IMG_0042.JPG\r\n"
            "File Size: 1187k\r\n"
            "File Date: 14/07/2004\r\n"
            "Photo Date: 2004:07:14 09:15:00\r\n"
            "Make (Model): Canon (Canon PowerShot S40)\r\n"
            "Dimensions: 2048 x 1536\r\n"
            "Exposure Time: 1/250 sec\r\n"
            "Focal Length:  5.80 mm\r\n"
            "Focal Length (35mm): 35.11\r\n"
            "FNumber: F2.8\r\n"
            "ISO: 100\r\n"
            "Flash: Yes");
  EXPECT_EQ(img.ExifInfo->ShortSummary(), "IMG_0042.JPG 1187k 2004:07:14 2048w 1536h  Flash");

  img.FileBytes = int64_t{5'000'000'000};
  EXPECT_EQ(img.ExifInfo->ShortSummary(), "IMG_0042.JPG 4882812k 2004:07:14 2048w 1536h  Flash");
}

TEST_F(Summaries, SparsePhotoInASmallFile) {
  const std::string block = twoDirectories(
      [](TiffBuilder& b, int e) { b.srational(e, 0x9201, 6906891, 1000000).shortValue(e, 0x9209, 16); });
  ASSERT_TRUE(readPhoto(block, 1023, "small.jpg"));
  EXPECT_EQ(img.ExifInfo->LongSummary(),
            "File Name: small.jpg\r\n"
            "File Size: 0k\r\n"
            "File Date: 14/07/2004\r\n"
            "Photo Date: \r\n"
            "Make (Model):  ()\r\n"
            "Dimensions: 0 x 0\r\n"
            "Exposure Time: 0.0083 sec (1/120)\r\n"
            "Flash: No");
  EXPECT_EQ(img.ExifInfo->ShortSummary(), "small.jpg 0k  0w 0h ");
}

TEST_F(Summaries, StatusOtherThanNoneReplacesEveryLine) {
  TiffBuilder bad;
  bad.headerMark = "I?";
  bad.addIfd();
  ASSERT_TRUE(readPhoto(bad.build(), 2000, "x.jpg"));
  EXPECT_EQ(img.ExifInfo->LongSummary(), "File Name: x.jpg\r\nExif Error: Invalid Exif alignment marker");
  EXPECT_EQ(img.ExifInfo->ShortSummary(), "x.jpg Exif Error: Invalid Exif alignment marker");

  meta::TImageInfo detached(nullptr);
  EXPECT_EQ(detached.LongSummary(), "");
  EXPECT_EQ(detached.ShortSummary(), "");
}

}  // namespace
