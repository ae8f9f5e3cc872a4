// quillmark-cli run as a separate process: exit statuses, the report's bytes,
// dry runs, the preview picture export, usage errors, inputs that cannot be
// read and a log that keeps up with the moves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testkit/exif_builder.hpp"
#include "testkit/fat_volume.hpp"
#include "testkit/jpeg_encode.hpp"
#include "testkit/photo_files.hpp"
#include "testkit/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;

using qmtest::readFile;
using qmtest::snapshot;

std::string withoutLastLine(const std::string& text) {
  const size_t end = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

struct Outcome {
  int status = -1;  // -1: ended by a signal (the alarm, for a run that hung)
  std::string out, err;
};

constexpr unsigned kSecondsAllowed = 20;
constexpr int kCannotDropRights = 125;

// Starts the program in `cwd` with a fixed locale, its standard output and
// error on the descriptors given. An alarm ends a run that hangs, so that the
// test fails instead of waiting for ever. With `ownerRights`, root does not
// keep its access override across the exec, so that permissions bind it as
// they bind anyone (status kCannotDropRights when that cannot be done).
// Where the runs of the tests keep their undo journals.
const std::string& stateFolder() {
  static qmtest::TempDir dir;
  static const std::string path = dir.path().string();
  return path;
}

pid_t spawn(const std::vector<std::string>& args, const fs::path& cwd, int out, int err, bool ownerRights) {
  const std::string state = stateFolder();
  pid_t pid = ::fork();
  if (pid != 0) return pid;
  int in = ::open("/dev/null", O_RDONLY);
  if (out < 0 || err < 0 || in < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(127);
  if (ownerRights && ::geteuid() == 0 &&
      (::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE) != 0 || ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH) != 0))
    ::_exit(kCannotDropRights);
  ::dup2(in, 0);
  ::dup2(out, 1);
  ::dup2(err, 2);
  ::setenv("LC_ALL", "C", 1);
  ::setenv("QUILLMARK_STATE_DIR", state.c_str(), 1);
  ::unsetenv("NO_COLOR");
  std::vector<char*> argv;
  static std::string program = QUILLMARK_CLI_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::alarm(kSecondsAllowed);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

int waitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the program in `cwd`, its output into files.
Outcome cli(const std::vector<std::string>& args, const fs::path& cwd, bool ownerRights = false) {
  const fs::path outFile = cwd / ".stdout", errFile = cwd / ".stderr";
  const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  Outcome r;
  r.status = waitFor(spawn(args, cwd, out, err, ownerRights));
  ::close(out);
  ::close(err);
  r.out = readFile(outFile);
  r.err = readFile(errFile);
  fs::remove(outFile);
  fs::remove(errFile);
  return r;
}

// Gives back the owner's rights on paths a test closed, so that they can be
// removed with the test's folder.
struct ReopenAtEnd {
  std::vector<fs::path> paths;
  ~ReopenAtEnd() {
    std::error_code ec;
    for (const fs::path& p : paths) fs::permissions(p, fs::perms::owner_all, ec);
  }
};

// A JPEG whose EXIF carries `preview` as its embedded preview picture.
std::string photoWithPreview(const std::string& preview) {
  qmtest::TiffBuilder b;
  int ifd0 = b.addIfd(), ifd1 = b.addIfd();
  b.ascii(ifd0, 0x0132, "2004:06:12 14:30:05").next(ifd0, ifd1);
  int blob = b.blob(preview);
  b.shortValue(ifd1, 0x0103, 6)
      .blobPointer(ifd1, 0x0201, blob)
      .longValue(ifd1, 0x0202, uint32_t(preview.size()));
  return qmtest::jpegFile({qmtest::exifSegment(b.build())});
}

struct Cli : ::testing::Test {
  qmtest::TempDir dir;
  Outcome run(const std::vector<std::string>& args, bool ownerRights = false) {
    return cli(args, dir.path(), ownerRights);
  }
  void photo(std::string_view name, std::string_view date = "2004:06:12 14:30:05") {
    dir.writeFile(name, qmtest::photoWithDate(date, std::string("bytes of ") + std::string(name)));
  }
};

TEST_F(Cli, VersionAndHelpSucceed) {
  Outcome v = run({"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out, "quillmark-cli 0.4.0.12\n");
  Outcome h = run({"--help"});
  EXPECT_EQ(h.status, 0);
  EXPECT_NE(h.out.find("rename"), std::string::npos);
  EXPECT_EQ(run({"rename", "--help"}).status, 0);
}

TEST_F(Cli, UsageErrorsExitWithTwoAndChangeNothing) {
  photo("a.jpg");
  const auto before = snapshot(dir.path());
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"rename"},
      {"rename", "missing.jpg"},
      {"rename", "a.jpg", "missing.jpg"},
      {"rename", "-d", "0", "a.jpg"},
      {"rename", "-d", "10", "a.jpg"},
      {"rename", "-d", "two", "a.jpg"},
      {"rename", "--bogus", "a.jpg"},
      {"report"},
      {"report", "missing.jpg"},
      {"thumbnail", "a.jpg"},
      {"--color", "sometimes", "formats"},
  };
  for (const auto& args : cases) {
    std::string line;
    for (const std::string& a : args) line += a + " ";
    SCOPED_TRACE(line);
    Outcome r = run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_EQ(snapshot(dir.path()), before);
}

TEST_F(Cli, ReportIsExactlyTheCompanionFile) {
  dir.writeFile("photo.jpg", qmtest::jpegFile({qmtest::commentSegment("a comment"), qmtest::exifSegment([] {
                                                 qmtest::TiffBuilder b;
                                                 int ifd0 = b.addIfd();
                                                 b.ascii(ifd0, 0x010F, "Quillcam")
                                                     .ascii(ifd0, 0x0132, "2004:06:12 14:30:05")
                                                     .rational(ifd0, 0x9205, 28, 10);
                                                 return b.build();
                                               }())}));
  Outcome report = run({"report", "photo.jpg"});
  ASSERT_EQ(report.status, 0) << report.err;
  EXPECT_NE(report.out.find("\r\nEXIF-Data\r\n"), std::string::npos);
  EXPECT_EQ(report.out.find("\x1b["), std::string::npos);

  Outcome rename = run({"rename", "--text-file", "-f", "[IYEAR]-[NAME]", "photo.jpg"});
  ASSERT_EQ(rename.status, 0) << rename.out << rename.err;
  EXPECT_EQ(readFile(dir.path() / "2004-photo.exif.txt"), report.out);
}

// Many files in one call: each text after its header, in walk order; one
// file that cannot be read is said and does not stop the others.
TEST_F(Cli, ReportAndPreviewTakeManyFilesAndFolders) {
  fs::create_directory(dir.path() / "album");
  photo("a.jpg");
  photo("album/b.jpg", "2005:01:01 00:00:00");
  photo("album/c.jpg", "2006:01:01 00:00:00");
  ASSERT_EQ(::mkfifo((dir.path() / "d.jpg").c_str(), 0600), 0);
  const Outcome one = run({"report", "a.jpg"});
  const Outcome b = run({"report", "album/b.jpg"});
  for (const char* command : {"report", "preview"}) {
    SCOPED_TRACE(command);
    const Outcome r = run({command, "a.jpg", "d.jpg", "album"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillmark-cli: cannot read " + dir.pathOf("d.jpg") + ": not a regular file\n");
    const std::string eol = std::string(command) == "report" ? "\r\n" : "\n";
    std::vector<size_t> at;
    for (const char* name : {"a.jpg", "album/b.jpg", "album/c.jpg"})
      at.push_back(r.out.find("======== " + dir.pathOf(name) + eol));
    EXPECT_TRUE(at[0] == 0 && at[0] < at[1] && at[1] < at[2] && at[2] != std::string::npos) << r.out;
    if (std::string(command) == "report") {
      EXPECT_EQ(r.out.substr(at[1], at[2] - at[1]), "======== " + dir.pathOf("album/b.jpg") + eol + b.out);
      EXPECT_EQ(r.out.substr(at[0] + 11 + dir.pathOf("a.jpg").size(), one.out.size()), one.out);
    }
  }
}

// The JSON of the three commands, read back by a real parser; texts that are
// not UTF-8 keep their bytes.
TEST_F(Cli, JsonOutputParsesAndKeepsEveryByte) {
  photo("a.jpg");
  photo("b.jpg");  // the same second: running number 02
  dir.writeFile("scan.jpg", qmtest::photoWithoutExif());
  qmtest::TiffBuilder maker;
  maker.ascii(maker.addIfd(), 0x010F, "Caf\xE9");
  dir.writeFile("c.jpg", qmtest::jpegFile({qmtest::exifSegment(maker.build())}));
  const auto before = snapshot(dir.path());

  const Outcome report = run({"report", "--json", "a.jpg", "c.jpg"});
  ASSERT_EQ(report.status, 0) << report.err;
  const auto r = nlohmann::json::parse(report.out);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0]["path"], dir.pathOf("a.jpg"));
  EXPECT_EQ(r[0]["facts"]["pictureDate"], "2004:06:12 14:30:05");
  EXPECT_EQ(r[0]["sections"]["exif"][0]["name"], "Make");
  EXPECT_EQ(r[0]["sections"]["exif"][0]["tag"], 0x010F);
  EXPECT_EQ(r[0]["status"], "<none>");
  EXPECT_EQ(r[1]["facts"]["make"], (nlohmann::json{{"bytes", "436166e9"}, {"text", "Café"}}));

  const Outcome preview = run({"preview", "--json", "-t", "x", "a.jpg", "scan.jpg"});
  const auto p = nlohmann::json::parse(preview.out);
  EXPECT_EQ(p[0]["newPath"], dir.pathOf("20040612-143005-01x.jpg"));
  EXPECT_EQ(p[0]["elements"]["TEXT"], "x");
  EXPECT_TRUE(p[0]["elements"]["NUMBER"].is_null());
  EXPECT_EQ(p[1]["complete"], false);

  const Outcome plan = run({"rename", "--dry-run", "--json", "a.jpg", "b.jpg", "scan.jpg"});
  EXPECT_EQ(plan.status, 1);
  const auto d = nlohmann::json::parse(plan.out);
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[1]["oldPath"], dir.pathOf("b.jpg"));
  EXPECT_EQ(d[1]["newPath"], dir.pathOf("20040612-143005-02.jpg"));
  EXPECT_EQ(d[1]["status"], "renamed");
  EXPECT_EQ(d[2]["status"], "incomplete");
  EXPECT_TRUE(d[2]["newPath"].is_null());
  EXPECT_EQ(snapshot(dir.path()), before);
}

// Each row of the JSON report sits in the section of the directory it was
// read from, and the maker-note section names the make that decoded it.
TEST_F(Cli, JsonReportSortsRowsByDirectory) {
  const std::string photo = std::string(QUILLMARK_EXAMPLES_DIR) + "/DSC_0420.jpg";
  const Outcome report = run({"report", "--json", photo});
  ASSERT_EQ(report.status, 0) << report.err;
  const auto s = nlohmann::json::parse(report.out)[0]["sections"];
  auto names = [&](const char* section) {
    std::vector<std::string> out;
    for (const auto& row : s[section]) out.push_back(row["name"]);
    return out;
  };
  for (const std::string& name : names("gps")) EXPECT_EQ(name.rfind("GPS", 0), 0u) << name;
  EXPECT_FALSE(names("gps").empty());
  EXPECT_EQ(names("interoperability"),
            (std::vector<std::string>{"InteroperabilityIndex", "InteroperabilityVersion"}));
  for (const std::string& name : names("exif")) {
    EXPECT_NE(name.rfind("GPSLatitude", 0), 0u) << name;
    EXPECT_NE(name, "InteroperabilityIndex");
  }
  EXPECT_EQ(s["makerNotes"]["maker"], "NIKON CORPORATION");
  EXPECT_FALSE(s["makerNotes"]["rows"].empty());
}

TEST_F(Cli, ExitStatusTellsWhetherEverythingWasRenamed) {
  struct Case {
    const char* what;
    std::vector<std::string> files;  // "-" prefix: a photo without EXIF
    std::vector<std::string> args;
    int status;
    std::vector<std::string> after;
  };
  const std::vector<Case> cases = {
      {"all renamed",
       {"a.jpg", "b.jpg"},
       {"rename", "-f", "[IYEAR]-[NUMBER]", "."},
       0,
       {"2004-01.jpg", "2004-02.jpg"}},
      {"all already named", {"a.jpg"}, {"rename", "-f", "[NAME]", "a.jpg"}, 0, {"a.jpg"}},
      {"one without EXIF",
       {"a.jpg", "-scan.jpg"},
       {"rename", "-f", "[IYEAR]-[NUMBER]", "a.jpg", "scan.jpg"},
       1,
       {"2004-01.jpg", "scan.jpg"}},
      {"destination taken",
       {"a.jpg", "2004.jpg"},
       {"rename", "-f", "[IYEAR]", "a.jpg"},
       1,
       {"2004.jpg", "a.jpg"}},
      {"user text and digits",
       {"a.jpg"},
       {"rename", "-f", "[IYEAR]-[NUMBER][TEXT]", "-t", "-trip", "-d", "3", "."},
       0,
       {"2004-001-trip.jpg"}},
      {"nothing to rename", {"notes.txt"}, {"rename", "notes.txt"}, 1, {"notes.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qmtest::TempDir folder;
    for (const std::string& f : c.files) {
      if (f[0] == '-')
        folder.writeFile(f.substr(1), qmtest::photoWithoutExif(f));
      else
        folder.writeFile(f, qmtest::photoWithDate("2004:06:12 14:30:05", f));
    }
    Outcome r = cli(c.args, folder.path());
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    std::vector<std::string> names;
    for (const auto& [name, bytes] : snapshot(folder.path())) names.push_back(name);
    EXPECT_EQ(names, c.after);
  }
}

// A memory card: `shot.jpg` and its report `shot.exif.txt` lie beside the
// photos renamed to `Shot`, and on FAT `Shot.exif.txt` is that very report.
// It is kept whole, and the log says once that the moves could only test
// their destination first.
TEST_F(Cli, OnAFatVolumeAnotherPhotosCompanionInAnotherCaseIsKept) {
  if (qmtest::FatVolume probe; !probe.ready()) GTEST_SKIP() << probe.why();
  const auto tiff = [](const char* date) {
    qmtest::TiffBuilder b;
    b.ascii(b.addIfd(), 0x0132, date);
    return b.build();
  };
  struct Case {
    const char* what;
    std::map<std::string, std::string> files;
    std::vector<std::string> args;  // the paths given relative to the volume
    int status;
    std::map<std::string, std::string> after;  // name -> bytes ("" : any bytes)
  };
  const std::string shot = qmtest::photoWithDate("2003:01:01 10:00:00", "shot");
  const std::string img1 = tiff("2004:06:12 14:30:05"), img2 = tiff("2004:06:13 09:00:00");
  const std::vector<Case> cases = {
      {"a report asked for",
       {{"shot.jpg", shot}, {"shot.exif.txt", "notes on shot"}, {"IMG_1.tif", img1}},
       {"rename", "--text-file", "-f", "Shot", "IMG_1.tif"},
       1,
       {{"shot.jpg", shot}, {"shot.exif.txt", "notes on shot"}, {"Shot.tif", img1}}},
      {"the photo's own companion",
       {{"shot.jpg", shot},
        {"shot.exif.txt", "notes on shot"},
        {"IMG_1.tif", img1},
        {"IMG_1.exif.txt", "mine"}},
       {"rename", "-f", "Shot", "IMG_1.tif"},
       1,
       {{"shot.jpg", shot},
        {"shot.exif.txt", "notes on shot"},
        {"Shot.tif", img1},
        {"IMG_1.exif.txt", "mine"}}},
      {"several photos",
       {{"shot.jpg", shot}, {"shot.exif.txt", "notes on shot"}, {"IMG_1.tif", img1}, {"IMG_2.tif", img2}},
       {"rename", "--text-file", "-f", "Shot[NUMBER]", "IMG_1.tif", "IMG_2.tif"},
       0,
       {{"shot.jpg", shot},
        {"shot.exif.txt", "notes on shot"},
        {"Shot01.tif", img1},
        {"Shot01.exif.txt", ""},
        {"Shot02.tif", img2},
        {"Shot02.exif.txt", ""}}},
  };
  const std::string note =
      "Attention: ce volume ne permet pas de renommer sans risque d'écraser; "
      "chaque nom est vérifié juste avant le déplacement\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qmtest::FatVolume fat;
    ASSERT_TRUE(fat.ready()) << fat.why();
    for (const auto& [name, bytes] : c.files) fat.writeFile(name, bytes);
    std::vector<std::string> args = c.args;
    for (std::string& a : args)
      if (a.ends_with(".tif")) a = fat.pathOf(a);
    const Outcome r = run(args);

    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    const auto files = snapshot(fat.root());
    std::vector<std::string> names, expected;
    for (const auto& [name, bytes] : files) names.push_back(name);
    for (const auto& [name, bytes] : c.after) expected.push_back(name);
    EXPECT_EQ(names, expected) << r.out;
    for (const auto& [name, bytes] : c.after) {
      if (!bytes.empty() && files.count(name)) {
        EXPECT_EQ(files.at(name), bytes) << name;
      }
    }
    if (c.status != 0) {
      const std::string kept = "le fichier existe déjà et accompagne " + fat.pathOf("shot.jpg");
      EXPECT_NE(r.out.find(kept), std::string::npos) << r.out;
    }
    size_t notes = 0;
    for (size_t at = r.out.find(note); at != std::string::npos; at = r.out.find(note, at + 1)) ++notes;
    EXPECT_EQ(notes, 1u) << r.out;
  }
}

TEST_F(Cli, DryRunTouchesNothingAndShowsTheRealNumbers) {
  photo("a.jpg");
  photo("b.jpg");
  photo("2004-01.jpg", "2003:01:01 00:00:00");
  dir.writeFile("a.exif.txt", "old report");
  const auto before = snapshot(dir.path());
  const std::vector<std::string> args = {"rename",      "--text-file", "-f",   "[IYEAR]-[NUMBER]",
                                         "2004-01.jpg", "a.jpg",       "b.jpg"};
  std::vector<std::string> dryArgs = args;
  dryArgs.insert(dryArgs.begin() + 1, "--dry-run");
  Outcome dry = run(dryArgs);
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(snapshot(dir.path()), before);
  const std::string root = dir.path().string();
  EXPECT_NE(dry.out.find("Ok: " + root + "/2004-01.jpg => " + root + "/2003-01.jpg\n"), std::string::npos)
      << dry.out;
  EXPECT_NE(dry.out.find("Ok: " + root + "/a.jpg => " + root + "/2004-01.jpg\n"), std::string::npos)
      << dry.out;
  EXPECT_NE(dry.out.find("Ok: " + root + "/b.jpg => " + root + "/2004-02.jpg\n"), std::string::npos)
      << dry.out;

  Outcome real = run(args);
  EXPECT_EQ(real.status, 0) << real.err;
  // The real run logs what the dry run foretold; only the notice and the
  // closing count differ.
  const std::string notice = "Dry run: nothing is changed on disk.\n";
  ASSERT_EQ(dry.out.rfind(notice, 0), 0u);
  EXPECT_EQ(withoutLastLine(dry.out.substr(notice.size())), withoutLastLine(real.out));
  EXPECT_NE(dry.out.find("3 to rename, 0 unchanged, 0 not renamed\n"), std::string::npos);
  EXPECT_NE(real.out.find("3 renamed, 0 unchanged, 0 not renamed\n"), std::string::npos);
  EXPECT_EQ(readFile(dir.path() / "2004-01.exif.txt"), "old report");
}

TEST_F(Cli, LogAndPreviewUseLineFeedsAndColoursOnlyWhenAsked) {
  photo("IMG_0001.JPG");
  Outcome preview = run({"preview", "IMG_0001.JPG"});
  EXPECT_EQ(preview.status, 0);
  EXPECT_NE(preview.out.find("\t20040612-143005-01.jpg\n"), std::string::npos) << preview.out;
  EXPECT_NE(preview.out.find("IYEAR       = '2004'  (Image date Year)\n"), std::string::npos);
  EXPECT_EQ(preview.out.find('\r'), std::string::npos);
  EXPECT_EQ(preview.out.find("\x1b["), std::string::npos);

  Outcome coloured = run({"--color", "always", "rename", "--dry-run", "IMG_0001.JPG"});
  EXPECT_EQ(coloured.status, 0);
  EXPECT_NE(coloured.out.find("\x1b[1;32mOk: \x1b[0m"), std::string::npos) << coloured.out;
  EXPECT_NE(coloured.out.find("\x1b[1;34mChangement des noms\x1b[0m\n"), std::string::npos) << coloured.out;
}

TEST_F(Cli, ThumbnailWritesTheEmbeddedPreviewAndNeverOverwritesUnasked) {
  const std::string tiny = qmtest::encodeJpeg(16, 8, 10, 200, 10);
  dir.writeFile("with.jpg", photoWithPreview(tiny));
  photo("without.jpg");

  Outcome none = run({"thumbnail", "without.jpg", "-o", "out.jpg"});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("no embedded preview"), std::string::npos) << none.err;
  EXPECT_FALSE(fs::exists(dir.path() / "out.jpg"));

  Outcome ok = run({"thumbnail", "with.jpg", "-o", "out.jpg"});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(readFile(dir.path() / "out.jpg"), tiny);

  dir.writeFile("out.jpg", "keep me");
  Outcome again = run({"thumbnail", "with.jpg", "-o", "out.jpg"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(readFile(dir.path() / "out.jpg"), "keep me");

  Outcome forced = run({"thumbnail", "with.jpg", "-o", "out.jpg", "--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(readFile(dir.path() / "out.jpg"), tiny);
  std::vector<std::string> names;
  for (const auto& [name, bytes] : snapshot(dir.path())) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"out.jpg", "with.jpg", "without.jpg"}));
}

// An output path that is a symbolic link is never replaced itself: the
// preview goes through it into a regular file, and any other link is refused.
TEST_F(Cli, ThumbnailWritesThroughALinkOrRefusesIt) {
  const std::string preview = qmtest::encodeJpeg(16, 8, 10, 200, 10);
  struct Case {
    const char* why;
    std::string target;  // what the link "out.jpg" leads to
    bool force;
    int status;
    std::string said;  // in the message on standard error
  };
  const std::vector<Case> cases = {
      {"to a regular file, replaced", "old.jpg", true, 0, ""},
      {"through two links", "hop.jpg", true, 0, ""},
      {"to a regular file, without --force", "old.jpg", false, 1, "--force"},
      {"to a FIFO", "pipe.jpg", true, 1, "out.jpg is a symbolic link to something other than a regular file"},
      {"to a device", "/dev/null", true, 1,
       "out.jpg is a symbolic link to something other than a regular file"},
      {"to a folder", "folder", true, 1, "out.jpg is a symbolic link to something other than a regular file"},
      {"to nothing", "gone.jpg", true, 1, "out.jpg is a symbolic link to nothing"},
      {"to the photo", "with.jpg", true, 1, "is the photo with.jpg itself"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    qmtest::TempDir folder;
    folder.writeFile("with.jpg", photoWithPreview(preview));
    folder.writeFile("old.jpg", "old");
    fs::create_symlink("old.jpg", folder.path() / "hop.jpg");
    fs::create_directory(folder.path() / "folder");
    ASSERT_EQ(::mkfifo(folder.pathOf("pipe.jpg").c_str(), 0644), 0);
    fs::create_symlink(c.target, folder.path() / "out.jpg");
    std::vector<std::string> args = {"thumbnail", "with.jpg", "-o", "out.jpg"};
    if (c.force) args.push_back("--force");
    const Outcome r = cli(args, folder.path());
    EXPECT_EQ(r.status, c.status) << r.err;
    if (!c.said.empty()) {
      EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    }
    // The link itself stays as it was, whatever happened through it.
    std::error_code ec;
    EXPECT_EQ(fs::read_symlink(folder.path() / "out.jpg", ec), c.target) << "the link was replaced";
    EXPECT_TRUE(readFile(folder.path() / "old.jpg") == (c.status == 0 ? preview : "old"));
    EXPECT_TRUE(fs::is_fifo(folder.path() / "pipe.jpg"));
    EXPECT_TRUE(readFile(folder.path() / "with.jpg") == photoWithPreview(preview));
    EXPECT_FALSE(fs::exists(folder.path() / "gone.jpg"));
  }
}

// File names that hold control characters reach the output, the messages
// and the companion files escaped, never raw.
TEST_F(Cli, ControlCharactersInNamesAreShownEscaped) {
  const std::string folder = "album\x1b[2J", named = folder + "/p\a\t.jpg";
  const std::string shownFolder = "album\\x1b[2J", shownPhoto = shownFolder + "/p\\x07\\x09.jpg";
  fs::create_directory(dir.path() / folder);
  photo(named);
  photo(folder + "/q.jpg");
  auto clean = [](const std::string& text) {
    return text.find_first_of("\x1b\x07") == std::string::npos && text.find("\t.jpg") == std::string::npos;
  };
  struct Case {
    const char* why;
    std::vector<std::string> args;
    std::string shown;    // in the output
    std::string message;  // on standard error
  };
  const std::vector<Case> cases = {
      {"preview header and name", {"preview", folder}, "======== " + dir.pathOf(shownPhoto) + "\n", ""},
      {"preview element", {"preview", named}, "NAME        = 'p\\x07\\x09'", ""},
      {"report summary", {"report", named}, "File Name: p\\x07\\x09.jpg\r\n", ""},
      {"message",
       {"thumbnail", named, "-o", "out.jpg"},
       "",
       "quillmark-cli: " + shownPhoto + ": no embedded preview"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const Outcome r = run(c.args);
    EXPECT_TRUE(clean(r.out)) << r.out;
    EXPECT_TRUE(clean(r.err)) << r.err;
    EXPECT_NE(r.out.find(c.shown), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }

  // The companion file written by a run, and the run's folder in the list of runs.
  const Outcome renamed = run({"rename", "--text-file", "-f", "[NAME]-x[EXT]", named});
  ASSERT_EQ(renamed.status, 0) << renamed.err;
  const std::string companion = readFile(dir.path() / folder / "p\a\t-x.exif.txt");
  EXPECT_NE(companion.find("File Name: p\\x07\\x09.jpg\r\n"), std::string::npos) << companion;
  EXPECT_TRUE(clean(companion));
  const Outcome runs = run({"undo", "--list"});
  EXPECT_NE(runs.out.find(dir.pathOf(shownFolder)), std::string::npos) << runs.out;
  EXPECT_TRUE(clean(runs.out)) << runs.out;
}

TEST_F(Cli, UnknownCommandIsNamedWithTheCommandsThereAre) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"bogus"}, {"--color", "never", "bogus", "x"}}) {
    SCOPED_TRACE(args.size());
    Outcome r = run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "quillmark-cli: unknown command 'bogus'; the commands are: formats, preview, rename, report, "
              "thumbnail, undo\n"
              "Run with --help for more information.\n");
  }
}

