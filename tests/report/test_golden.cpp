// The report and the name preview of every real camera file and every bundled
// example photo, compared byte for byte with the texts kept in tests/golden.
// Each file is read from a copy in a folder of its own, with a fixed
// modification time, time zone and locale, so that nothing but the file's
// bytes decides the output.
//
// QUILLMARK_UPDATE_GOLDEN=1 rewrites the kept texts from the current build
// (review the difference before committing it).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "metadata/locale.hpp"
#include "naming/format.hpp"
#include "naming/naming.hpp"
#include "report/report.hpp"
#include "testkit/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = fs::path(QUILLMARK_SOURCE_DIR) / "tests" / "golden";

bool isPhoto(const fs::path& p) {
  static const std::vector<std::string> kinds{".jpg", ".jpeg", ".tif", ".tiff", ".nef"};
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const std::string& k : kinds)
    if (ext == k) return true;
  return false;
}

std::vector<fs::path> photosIn(const fs::path& folder) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file() && isPhoto(it->path())) found.push_back(it->path());
  std::sort(found.begin(), found.end());
  return found;
}

struct Texts {
  std::string report;
  std::string preview;
};

// The two texts of one photo, read from a lone copy with a fixed date. With
// `factsFirst`, as a batch rename reads it: the facts for the name, then the
// rest for the companion report.
Texts textsOf(const fs::path& photo, bool factsFirst) {
  qmtest::TempDir dir;
  const fs::path copy = dir.path() / photo.filename();
  fs::copy_file(photo, copy);
  struct tm when {};
  when.tm_year = 2005 - 1900;
  when.tm_mon = 5;
  when.tm_mday = 7;
  when.tm_hour = 8;
  when.tm_min = 9;
  when.tm_sec = 10;
  const time_t stamp = timegm(&when);
  struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
  EXPECT_EQ(::utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);

  meta::TimgData img;
  img.FactsOnly = factsFirst;
  naming::TNaming naming(img, naming::realFileSystem());
  naming.ParseFormat(naming::DefaultFormat());
  naming.EvaluateFile(copy.string());
  Texts t;
  output::RecordingSink name, report;
  report::ShowNamePane(name, naming, true);
  img.DecodeFully();
  report::ShowReportPane(report, img, {});
  t.preview = name.text();
  t.report = report.text();
  return t;
}

void compareOrUpdate(const fs::path& golden, const std::string& actual) {
  if (std::getenv("QUILLMARK_UPDATE_GOLDEN")) {
    fs::create_directories(golden.parent_path());
    std::ofstream(golden, std::ios::binary) << actual;
    return;
  }
  ASSERT_TRUE(fs::exists(golden)) << golden << " is missing (QUILLMARK_UPDATE_GOLDEN=1 writes it)";
  EXPECT_EQ(qmtest::readFile(golden), actual) << "differs from " << golden;
}

void checkFolder(const fs::path& folder, const std::string& set) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  meta::setCurrentLocale(meta::Locale{'.', "%d/%m/%Y"});
  const std::vector<fs::path> photos = photosIn(folder);
  ASSERT_FALSE(photos.empty());
  for (const fs::path& photo : photos) {
    SCOPED_TRACE(photo.string());
    const Texts t = textsOf(photo, false);
    const fs::path base = kGoldenDir / set / photo.filename();
    compareOrUpdate(base.string() + ".report.txt", t.report);
    compareOrUpdate(base.string() + ".preview.txt", t.preview);
    if (std::getenv("QUILLMARK_UPDATE_GOLDEN")) continue;
    SCOPED_TRACE("facts first, then the rest");
    const Texts lazy = textsOf(photo, true);
    compareOrUpdate(base.string() + ".report.txt", lazy.report);
    compareOrUpdate(base.string() + ".preview.txt", lazy.preview);
  }
}

TEST(Golden, SampleCameraFiles) {
  const fs::path samples = QUILLMARK_SAMPLES_DIR;
  if (!fs::is_directory(samples)) GTEST_SKIP() << "no sample folder at " << samples;
  checkFolder(samples, "samples");
}

TEST(Golden, ExamplePhotos) { checkFolder(QUILLMARK_EXAMPLES_DIR, "examples"); }

}  // namespace
