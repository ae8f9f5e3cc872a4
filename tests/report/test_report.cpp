// The metadata report: the name pane's head lines and element table, the
// report pane's sections for files built byte by byte, the preview picture,
// and whole companion files.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "metadata/image_reader.hpp"
#include "metadata/locale.hpp"
#include "naming/file_system.hpp"
#include "naming/format.hpp"
#include "naming/naming.hpp"
#include "output/output_sink.hpp"
#include "report/report.hpp"
#include "testkit/exif_builder.hpp"
#include "testkit/jpeg_encode.hpp"
#include "testkit/temp_dir.hpp"

namespace {

using output::RecordingSink;
using output::styleOf;
using output::TextStyle;
using namespace qmtest;

const output::TextStyle label12 = output::styleOf(false, false, 12, output::kBlack);
const output::TextStyle name12 = output::styleOf(true, false, 12, output::kBlue);
const output::TextStyle missing14 = output::styleOf(true, false, 14, output::kRed);
const output::TextStyle title = output::styleOf(true, false, 14, output::kNavy);
const output::TextStyle subtitle = output::styleOf(true, false, 12, output::kBlue);
const output::TextStyle body = output::styleOf(false, false, 8, output::kBlack);

struct Piece {
  std::string text;
  output::TextStyle style;
};

void expectPieces(const std::vector<output::RecordingSink::Piece>& got, size_t from,
                  const std::vector<Piece>& expected) {
  ASSERT_GE(got.size(), from + expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("piece " + std::to_string(from + i) + ": " + got[from + i].text);
    EXPECT_EQ(got[from + i].text, expected[i].text);
    EXPECT_EQ(got[from + i].style, expected[i].style);
  }
}

// ---- name pane -------------------------------------------------------------

struct NamePane : ::testing::Test {
  meta::TimgData img;
  naming::TNaming state{img, naming::realFileSystem()};
  output::RecordingSink pane;

