// The example photos in examples/ (written by tools/make_examples) read back
// through the image file reader with everything each one is there to show:
// its maker's private rows, the embedded preview, the IPTC listing, the
// comment, or no EXIF at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "metadata/image_reader.hpp"
#include "metadata/locale.hpp"

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::pair<std::string, std::string>>;  // Desc or Name, Data

struct ExampleFacts {
  const char* file;
  const char* make;  // empty: the file has no EXIF block
  const char* model;
  const char* taken;
  Rows tags;       // looked up by name among all decoded rows
  Rows makerRows;  // in this order among the maker-note rows, others may lie between
  std::vector<std::string> iptc;
  std::string comment;
};

const std::vector<ExampleFacts>& examples() {
  static const std::vector<ExampleFacts> list = {
      {"IMG_0001.jpg",
       "Canon",
       "Canon PowerShot Q10",
       "2004:07:14 07:32:05",
       {{"FocalLengthin35mmFilm", "35.67"}, {"ExposureTime", "1/250 sec"}, {"InteroperabilityIndex", "R98"}},
       {{"Macro mode", "Normal"},
        {"Self Timer", " 0"},
        {"Compression Rate", "Fine"},
        {"Flash Mode", "Not fired"},
        {"Drive Mode", "Single"},
        {"Focus Mode", "Single"},
        {"ExposureInfo1", "92, 2, 0, 1, 0, 0, 0, 4"},
        {"White balance", "Sunny"},
        {"ImageType", "\"IMG:PowerShot Q10 JPEG\""},
        {"ImageNumber", "1000001"},
        {"OwnerName", "\"Jeanne Martel\""},
        {"Noise Reduction", " On"},
        {"Shutter Sync", " 2nd-curtain sync"}},
       {"Keywords = lac", "Keywords = montagne", "Keywords = vacances", "ByLine = Jeanne Martel",
        "City = Annecy", "Country/Primary Location Name = France",
        "Image caption = Le lac au lever du soleil"},
       ""},
      {"IMG_0002.jpg",
       "Canon",
       "Canon PowerShot Q10",
       "2004:07:14 21:47:31",
       {{"Flash", "On, auto mode"}},
       {{"Macro mode", "Macro"},
        {"Self Timer", " 100"},
        {"Flash Mode", "Auto"},
        {"Drive Mode", "Continuous"},
        {"White balance", "Flash"},
        {"AF Assist", "Off"}},
       {},
       "Fleurs du jardin au crepuscule, au flash"},
      {"DSC_0420.jpg",
       "NIKON CORPORATION",
       "NIKON D1000",
       "2005:02:19 10:05:44",
       {{"GPSLatitudeRef", "N"}, {"GPSMapDatum", "WGS-84"}, {"ExifVersion", "\"0220\""}},
       {{"Family ID", "\"0210\""},
        {"ISO Speed", "0, 200"},
        {"Quality", "\"FINE  \""},
        {"White Balance", "\"AUTO        \""},
        {"Focus Mode", "\"AF-S  \""},
        {"Lens information", "180/10, 700/10, 35/10, 45/10"}},
       {},
       ""},
      {"P1010007.jpg",
       "OLYMPUS OPTICAL CO.,LTD",
       "C-3390Z",
       "2003:08:23 17:12:09",
       {{"ISOSpeedRatings", "64"}},
       {{"SpecialMode", "0, 0, 0"},
        {"JpegQual", "SHQ"},
        {"Firmware", "\"QX339\""},
        {"Camera ID", "\"OLYMPUS DIGITAL CAMERA\""}},
       {},
       ""},
      {"scan_1987.jpg", "", "", "", {}, {}, {}, ""},
  };
  return list;
}

fs::path examplesDir() { return fs::path(QUILLMARK_EXAMPLES_DIR); }

Rows makerRowsOf(meta::TImageInfo& info) {
  Rows rows;
  meta::TTagEntry row;
  info.ResetTagCursor();
  while (info.NextTag(1, row)) rows.emplace_back(row.Desc, row.Data);
  return rows;
}

// Whether `wanted` appears in `rows` in its own order.
bool inOrder(const Rows& rows, const Rows& wanted) {
  auto at = rows.begin();
  for (const auto& w : wanted) {
    at = std::find(at, rows.end(), w);
    if (at == rows.end()) return false;
    ++at;
  }
  return true;
}

class ExamplePhotos : public ::testing::Test {
 protected:
  void SetUp() override { meta::setCurrentLocale(meta::Locale{}); }
};

TEST_F(ExamplePhotos, EachShowsWhatItIsMeantTo) {
  for (const ExampleFacts& x : examples()) {
    SCOPED_TRACE(x.file);
    meta::TimgData img;
    const bool camera = *x.make != '\0';
    ASSERT_EQ(img.ReadFile((examplesDir() / x.file).string()), camera) << img.StatusText;
    ASSERT_EQ(img.HasExif(), camera);
    if (!camera) {
      EXPECT_EQ(img.StatusText, "Not an EXIF file");
      continue;
    }
    EXPECT_EQ(img.StatusText, "<none>");

    meta::TImageInfo& info = *img.ExifInfo;
    EXPECT_EQ(info.CameraMake, x.make);
    EXPECT_EQ(info.CameraModel, x.model);
    EXPECT_EQ(info.DateTimeText, x.taken);
    EXPECT_EQ(info.Width, 640);
    EXPECT_EQ(info.Height, 480);
    for (const auto& [name, value] : x.tags) EXPECT_EQ(info.TagValue(name), value) << name;

    EXPECT_TRUE(info.MakerNoteDecoded);
    const Rows rows = makerRowsOf(info);
    EXPECT_TRUE(inOrder(rows, x.makerRows)) << ::testing::PrintToString(rows);

    // The preview is a real 160 x 120 picture of the same scene.
    ASSERT_TRUE(img.HasThumbnail());
    info.ProcessThumbnail();
    EXPECT_EQ(info.PreviewCompression, 6);
    const std::optional<meta::RgbImage> preview = img.ThumbnailImage();
    ASSERT_TRUE(preview.has_value());
    EXPECT_EQ(preview->width, 160);
    EXPECT_EQ(preview->height, 120);

    std::vector<std::string> iptc;
    if (img.IptcSlot) iptc = img.IptcInfo->ListRecords(img.IptcSlot->Bytes);
    EXPECT_EQ(iptc, x.iptc);
    EXPECT_EQ(img.CommentText(), x.comment);
  }
}

// A photo added to the folder without facts here would go unchecked; the
// folder also stays small enough to ship with the sources.
TEST_F(ExamplePhotos, FolderHoldsExactlyTheListedPhotos) {
  std::vector<std::string> found;
  uintmax_t bytes = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(examplesDir())) {
    if (e.path().extension() != ".jpg") continue;
    found.push_back(e.path().filename().string());
    bytes += e.file_size();
  }
  std::vector<std::string> listed;
  for (const ExampleFacts& x : examples()) listed.emplace_back(x.file);
  std::sort(found.begin(), found.end());
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(found, listed);
  EXPECT_LT(bytes, 300u * 1024);
}

}  // namespace
