#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "metadata/image_reader.hpp"
#include "testkit/exif_builder.hpp"
#include "testkit/fifo_watchdog.hpp"
#include "testkit/jpeg_encode.hpp"
#include "testkit/temp_dir.hpp"

namespace {

using namespace qmtest;
using meta::TimgData;

std::string exifApp1(std::string_view make = "Quillcam", Order order = Order::Intel) {
  TiffBuilder b(order);
  b.ascii(b.addIfd(), 0x010F, make);
  return exifSegment(b.build());
}

class ImageReader : public testing::Test {
 protected:
  bool read(const std::string& bytes, const std::string& name = "photo.jpg") {
    return img.ReadFile(dir.writeFile(name, bytes));
  }
  TempDir dir;
  TimgData img;
};

TEST_F(ImageReader, SegmentScanKeepsTheMetadataSegments) {
  std::vector<std::string> twentyFive(25, dqtSegment());
  twentyFive.insert(twentyFive.begin(), commentSegment("c"));
  struct Case {
    const char* what;
    std::vector<std::string> segments;
    bool ok;
    int count;  // segments stored, start of scan included when it is reached
    bool exif, comment, iptc;
  } cases[] = {
      {"EXIF first", {exifApp1(), dqtSegment()}, true, 3, true, false, false},
      {"a second APP1 is dropped", {exifApp1(), xmpSegment(), dqtSegment()}, true, 3, true, false, false},
      {"XMP before EXIF", {jfifSegment(), xmpSegment(), exifApp1()}, true, 3, true, false, false},
      {"XMP alone",
       {jfifSegment(), xmpSegment(), dqtSegment(), dhtSegment(), sof0Segment()},
       false,
       5,
       false,
       false,
       false},
      {"EXIF as fifth segment",
       {jfifSegment(), dqtSegment(), dhtSegment(), sof0Segment(), exifApp1()},
       false,
       5,
       false,
       false,
       false},
      {"EXIF fifth after a comment",
       {commentSegment("c"), dqtSegment(), dhtSegment(), sof0Segment(), exifApp1()},
       true,
       6,
       true,
       true,
       false},
      {"EXIF as sixth segment",
       {commentSegment("c"), dqtSegment(), dqtSegment(), dhtSegment(), sof0Segment(), exifApp1()},
       true,
       6,
       false,
       true,
       false},
      {"comment only", {commentSegment("hello")}, true, 2, false, true, false},
      {"Photoshop segment", {photoshopSegment(), jfifSegment()}, true, 3, false, false, true},
      {"twenty segments at most", twentyFive, true, 20, false, true, false},
      {"fill bytes before a marker", {"\xFF\xFF" + commentSegment("c")}, true, 2, false, true, false},
      {"a segment without payload is not classified",
       {segment(0xE1, ""), exifApp1()},
       true,
       3,
       true,
       false,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(read(jpegFile(c.segments)), c.ok);
    EXPECT_EQ(img.StatusText, c.ok ? "<none>" : "Not an EXIF file");
    EXPECT_EQ(img.SegmentCount, c.count);
    EXPECT_EQ(img.HasExif(), c.exif);
    EXPECT_EQ(img.CommentSlot != nullptr, c.comment);
    EXPECT_EQ(img.IptcSlot != nullptr, c.iptc);
    EXPECT_EQ(img.IptcInfo != nullptr, c.iptc);
    if (c.exif) {
      EXPECT_EQ(img.ExifInfo->CameraMake, "Quillcam");
    }
  }
}

TEST_F(ImageReader, DroppedApp1GivesItsSlotToTheNextSegment) {
  ASSERT_TRUE(read(jpegFile({exifApp1(), xmpSegment(), dqtSegment()})));
  EXPECT_EQ(img.ExifSlot, &img.Slot(1));
  EXPECT_EQ(img.Slot(2).Marker, 0xDB);
  EXPECT_EQ(img.Slot(3).Marker, 0xDA);
  EXPECT_EQ(img.Slot(2).Length, 67);
  EXPECT_EQ(img.Slot(2).Bytes.size(), 67u);
}

TEST_F(ImageReader, LaterCommentWinsAndFirstPhotoshopSegmentIsKept) {
  ASSERT_TRUE(read(jpegFile({photoshopSegment("first"), commentSegment(std::string("one\0", 4)),
                             photoshopSegment("second"), commentSegment("two  ")})));
  EXPECT_EQ(img.CommentText(), "two  ");
  EXPECT_EQ(img.IptcSlot, &img.Slot(1));
}

TEST_F(ImageReader, FileEndingDuringTheScan) {
  const std::string whole = jpegFile({commentSegment("c"), exifApp1(), dqtSegment()});
  const size_t commentEnd = 2 + 4 + 1;
  struct Case {
    size_t length;
    bool ok;
  } cases[] = {{1, false},
               {2, false},
               {5, false},
               {commentEnd, true},
               {commentEnd + 3, true},
               {commentEnd + 30, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    EXPECT_EQ(read(truncated(whole, c.length)), c.ok);
    EXPECT_FALSE(img.HasExif());  // a segment cut by the end of the file is not decoded
  }
}

TEST_F(ImageReader, LengthFieldBelowTwoFailsTheReadButKeepsWhatWasStored) {
  EXPECT_FALSE(read("\xFF\xD8" + commentSegment("c") + std::string("\xFF\xE0\x00\x01", 4)));
  EXPECT_EQ(img.StatusText, "Not an EXIF file");
  EXPECT_NE(img.CommentSlot, nullptr);
}

TEST_F(ImageReader, ExtensionChoosesTheReader) {
  TiffBuilder t;
  t.ascii(t.addIfd(), 0x010F, "Quillcam");
  const std::string jpeg = jpegFile({exifApp1()}), tiff = t.build();
  struct Case {
    const char* name;
    const std::string& bytes;
    bool ok;
  } cases[] = {
      {"a.JPG", jpeg, true},  {"a.jpe", jpeg, true},  {"a.Jpeg", jpeg, true},
      {"a.nef", tiff, true},  {"a.TIF", tiff, true},  {"a.tiff", tiff, true},
      {"a.png", jpeg, false}, {"a.jpg", tiff, false}, {"a.jpg.txt", jpeg, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(read(c.bytes, c.name), c.ok);
    EXPECT_EQ(img.StatusText, c.ok ? "<none>" : "Not an EXIF file");
    EXPECT_EQ(img.FileBytes, int64_t(c.bytes.size()));
    EXPECT_EQ(img.SourcePath, dir.pathOf(c.name));
    EXPECT_FALSE(img.ReadingTiff);
  }
}

// A bound socket exists but cannot be opened, even by the superuser.
int bindSocket(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (fd < 0 || path.size() >= sizeof addr.sun_path) return -1;
  std::strcpy(addr.sun_path, path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
  return fd;
}

TEST_F(ImageReader, FilesThatCannotBeOpenedAreNoDecodeFaultAndNeverWaitedFor) {
  ASSERT_EQ(::mkfifo(dir.pathOf("fifo.jpg").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(dir.pathOf("fifo.tif").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(dir.pathOf("folder.jpg").c_str(), 0700), 0);
  const int socket = bindSocket(dir.pathOf("socket.jpg"));
  ASSERT_GE(socket, 0);
  struct Case {
    const char* name;
    const char* reason;
  } cases[] = {
      {"missing.jpg", "No such file or directory"}, {"folder.jpg", "not a regular file"},
      {"fifo.jpg", "not a regular file"},           {"fifo.tif", "not a regular file"},
      {"socket.jpg", "No such device or address"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(read(jpegFile({exifApp1()})));
    bool ok = true;
    const std::string path = dir.pathOf(c.name);
    EXPECT_TRUE(finishesWithoutWaiting(path, [&] { ok = img.ReadFile(path); }));
    EXPECT_FALSE(ok);
    EXPECT_EQ(img.OpenError, c.reason);
    EXPECT_EQ(img.StatusText, "");
    EXPECT_EQ(img.SourcePath, "");
    EXPECT_EQ(img.FileBytes, 0);
    EXPECT_EQ(img.ExifInfo, nullptr);
  }
  ::close(socket);
}

TEST_F(ImageReader, FileFactsAreTheRealSizeAndLastWriteTimeToTheSecond) {
  const std::string path = dir.writeFile("dated.jpg", jpegFile({exifApp1()}));
  const time_t when = 1234567891;  // an odd second
  timeval times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimes(path.c_str(), times), 0);
  ASSERT_TRUE(img.ReadFile(path));
  std::tm tm{};
  localtime_r(&when, &tm);
  const meta::DateParts p = img.FileTime.toParts();
  EXPECT_EQ(p.year, tm.tm_year + 1900);
  EXPECT_EQ(p.day, tm.tm_mday);
  EXPECT_EQ(p.hour, tm.tm_hour);
  EXPECT_EQ(p.second, tm.tm_sec);
}

TEST_F(ImageReader, HeaderAndWalkFaults) {
  TiffBuilder bad;
  bad.headerMark = "XX";
  bad.ascii(bad.addIfd(), 0x010F, "Never");
  // A header fault is kept as the status of a read that otherwise succeeds.
  EXPECT_TRUE(read(jpegFile({exifSegment(bad.build())})));
  EXPECT_EQ(img.StatusText, "Invalid Exif alignment marker");
  EXPECT_TRUE(img.HasExif());
  EXPECT_EQ(img.ExifInfo->TagCount(), 0);

  TiffBuilder far;
  far.headerOffset = 0x80000000u;
  far.addIfd();
  EXPECT_FALSE(read(jpegFile({exifSegment(far.build())})));
  EXPECT_EQ(img.StatusText, "Not an EXIF file");

  // A fault in the first directory fails the read; the rows decoded so far stay.
  TiffBuilder broken(Order::Motorola);
  int ifd0 = broken.addIfd();
  broken.ascii(ifd0, 0x010F, "Partial").rawEntry(ifd0, 0x0110, 13, 1, 0);
  EXPECT_FALSE(read(jpegFile({exifSegment(broken.build())})));
  EXPECT_EQ(img.StatusText, "Not an EXIF file");
  ASSERT_TRUE(img.HasExif());
  EXPECT_EQ(img.ExifInfo->CameraMake, "Partial");
  EXPECT_TRUE(img.BigEndian);

  // The walk's own status texts do not outlive a successful read.
  TiffBuilder sized;
  int top = sized.addIfd(), exif = sized.addIfd();
  sized.pointer(top, 0x8769, exif).entryCountOverride(exif, 3000);
  EXPECT_TRUE(read(jpegFile({exifSegment(sized.build())})));
  EXPECT_EQ(img.StatusText, "<none>");
}

TEST_F(ImageReader, ReusedContainerForgetsThePreviousFile) {
  ASSERT_TRUE(read(jpegFile({exifApp1("First", Order::Motorola)})));
  EXPECT_TRUE(img.BigEndian);
  ASSERT_TRUE(read(jpegFile({commentSegment("c")})));
  EXPECT_FALSE(img.HasExif());
  EXPECT_EQ(img.ExifInfo, nullptr);
  EXPECT_FALSE(img.BigEndian);
}

TEST_F(ImageReader, TiffFilesAreDecodedFromTheDirectoryTheirHeaderNames) {
  struct Case {
    const char* what;
    Order order;
    size_t pixelBytes;  // bytes between the header and the directory
    std::optional<uint32_t> headerOffset;
  } cases[] = {
      {"directory at 8", Order::Intel, 0, {}},
      {"big-endian directory at 8", Order::Motorola, 0, {}},
      {"directory after the pixel data", Order::Motorola, 6000, {}},
      {"directory beyond the fixed read", Order::Intel, 300000, {}},
      {"model across the end of the fixed read", Order::Intel, 255930, {}},
      {"model across two windows beyond it", Order::Motorola, 321460, {}},
      {"offset below 8 is taken as 8", Order::Intel, 0, 4u},
      {"offset past the end is taken as 8", Order::Motorola, 0, 0x7FFFFFF0u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffBuilder b(c.order);
    b.leading.assign(c.pixelBytes, '\x55');
    b.headerOffset = c.headerOffset;
    int ifd0 = b.addIfd(), ifd1 = b.addIfd();
    b.ascii(ifd0, 0x010F, "Scanner").ascii(ifd0, 0x0110, "A model name past the directory").next(ifd0, ifd1);
    b.shortValue(ifd1, 0x0103, 6);
    const std::string file = b.build();
    ASSERT_TRUE(read(file, "scan.tif"));
    EXPECT_EQ(img.ExifInfo->CameraMake, "Scanner");
    EXPECT_EQ(img.ExifInfo->CameraModel, "A model name past the directory");
    EXPECT_EQ(img.BigEndian, c.order == Order::Motorola);
    EXPECT_TRUE(img.ExifInfo->FromTiff);
    EXPECT_EQ(img.ExifInfo->PreviewStart, 0);  // TIFF data never give a preview
    EXPECT_FALSE(img.HasThumbnail());
    // At least the fixed read, zero-filled past the end; never past the end
    // of the file beyond that.
    const int64_t expected = std::max<int64_t>(meta::kTiffReadSize, int64_t(file.size()) - 8);
    EXPECT_EQ(img.Slot(1).Length, expected);
    ASSERT_EQ(img.ExifInfo->Buffer.size(), expected);
    EXPECT_EQ(img.ExifInfo->Buffer.copy(expected, 1), std::string(1, '\0'));
  }
  EXPECT_FALSE(read("XX*\0\x08\0\0\0", "scan.tif"));
  EXPECT_EQ(img.StatusText, "Not an EXIF file");
}

long maxResidentKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST_F(ImageReader, OffsetsInAHugeSparseTiffNeverSizeTheMemory) {
  // A 2.2 GB file that costs no disk: the header names a directory just
  // below 2 GiB, whose Exif pointer starts a chain of directories 16 MiB
  // apart, further than the store keeps windows for; the last one names the
  // model. A colour profile states a count of 1 GiB.
  const Encoder le(Order::Intel);
  const uint32_t top = 0x7FF00000u, chain = 80, spacing = 0x01000000u;
  const std::string path = dir.pathOf("sparse.tif");
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t{2200} * 1000 * 1000), 0);
  auto writeAt = [fd](uint32_t offset, const std::string& bytes) {
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), offset), ssize_t(bytes.size()));
  };
  writeAt(0, "II" + le.u16(42) + le.u32(top));
  writeAt(top, serializeIfd(le,
                            {{0x010F, kAscii, 10, asciiz("Sparsecam")},
                             {0x8769, kLong, 1, le.u32(spacing)},
                             {0x8773, kUndefined, 0x40000000u, "", 16u}},
                            top));
  for (uint32_t k = 1; k <= chain; ++k) {
    const uint32_t at = k * spacing;
    const SimpleEntry link = k < chain ? SimpleEntry{0x8769, kLong, 1, le.u32(at + spacing)}
                                       : SimpleEntry{0x0110, kAscii, 8, asciiz("Deepest")};
    writeAt(at, serializeIfd(le, {link}, at));
  }
  ::close(fd);

  const long before = maxResidentKiB();
  ASSERT_TRUE(img.ReadFile(path));
  EXPECT_LT(maxResidentKiB() - before, 64 * 1024);
  EXPECT_EQ(img.ExifInfo->CameraMake, "Sparsecam");
  EXPECT_EQ(img.ExifInfo->CameraModel, "Deepest");
  EXPECT_EQ(img.ExifInfo->Buffer.size(), int64_t{top} - 8 + 64 * 1024);
  const meta::TTagEntry profile = img.ExifInfo->FindTag("InterColorProfile");
  EXPECT_EQ(profile.Raw.size(), size_t(meta::kMaxCopyBytes));
  EXPECT_LE(img.Buffer.heldBytes(),
            meta::tByteStore::kHeadBytes + meta::tByteStore::kMaxWindows * meta::tByteStore::kWindowBytes);
}

// IFD0 -> IFD1 whose JPEGInterchangeFormat points at `preview`.
std::string jpegWithPreview(const std::string& preview, uint16_t compression = 6) {
  TiffBuilder b;
  int ifd0 = b.addIfd(), ifd1 = b.addIfd();
  b.ascii(ifd0, 0x010F, "Quillcam").next(ifd0, ifd1);
  int blob = b.blob(preview);
  b.shortValue(ifd1, 0x0103, compression).blobPointer(ifd1, 0x0201, blob);
  b.longValue(ifd1, 0x0202, uint32_t(preview.size()));
  return jpegFile({exifSegment(b.build())});
}

TEST_F(ImageReader, PreviewPresenceThresholds) {
  ASSERT_TRUE(read(jpegWithPreview(std::string(400, 'p'))));
  struct Case {
    int32_t start, length;
    bool present;
  } cases[] = {{21, 1000, false}, {22, 1000, true}, {22, 256, false}, {22, 257, true}, {0, 1000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << "/" << c.length);
    img.ExifInfo->PreviewStart = c.start;
    img.ExifInfo->PreviewLength = c.length;
    EXPECT_EQ(img.HasThumbnail(), c.present);
  }
}

TEST_F(ImageReader, PreviewBytesRunFromTheStartMarkerToTheEndMarker) {
  const std::string body(300, '\x11'), eoi("\xFF\xD9", 2);
  const std::string dqt("\xFF\xD8\xFF\xDB", 4), dht("\xFF\xD8\xFF\xC4", 4), app0("\xFF\xD8\xFF\xE0", 4);
  struct Case {
    const char* what;
    std::string preview, expected;
  } cases[] = {
      {"quantisation table first", "junk" + dqt + body + eoi + "tail", dqt + body + eoi},
      {"Huffman table first", dht + body + eoi + eoi, dht + body + eoi},
      {"JFIF preview", "j" + app0 + body + eoi, app0 + body + eoi},
      {"a table header wins over an earlier JFIF one", app0 + "x" + dqt + body + eoi, dqt + body + eoi},
      {"no start marker", body + eoi, ""},
      {"no end marker", dqt + body, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(read(jpegWithPreview(c.preview)));
    ASSERT_TRUE(img.HasThumbnail());
    EXPECT_EQ(img.ThumbnailBytes(), c.expected);
  }
}

TEST_F(ImageReader, PreviewPictureOnlyForAJpegPreview) {
  const std::string tiny = encodeJpeg(16, 8, 250, 10, 10);
  ASSERT_TRUE(read(jpegWithPreview(tiny)));
  EXPECT_FALSE(img.ThumbnailImage().has_value());  // compression known only after ProcessThumbnail
  img.ExifInfo->ProcessThumbnail();
  std::optional<meta::RgbImage> picture = img.ThumbnailImage();
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width, 16);
  EXPECT_EQ(picture->height, 8);
  ASSERT_EQ(picture->pixels.size(), 16u * 8 * 3);
  EXPECT_GT(picture->pixels[0], 200);
  EXPECT_LT(picture->pixels[1], 60);

  ASSERT_TRUE(read(jpegWithPreview(tiny, 1)));
  img.ExifInfo->ProcessThumbnail();
  EXPECT_EQ(img.ExifInfo->PreviewCompression, 1);
  EXPECT_FALSE(img.ThumbnailImage().has_value());
}

TEST(JpegDecode, BrokenStreamsGiveNoPicture) {
  const std::string tiny = encodeJpeg(8, 8, 0, 0, 255);
  std::string huge = tiny;
  const size_t sof = huge.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  huge.replace(sof + 5, 4, "\xFF\xFF\xFF\xFF");  // 65535 x 65535
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"garbage", std::string(500, '\x42')},
      {"start marker only", "\xFF\xD8\xFF\xDB"},
      {"absurd dimensions", huge},
      {"header cut", tiny.substr(0, 120)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(meta::decodeJpeg(c.bytes).has_value());
  }
  // A stream cut inside the scan data still ends without harm.
  meta::decodeJpeg(tiny.substr(0, tiny.size() - 40));
  EXPECT_TRUE(meta::decodeJpeg(tiny).has_value());
}

}  // namespace
