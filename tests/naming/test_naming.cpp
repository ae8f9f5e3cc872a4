#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "metadata/image_reader.hpp"
#include "metadata/locale.hpp"
#include "metadata/paths.hpp"
#include "naming/naming.hpp"
#include "testkit/exif_builder.hpp"
#include "testkit/fake_file_system.hpp"
#include "testkit/photo_files.hpp"
#include "testkit/temp_dir.hpp"

namespace {

using naming::TNaming;

// The facts EvaluateFile would have taken from an image with EXIF data.
std::map<int, std::string> exifValues() {
  return {{naming::rowIYEAR, "2004"}, {naming::rowIMONTH, "06"},   {naming::rowIDAY, "12"},
          {naming::rowIHOUR, "14"},   {naming::rowIMIN, "30"},     {naming::rowISEC, "05"},
          {naming::rowWIDTH, "0640"}, {naming::rowHEIGHT, "0480"}, {naming::rowFLASH, "N"}};
}

struct Composer {
  meta::TimgData reader;
  qmtest::FakeFileSystem fs;
  TNaming naming{reader, fs};
  std::string text, digits = "2";

  explicit Composer(bool caseInsensitive = false) : fs(caseInsensitive) {
    naming.UserText = [this] { return text; };
    naming.DigitText = [this] { return digits; };
  }