TEST_F(Cli, InputThatCannotBeReadFailsWithTheSystemsReason) {
  fs::create_directory(dir.path() / "closed");
  photo("closed/a.jpg");
  photo("locked.jpg");
  ASSERT_EQ(::mkfifo(dir.pathOf("pipe.jpg").c_str(), 0644), 0);
  ReopenAtEnd reopen{{dir.path() / "closed", dir.path() / "locked.jpg"}};
  for (const fs::path& p : reopen.paths) fs::permissions(p, fs::perms::none);

  const std::vector<std::pair<std::string, std::string>> inputs = {{"pipe.jpg", "not a regular file"},
                                                                   {"locked.jpg", "Permission denied"},
                                                                   {"closed/a.jpg", "Permission denied"}};
  const std::vector<std::vector<std::string>> commands = {
      {"report"}, {"preview"}, {"thumbnail", "-o", "out.jpg"}};
  for (const auto& [input, reason] : inputs) {
    for (std::vector<std::string> args : commands) {
      args.insert(args.begin() + 1, input);
      SCOPED_TRACE(args[0] + " " + input);
      Outcome r = run(args, true);
      if (r.status == kCannotDropRights) GTEST_SKIP() << "root's access override cannot be dropped here";
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "quillmark-cli: " + input + ": " + reason + "\n");
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_FALSE(fs::exists(dir.path() / "out.jpg"));
}

TEST_F(Cli, RenameNamesThePathsItCouldNotReadAndFails) {
  struct Case {
    const char* what;
    std::string path, reason;
    void (*make)(const fs::path& folder);
  };
  const std::vector<Case> cases = {
      {"sub-folder without permissions", "sub", "Permission denied",
       [](const fs::path& folder) {
         fs::create_directory(folder / "sub");
         std::ofstream(folder / "sub" / "b.jpg") << qmtest::photoWithDate("2004:06:12 14:30:05", "b");
         fs::permissions(folder / "sub", fs::perms::none);
       }},
      {"link that loops", "loop", "Too many levels of symbolic links",
       [](const fs::path& folder) { fs::create_symlink("loop", folder / "loop"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qmtest::TempDir folder;
    ReopenAtEnd reopen{{folder.path() / c.path}};
    folder.writeFile("a.jpg", qmtest::photoWithDate("2004:06:12 14:30:05", "a"));
    c.make(folder.path());
    Outcome r = cli({"rename", "-f", "[IYEAR]-[NUMBER]", "."}, folder.path(), true);
    if (r.status == kCannotDropRights) GTEST_SKIP() << "root's access override cannot be dropped here";
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.err.find("quillmark-cli: cannot read " + (folder.path() / c.path).string() + ": " + c.reason +
                         "\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("1 renamed, 0 unchanged, 0 not renamed, 1 paths not read\n"), std::string::npos)
        << r.out;
    EXPECT_TRUE(fs::exists(folder.path() / "2004-01.jpg"));
  }
}

TEST_F(Cli, RenameKilledMidwayHasLoggedEveryMoveItMade) {
  // More log than a one-page pipe and the standard output's buffer hold: the
  // run stops at a write that cannot go through, and is killed there.
  constexpr int kPhotos = 300;
  for (int i = 0; i < kPhotos; ++i) photo("photo_" + std::to_string(1000 + i) + ".jpg");
  int pipeEnds[2];
  ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
  ::fcntl(pipeEnds[1], F_SETPIPE_SZ, 4096);
  const int err = ::open((dir.path() / ".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const pid_t pid = spawn({"rename", "-f", "[NAME]-moved[EXT]", "."}, dir.path(), pipeEnds[1], err, false);
  ::close(pipeEnds[1]);
  ::close(err);

  auto moved = [this] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) n += e.path().string().ends_with("-moved.jpg");
    return n;
  };
  int count = -1, stillFor = 0;
  for (int polls = 0; polls < 400 && stillFor < 5; ++polls) {
    ::usleep(50 * 1000);
    const int now = moved();
    stillFor = now == count ? stillFor + 1 : 0;
    count = now;
  }
  ::kill(pid, SIGKILL);
  waitFor(pid);
  std::string log;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) log.append(buffer, size_t(n));
  ::close(pipeEnds[0]);

  int logged = 0;
  for (size_t at = 0; (at = log.find("\nOk: ", at)) != std::string::npos; ++at)
    logged += log.find('\n', at + 1) != std::string::npos;
  const int done = moved();
  ASSERT_GT(done, 0);
  ASSERT_LT(done, kPhotos) << "the run was to stop at a full pipe";
  // The move that was under way when the run was killed may be unlogged.
  EXPECT_LE(done, logged + 1) << log;
}

// A log that cannot be written (its reader gone, a full disk) neither stops
// nor kills a run: every photo is renamed, and the exit status says how the
// renames went.
TEST_F(Cli, RenameGoesOnWhenTheLogCannotBeWritten) {
  struct Case {
    const char* why;
    bool closedPipe;  // else the full device
    bool blocked;     // the new name of one photo is taken by a folder
    int status;
    std::string said;
  };
  const std::vector<Case> cases = {
      {"reader gone", true, false, 0, ""},
      {"reader gone, one photo not renamed", true, true, 1, ""},
      {"disk full", false, false, 0,
       "quillmark-cli: cannot write the log to standard output: No space left on device\n"},
  };
  constexpr int kPhotos = 40;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    qmtest::TempDir folder;
    for (int i = 0; i < kPhotos; ++i)
      folder.writeFile("p" + std::to_string(100 + i) + ".jpg", qmtest::photoWithDate("2004:06:12 14:30:05"));
    if (c.blocked) fs::create_directory(folder.path() / "p100-moved.jpg");
    int out = -1;
    if (c.closedPipe) {
      int ends[2];
      ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
      ::close(ends[0]);
      out = ends[1];
    } else {
      out = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
      if (out < 0) GTEST_SKIP() << "no /dev/full here";
    }
    const fs::path errFile = folder.path() / ".stderr";
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int status =
        waitFor(spawn({"rename", "-f", "[NAME]-moved[EXT]", "."}, folder.path(), out, err, false));
    ::close(out);
    ::close(err);
    EXPECT_EQ(status, c.status) << "-1: ended by a signal";
    EXPECT_EQ(readFile(errFile), c.said);
    int moved = 0;
    for (const auto& e : fs::directory_iterator(folder.path()))
      moved += e.is_regular_file() && e.path().string().ends_with("-moved.jpg");
    EXPECT_EQ(moved, kPhotos - (c.blocked ? 1 : 0));
  }
}

TEST_F(Cli, ThumbnailNeverReplacesItsPhotoNorASpecialFile) {
  const std::string preview = qmtest::encodeJpeg(16, 8, 10, 200, 10);
  dir.writeFile("with.jpg", photoWithPreview(preview));
  dir.writeFile("broken.jpg", photoWithPreview("\xFF\xD8\xFF\xDB" + std::string(400, '\x55') + "\xFF\xD9"));
  fs::create_hard_link(dir.path() / "with.jpg", dir.path() / "link.jpg");
  ASSERT_EQ(::mkfifo(dir.pathOf("pipe.jpg").c_str(), 0644), 0);
  const auto before = snapshot(dir.path());
  struct Case {
    std::string input, output, reason;
  };
  const std::vector<Case> cases = {
      {"with.jpg", "with.jpg", "with.jpg is the photo with.jpg itself"},
      {"with.jpg", "./with.jpg", "./with.jpg is the photo with.jpg itself"},
      {"with.jpg", "link.jpg", "link.jpg is the photo with.jpg itself"},
      {"link.jpg", "with.jpg", "with.jpg is the photo link.jpg itself"},
      {"with.jpg", "pipe.jpg", "pipe.jpg exists and is not a regular file"},
      {"broken.jpg", "out.jpg", "broken.jpg: the embedded preview is not a JPEG picture"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input + " -o " + c.output);
    Outcome r = run({"thumbnail", c.input, "-o", c.output, "--force"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
  }
  EXPECT_EQ(snapshot(dir.path()), before);
  EXPECT_TRUE(fs::is_fifo(dir.path() / "pipe.jpg"));
}

}  // namespace