  NamePane() {
    state.NewPath = "/photos/20040612-143005-01.jpg";
    state.NewTextPath = "/photos/20040612-143005-01.exif.txt";
  }
};

TEST_F(NamePane, HeadLinesShowTheNewNamesOrWhyThereAreNone) {
  const Piece newName{"Nouveau nom du fichier: \r\n", label12};
  const Piece textName{"Fichier texte associé: \r\n", label12};
  const Piece champs{"\r\nChamps\r\n\r\n", title};
  struct Case {
    const char* what;
    bool complete, textFile;
    std::vector<Piece> head;
  };
  const Case cases[] = {
      {"complete", true, false, {newName, {"\t20040612-143005-01.jpg\r\n", name12}, champs}},
      {"complete with a text file",
       true,
       true,
       {newName,
        {"\t20040612-143005-01.jpg\r\n", name12},
        textName,
        {"\t20040612-143005-01.exif.txt\r\n", name12},
        champs}},
      {"incomplete",
       false,
       false,
       {newName, {"\tNe peut être renommé par manque d'information\r\n", missing14}, champs}},
      {"incomplete with a text file",
       false,
       true,
       {newName,
        {"\tNe peut être renommé par manque d'information\r\n", missing14},
        textName,
        {"\tNe peut être créé par manque d'information\r\n", missing14},
        champs}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    output::RecordingSink sink;
    state.NameComplete = c.complete;
    report::ShowNamePane(sink, state, c.textFile);
    EXPECT_EQ(sink.pieces.size(), c.head.size() + 21 * 5);
    expectPieces(sink.pieces, 0, c.head);
  }
}

TEST_F(NamePane, ElementRowsLineUpWithTheRunningNumberUnknown) {
  state.NameComplete = true;
  state.ElementValues[naming::rowIYEAR] = "2004";
  state.ElementValues[naming::rowNUMBER] = "7";  // never shown: it exists only while composing
  report::ShowNamePane(pane, state, false);
  ASSERT_EQ(pane.pieces.size(), 3u + 21 * 5);

  std::vector<std::string> lines;
  for (size_t row = 0; row < 21; ++row) {
    std::string line;
    for (size_t k = 0; k < 5; ++k) line += pane.pieces[3 + row * 5 + k].text;
    lines.push_back(line);
  }
  EXPECT_EQ(lines[naming::rowIYEAR], "IYEAR       = '2004'  (Image date Year)\r\n");
  EXPECT_EQ(lines[naming::rowNUMBER],
            "NUMBER      = '?????"
            "'  (Dynamic image number)\r\n");
  EXPECT_EQ(lines[naming::rowTEXT], "TEXT        = ''  (Text typed by user)\r\n");
  for (const std::string& line : lines) EXPECT_EQ(line.substr(12, 3), "= '") << line;

  expectPieces(pane.pieces, 3 + naming::rowIYEAR * 5,
               {{"IYEAR       ", output::styleOf(true, false, 10, output::kBlack, true)},
                {"= '", output::styleOf(false, false, 10, output::kBlack)},
                {"2004", output::styleOf(true, false, 10, output::kBlack)},
                {"'  ", output::styleOf(false, false, 10, output::kBlack)},
                {"(Image date Year)\r\n", output::styleOf(false, true, 10, output::kBlack)}});
}

// ---- report pane -----------------------------------------------------------

struct ReportPane : ::testing::Test {
  TempDir dir;
  meta::TimgData img;

  ReportPane() { meta::setCurrentLocale(meta::Locale{'.', "%d/%m/%Y"}); }

  // Writes the file with a last-write time of 3 February 2001, noon (local
  // time), and reads it.
  std::string read(std::string_view name, const std::string& bytes) {
    const std::string path = dir.writeFile(name, bytes);
    std::tm noon{};
    noon.tm_year = 101;
    noon.tm_mon = 1;
    noon.tm_mday = 3;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    const timeval times[2] = {{std::mktime(&noon), 0}, {std::mktime(&noon), 0}};
    ::utimes(path.c_str(), times);
    img.ReadFile(path);
    return path;
  }

  std::string reportText() {
    output::RecordingSink sink;
    report::ShowReportPane(sink, img, {});
    return sink.text();
  }
};

std::string iptcSegment() {
  // A resource header, then two datasets: Keywords (2:25) and Image caption (2:120).
  std::string datasets =
      std::string("\x1C\x02\x19\x00\x04", 5) + "blue" + std::string("\x1C\x02\x78\x00\x09", 5) + "a caption";
  return photoshopSegment(std::string("8BIM\x04\x04\x00\x00\x00\x00\x00\x16", 12) + datasets);
}

TEST_F(ReportPane, SectionsFollowWhatTheFileHolds) {
  const std::string head = "\r\nEXIF-Data\r\n\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"no metadata", jpegFile({jfifSegment()}), head + "\r\nErreur : Not an EXIF file\r\n\r\n"},
      {"only a comment", jpegFile({commentSegment("hello there")}),
       head + "No Thumbnail\r\n \r\n Comment Segment Available\r\nhello there\r\n"},
      {"an IPTC segment whose listing is empty", jpegFile({photoshopSegment()}), head + "No Thumbnail\r\n"},
      {"IPTC datasets", jpegFile({iptcSegment()}),
       head + "No Thumbnail\r\n\r\nIPTC Segment Available!\r\n\r\nKeywords = blue\r\nImage caption = a "
              "caption\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    read("photo.jpg", c.bytes);
    EXPECT_EQ(reportText(), c.expected);
  }
}

TEST_F(ReportPane, AVanishedFileShowsTheBareErrorTitle) {
  img.ReadFile(dir.pathOf("gone.jpg"));
  output::RecordingSink sink;
  report::ShowReportPane(sink, img, {});
  ASSERT_EQ(sink.pieces.size(), 2u);
  expectPieces(sink.pieces, 0, {{"\r\nEXIF-Data\r\n\r\n", title}, {"\r\nErreur : \r\n\r\n", subtitle}});
}

std::string datedExif(Order order) {
  TiffBuilder b(order);
  int ifd0 = b.addIfd();
  b.ascii(ifd0, 0x010F, "Quillcam").ascii(ifd0, 0x0110, "QM-1").ascii(ifd0, 0x0132, "2004:06:12 14:30:05");
  b.rational(ifd0, 0x9205, 5, 1).shortValue(ifd0, 0x9207, 5);
  return exifSegment(b.build());
}

TEST_F(ReportPane, ByteOrderLineAndTagRowsAreBodyText) {
  struct Case {
    Order order;
    const char* word;
    const char* aside;
  };
  for (const Case& c : {Case{Order::Motorola, "Big endian", " (Motorola Byte Order)\r\n"},
                        Case{Order::Intel, "Little endian", " (Intel Byte Order)\r\n"}}) {
    SCOPED_TRACE(c.word);
    read("photo.jpg", jpegFile({datedExif(c.order)}));
    output::RecordingSink sink;
    report::ShowExifData(sink, img);
    expectPieces(sink.pieces, 0,
                 {{"\r\nEXIF-Data\r\n\r\n", title},
                  {c.word, output::styleOf(true, false, 8, output::kBlack)},
                  {c.aside, body},
                  {"Make = Quillcam\r\n", body}});
  }
}

// The companion file of a dated photo, byte for byte, as the batch writes it.
TEST_F(ReportPane, CompanionFileHoldsTheReportPaneText) {
  read("photo.jpg", jpegFile({datedExif(Order::Motorola)}));
  const std::string companion = dir.pathOf("photo.exif.txt");
  {
    auto file = naming::realFileSystem().createTextFile(companion);
    report::ShowReportPane(*file, img, {});
    file->close();
  }
  std::ifstream in(companion, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "\r\nEXIF-Data\r\n\r\n"
            "Big endian (Motorola Byte Order)\r\n"
            "Make = Quillcam\r\n"
            "Model = QM-1\r\n"
            "Date Time = 2004:06:12 14:30:05\r\n"
            "Max Aperture Value = F5.0\r\n"
            "Metering Mode = MultiSegment\r\n"
            "No Thumbnail\r\n"
            "\r\nRésumé EXIF (Court)\r\n\r\n"
            "photo.jpg 0k 2004:06:12 0w 0h \r\n"
            "\r\nRésumé EXIF (long)\r\n\r\n"
            "File Name: photo.jpg\r\n"
            "File Size: 0k\r\n"
            "File Date: 03/02/2001\r\n"
            "Photo Date: 2004:06:12 14:30:05\r\n"
            "Make (Model): Quillcam (QM-1)\r\n"
            "Dimensions: 0 x 0\r\n"
            "Flash: No\r\n"
            "\r\n"
            " ** Widest Aperture is F5.0\r\n"
            " ** Light Meter mode is MultiSegment\r\n");
}

// IFD0 -> IFD1 describing an embedded preview.
struct PreviewFile {
  std::string bytes;
  uint32_t previewDirectory = 0;
};

PreviewFile withPreview(const std::string& preview, uint16_t compression) {
  TiffBuilder b;
  int ifd0 = b.addIfd(), ifd1 = b.addIfd();
  b.ascii(ifd0, 0x0132, "2004:06:12 14:30:05").next(ifd0, ifd1);
  int blob = b.blob(preview);
  b.shortValue(ifd1, 0x0103, compression).blobPointer(ifd1, 0x0201, blob);
  b.longValue(ifd1, 0x0202, uint32_t(preview.size()));
  PreviewFile f;
  f.bytes = jpegFile({exifSegment(b.build())});
  f.previewDirectory = b.ifdOffset(ifd1);
  return f;
}

TEST_F(ReportPane, PreviewSectionAndPicture) {
  const std::string tiny = encodeJpeg(16, 8, 250, 10, 10);
  struct Case {
    const char* what;
    uint16_t compression;
    bool picture;
  };
  for (const Case& c : {Case{"a JPEG preview", 6, true}, Case{"an uncompressed preview", 1, false}}) {
    SCOPED_TRACE(c.what);
    const PreviewFile f = withPreview(tiny, c.compression);
    read("photo.jpg", f.bytes);
    ASSERT_TRUE(img.HasThumbnail());

    int calls = 0;
    std::optional<meta::RgbImage> shown;
    output::RecordingSink sink;
    report::ShowReportPane(sink, img, [&](const std::optional<meta::RgbImage>& p) {
      ++calls;
      shown = p;
    });
    const std::string text = sink.text();
    const std::string section =
        "\r\nThumbnail Data\r\n\r\nThumbnail Start = " + std::to_string(f.previewDirectory) +
        "\r\nThumbnail Length = ";
    EXPECT_NE(text.find(section), std::string::npos) << text;
    EXPECT_EQ(text.find("No Thumbnail"), std::string::npos);
    // The preview directory is walked once per report.
    const size_t row = text.find("\r\nCompression = ");
    ASSERT_NE(row, std::string::npos) << text;
    EXPECT_EQ(text.find("\r\nCompression = ", row + 1), std::string::npos);

    EXPECT_EQ(calls, 1);
    ASSERT_EQ(shown.has_value(), c.picture);
    if (c.picture) {
      EXPECT_EQ(shown->width, 16);
      EXPECT_EQ(shown->height, 8);
    }
  }
}

TEST_F(ReportPane, NoPictureIsOfferedWithoutAPreview) {
  read("photo.jpg", jpegFile({datedExif(Order::Intel)}));
  int calls = 0;
  output::RecordingSink sink;
  report::ShowReportPane(sink, img, [&](const std::optional<meta::RgbImage>&) { ++calls; });
  EXPECT_EQ(calls, 0);
}

TEST_F(ReportPane, MakerNoteRowsFollowTheExifRows) {
  const std::string sample = std::string(QUILLMARK_SAMPLES_DIR) + "/Canon.jpg";
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "no sample photos";
  ASSERT_TRUE(img.ReadFile(sample));
  ASSERT_TRUE(img.ExifInfo && img.ExifInfo->MakerNoteDecoded);
  const std::string text = reportText();
  const size_t maker = text.find("\r\nMaker Specific Data\r\n\r\n");
  const size_t exifRow = text.find("Make = Canon\r\n");
  const size_t noThumbnail = text.find("No Thumbnail\r\n");
  ASSERT_NE(maker, std::string::npos);
  EXPECT_LT(exifRow, maker);
  EXPECT_LT(maker, noThumbnail);
  // Every maker-note row is listed, in stored order, inside the section.
  size_t at = maker;
  for (const meta::TTagEntry& row : img.ExifInfo->Tags) {
    if (row.Group != 1) continue;
    const size_t found = text.find(row.Desc + " = " + row.Data + "\r\n", at);
    ASSERT_NE(found, std::string::npos) << row.Desc;
    EXPECT_LT(found, noThumbnail);
    at = found;
  }
}

}  // namespace