  // Composes for `path` as EvaluateFile does once the values are known.
  void compose(const std::string& format, const std::string& path, std::map<int, std::string> values) {
    naming.ParseFormat(format);
    naming.ResetValues(false);
    const std::string name = path.substr(path.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    naming.ElementValues[naming::rowNAME] = dot == std::string::npos ? name : name.substr(0, dot);
    naming.ElementValues[naming::rowEXT] = dot == std::string::npos ? "" : meta::toLower(name.substr(dot));
    naming.ElementValues[naming::rowTEXT] = text;
    for (auto& [row, value] : values) naming.ElementValues[static_cast<size_t>(row)] = value;
    naming.ComposeNewName(path);
  }
};

TEST(ComposeNewName, NamesFromFormat) {
  struct Case {
    const char* why;
    std::string format;
    std::string path;
    std::string text;
    bool exif;
    std::string newPath;  // empty: incomplete
  };
  const std::string def = naming::DefaultFormat();
  const Case cases[] = {
      {"default format", def, "/p/IMG_0001.JPG", "", true, "/p/20040612-143005-01.jpg"},
      {"default format with text", def, "/p/IMG_0001.JPG", "_rome", true, "/p/20040612-143005-01_rome.jpg"},
      {"no EXIF: default format incomplete", def, "/p/scan.jpg", "", false, ""},
      {"no EXIF: name and number suffice", "[NAME]-[NUMBER][EXT]", "/p/scan.jpg", "", false,
       "/p/scan-01.jpg"},
      {"empty optional elements insert nothing", "[MAKER][MODEL][TEXT]x[EXT]", "/p/a.jpg", "", true,
       "/p/x.jpg"},
      {"flash and size count as present", "[WIDTH]x[HEIGHT][FLASH]", "/p/a.jpg", "", true,
       "/p/0640x0480N.jpg"},
      {"without EXT the source case stays", "[IYEAR]", "/p/IMG_1.JPG", "", true, "/p/2004.JPG"},
      {"with EXT the name ends in lower case", "[IYEAR][EXT]", "/p/IMG_1.JPG", "", true, "/p/2004.jpg"},
      {"another extension is replaced", "[IYEAR][TEXT]", "/p/IMG_1.JPG", "v1.2", true, "/p/2004v1.JPG"},
      {"empty format: nothing to name the photo by", "", "/Photos/IMG_1.JPG", "", false, ""},
      {"a name that would be only an extension is incomplete", "[EXT]", "/p/a.jpg", "", true, ""},
      {"name keeps inner dots", "[NAME][EXT]", "/p/a.b.JPG", "", false, "/p/a.b.jpg"},
      {"without EXT the last inner dot starts the extension", "[NAME]", "/p/a.b.jpg", "", false, "/p/a.jpg"},
      {"a name that is only an extension is empty", "[NAME]-x", "/p/.jpg", "", false, ""},
      {"source without extension", "[NAME].x", "/p/noext", "", false, "/p/noext"},
      {"two numbers share the counter", "[NUMBER]-[NUMBER]", "/p/a.jpg", "", false, "/p/01-01.jpg"},
      {"a slash in the text points into a folder", "[TEXT]/[NAME]", "/p/a.jpg", "sub", false, "/p/sub/a.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Composer k;
    k.text = c.text;
    k.compose(c.format, c.path, c.exif ? exifValues() : std::map<int, std::string>{});
    EXPECT_EQ(k.naming.NewPath, c.newPath);
    EXPECT_EQ(k.naming.NameComplete, !c.newPath.empty());
    EXPECT_EQ(k.naming.OldPath, c.path);
    EXPECT_EQ(k.naming.NewTextPath, c.newPath.empty() ? "" : meta::replaceExtension(c.newPath, ".exif.txt"));
  }
}

TEST(ComposeNewName, CompanionPaths) {
  Composer k;
  k.compose("[IYEAR]", "/p/IMG_1.JPG", exifValues());
  EXPECT_EQ(k.naming.OldTextPath, "/p/IMG_1.exif.txt");
  EXPECT_EQ(k.naming.NewTextPath, "/p/2004.exif.txt");
}

// Names from the picture date: a date that a camera without a set clock or a
// broken file stores gives no date elements, a broken time no time elements.
TEST(ComposeNewName, DatePartsOnlyFromARealDate) {
  struct Case {
    std::string date;
    std::string day;   // name of "[IYEAR][IMONTH][IDAY]"; empty: incomplete
    std::string time;  // name of "[IHOUR][IMIN][ISEC]"; empty: incomplete
  };
  const Case cases[] = {
      {"2004:06:12 14:30:05", "20040612", "143005"},
      {"2004:06:12", "20040612", ""},
      {"2008:06:13 10:O3:40", "20080613", ""},
      {"2004:06:12 1:02:03", "20040612", ""},
      {"0000:00:00 00:00:00", "", ""},
      {"    :  :     :  :  ", "", ""},
      {"Tue ay 7 21:48:30", "", ""},
      {"2004:13:01 10:00:00", "", ""},
      {"2004:06:32 10:00:00", "", ""},
      {"2004:00:12 10:00:00", "", ""},
      {"ABCDEFGHIJKLMNOPQRST", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date);
    for (const auto& [format, expected] :
         {std::pair{"[IYEAR][IMONTH][IDAY]", c.day}, std::pair{"[IHOUR][IMIN][ISEC]", c.time}}) {
      meta::TimgData reader;
      qmtest::FakeFileSystem fs;
      TNaming n(reader, fs);
      n.ParseFormat(format);
      // Through EvaluateFile on a real file, so that the positions are the engine's.
      qmtest::TempDir dir;
      std::string path = dir.writeFile("a.jpg", qmtest::photoWithDate(c.date));
      n.EvaluateFile(path);
      ASSERT_TRUE(reader.HasExif());
      EXPECT_EQ(n.NewPath, expected.empty() ? "" : dir.pathOf(expected + ".jpg")) << format;
    }
  }
}

// Texts from the file never lead the photo out of its folder.
TEST(ComposeNewName, CameraTextsStayInTheFolder) {
  qmtest::TiffBuilder b(qmtest::Order::Intel);
  int ifd0 = b.addIfd();
  b.ascii(ifd0, 0x010F, "/etc");
  b.ascii(ifd0, 0x0110, "../../escaped");
  qmtest::TempDir dir;
  const std::string path = dir.writeFile("a.jpg", qmtest::jpegFile({qmtest::exifSegment(b.build())}));
  meta::TimgData reader;
  qmtest::FakeFileSystem fs;
  TNaming n(reader, fs);
  n.ParseFormat("[MAKER]-[MODEL][EXT]");
  n.EvaluateFile(path);
  EXPECT_EQ(n.NewPath, dir.pathOf("_etc-.._.._escaped.jpg"));
  // The user's own text and literals stay as typed; the model gives up the
  // dots it starts the name with.
  n.ParseFormat("sub/[MODEL][EXT]");
  n.EvaluateFile(path);
  EXPECT_EQ(n.NewPath, dir.pathOf("sub/___.._escaped.jpg"));
}

// A value from the file never makes a path component "." or "..", and a text
// from the metadata never makes a hidden name; what the user typed stays.
TEST(ComposeNewName, FileValuesNeverFormDotComponents) {
  struct Case {
    const char* why;
    std::string format, path, maker, model, text;
    std::string newPath;
  };
  const Case cases[] = {
      {"maker '..' as a folder", "[MAKER]/[NAME][EXT]", "/p/a.jpg", "..", "", "", "/p/__/a.jpg"},
      {"maker '.' as a folder", "[MAKER]/[NAME][EXT]", "/p/a.jpg", ".", "", "", "/p/_/a.jpg"},
      {"maker that hides the photo", "[MAKER]-[NAME][EXT]", "/p/a.jpg", ".Canon", "", "", "/p/_Canon-a.jpg"},
      {"maker and model that add up to '..'", "[MAKER][MODEL]/[NAME][EXT]", "/p/a.jpg", ".", ".", "",
       "/p/_./a.jpg"},
      {"empty maker, model '..'", "[MAKER][MODEL]/[NAME][EXT]", "/p/a.jpg", "", "..", "", "/p/__/a.jpg"},
      {"typed dot, then the maker's", ".[MAKER]/[NAME][EXT]", "/p/a.jpg", ".", "", "", "/p/._/a.jpg"},
      {"after a typed folder", "x/[MODEL][EXT]", "/p/a.jpg", "", ".hidden", "", "/p/x/_hidden.jpg"},
      {"dots inside the component stay", "x[MAKER]-[NAME][EXT]", "/p/a.jpg", "..", "", "", "/p/x..-a.jpg"},
      {"dots after a number stay", "[NUMBER][MAKER][EXT]", "/p/a.jpg", ".x", "", "", "/p/01.x.jpg"},
      {"ordinary maker", "[MAKER]/[NAME][EXT]", "/p/a.jpg", "Canon", "", "", "/p/Canon/a.jpg"},
      {"typed literals stay", "../.[MAKER][EXT]", "/p/a.jpg", "Canon", "", "", "/p/../.Canon.jpg"},
      {"typed text stays", "[TEXT]/[NAME][EXT]", "/p/a.jpg", "", "", "..", "/p/../a.jpg"},
      {"a hidden photo keeps its name", "[NAME][EXT]", "/p/.a.jpg", "", "", "", "/p/.a.jpg"},
      {"a name of dots is no folder", "[NAME]/[IYEAR][EXT]", "/p/...jpg", "", "", "", "/p/__/2004.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Composer k;
    k.text = c.text;
    std::map<int, std::string> values = exifValues();
    values[naming::rowMAKER] = c.maker;
    values[naming::rowMODEL] = c.model;
    k.compose(c.format, c.path, values);
    EXPECT_EQ(k.naming.NewPath, c.newPath);
  }
}

TEST(ComposeNewName, RunningNumberDigits) {
  struct Case {
    std::string digitText;
    int taken;  // candidates 1..taken exist already
    std::string newPath;
  };
  const Case cases[] = {
      {"3", 6, "/p/2004-007.jpg"},        {"3", 1233, "/p/2004-1234.jpg"}, {"1", 6, "/p/2004-7.jpg"},
      {"2", 0, "/p/2004-01.jpg"},         {"abc", 0, "/p/2004-1.jpg"},     {"0", 0, "/p/2004-1.jpg"},
      {"12", 0, "/p/2004-000000001.jpg"}, {" 4 ", 0, "/p/2004-0001.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.digitText + " after " + std::to_string(c.taken));
    Composer k;
    k.digits = c.digitText;
    int digits = k.naming.DigitCount();
    for (int i = 1; i <= c.taken; ++i) k.fs.addFile("/p/2004-" + meta::formatZeroPadded(i, digits) + ".jpg");
    k.compose("[IYEAR]-[NUMBER][EXT]", "/p/IMG.JPG", exifValues());
    EXPECT_EQ(k.naming.NewPath, c.newPath);
  }
}

TEST(ComposeNewName, CollisionRule) {
  struct Case {
    const char* why;
    std::string format;
    std::string path;
    std::vector<std::string> existing;
    bool caseInsensitive;
    std::string newPath;
    std::string digits = "2";
  };
  const Case cases[] = {
      {"own path keeps counter 1",
       "[IYEAR]-[NUMBER]",
       "/p/2004-01.jpg",
       {"/p/2004-01.jpg"},
       false,
       "/p/2004-01.jpg"},
      {"own path further up",
       "[IYEAR]-[NUMBER]",
       "/p/2004-03.jpg",
       {"/p/2004-01.jpg", "/p/2004-02.jpg", "/p/2004-03.jpg", "/p/2004-04.jpg"},
       false,
       "/p/2004-03.jpg"},
      {"a hole is taken",
       "[IYEAR]-[NUMBER]",
       "/p/a.jpg",
       {"/p/2004-01.jpg", "/p/2004-03.jpg"},
       false,
       "/p/2004-02.jpg"},
      {"no number: an existing name is kept", "[IYEAR]", "/p/a.jpg", {"/p/2004.jpg"}, false, "/p/2004.jpg"},
      {"only the case differs: another file on a FAT volume",
       "[IYEAR]-[NUMBER][EXT]",
       "/p/2004-01.JPG",
       {"/p/2004-01.JPG"},
       true,
       "/p/2004-02.jpg"},
      {"only the case differs: a free name elsewhere",
       "[IYEAR]-[NUMBER][EXT]",
       "/p/2004-01.JPG",
       {"/p/2004-01.JPG"},
       false,
       "/p/2004-01.jpg"},
      {"both numbers move",
       "[NUMBER]-[NUMBER]",
       "/p/a.jpg",
       {"/p/01-01.jpg", "/p/02-02.jpg"},
       false,
       "/p/03-03.jpg"},
      // The running number sits in an extension that the source's replaces, so
      // every counter names the same file: the search stops instead of
      // counting for ever, and the rename will find the name taken.
      {"number in a replaced extension",
       "[IYEAR].[NUMBER]",
       "/p/a.JPG",
       {"/p/2004.JPG"},
       false,
       "/p/2004.JPG"},
      {"number in a replaced extension, free", "[IYEAR].[NUMBER]", "/p/a.JPG", {}, false, "/p/2004.JPG"},
      // ".jp2" spelled by counter 2 keeps its own letter case.
      {"counter spelling the extension",
       "[IYEAR].jp[NUMBER]",
       "/p/a.JP2",
       {"/p/2004.JP2"},
       false,
       "/p/2004.jp2",
       "1"},
      {"counter spelling the extension, taken too",
       "[IYEAR].jp[NUMBER]",
       "/p/a.JP2",
       {"/p/2004.JP2", "/p/2004.jp2"},
       false,
       "/p/2004.JP2",
       "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Composer k(c.caseInsensitive);
    k.digits = c.digits;
    for (const std::string& f : c.existing) k.fs.addFile(f);
    k.compose(c.format, c.path, exifValues());
    EXPECT_EQ(k.naming.NewPath, c.newPath);
    EXPECT_TRUE(k.naming.NameComplete);
  }
}

TEST(ComposeNewName, IncompleteNameTestsNoFile) {
  Composer k;
  k.compose(naming::DefaultFormat(), "/p/scan.jpg", {});
  EXPECT_FALSE(k.naming.NameComplete);
  EXPECT_EQ(k.naming.NewPath, "");
  EXPECT_EQ(k.naming.NewTextPath, "");
  EXPECT_EQ(k.naming.OldTextPath, "/p/scan.exif.txt");
  EXPECT_EQ(k.fs.existenceTests, 0u);
}

// Sets the file's last-write time to a local time.
void setLocalMtime(const std::string& path, int y, int mo, int d, int h, int mi, int s) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  utimbuf times{std::mktime(&tm), std::mktime(&tm)};
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

TEST(EvaluateFile, ValuesOfARealFile) {
  qmtest::TempDir dir;
  meta::TimgData reader;
  TNaming n(reader, naming::realFileSystem());
  n.UserText = [] { return std::string("txt"); };

  // EXIF with picture size, flash fired, maker and model.
  qmtest::TiffBuilder b;
  int ifd0 = b.addIfd(), exif = b.addIfd();
  b.ascii(ifd0, 0x010F, "Quillcam").ascii(ifd0, 0x0110, "Q 10 ").ascii(ifd0, 0x0132, "2004:06:12 14:30:05");
  b.pointer(ifd0, 0x8769, exif);
  b.shortValue(exif, 0x9209, 0x19).longValue(exif, 0xA002, 640).longValue(exif, 0xA003, 12000);
  std::string full = dir.writeFile("IMG_0001.JPG", qmtest::jpegFile({qmtest::exifSegment(b.build())}));
  std::string bare = dir.writeFile("scan.Jpeg", qmtest::photoWithoutExif());
  std::string dateOnly = dir.writeFile("d.jpg", qmtest::photoWithDate("2004:06:12"));
  for (const std::string& p : {full, bare, dateOnly}) setLocalMtime(p, 2011, 3, 4, 17, 8, 9);

  struct Case {
    std::string path;
    std::vector<std::string> values;  // by row
  };
  const Case cases[] = {
      {full, {"IMG_0001", ".jpg", "0640", "12000", "2004", "06", "12",       "14",    "30",  "05", "2011",
              "03",       "04",   "17",   "08",    "09",   "F",  "Quillcam", "Q 10 ", "txt", ""}},
      // no EXIF: no file date either
      {bare,
       {"scan", ".jpeg", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "txt", ""}},
      {dateOnly, {"d",  ".jpg", "0000", "0000", "2004", "06", "12",       "", "",    "", "2011",
                  "03", "04",   "17",   "08",   "09",   "N",  "Quillcam", "", "txt", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    n.EvaluateFile(c.path);
    for (size_t row = 0; row < c.values.size(); ++row)
      EXPECT_EQ(n.ElementValues[row], c.values[row]) << naming::FormatElementTable[row].Keyword;
    EXPECT_EQ(n.OldPath, c.path);
  }
}

TEST(EvaluateFile, CounterAgainstRealFiles) {
  qmtest::TempDir dir;
  meta::TimgData reader;
  TNaming n(reader, naming::realFileSystem());
  n.ParseFormat(naming::DefaultFormat());
  std::string photo = dir.writeFile("IMG_0001.JPG", qmtest::photoWithDate("2004:06:12 14:30:05"));
  dir.writeFile("20040612-143005-01.jpg", "x");
  ::mkdir(dir.pathOf("20040612-143005-02.jpg").c_str(), 0700);  // a folder is no collision
  n.EvaluateFile(photo);
  EXPECT_EQ(n.NewPath, dir.pathOf("20040612-143005-02.jpg"));
  EXPECT_EQ(n.NewTextPath, dir.pathOf("20040612-143005-02.exif.txt"));
  EXPECT_EQ(n.OldTextPath, dir.pathOf("IMG_0001.exif.txt"));
}

}  // namespace
