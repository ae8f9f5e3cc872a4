#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "naming/file_system.hpp"
#include "naming/simulated_file_system.hpp"
#include "testkit/fat_volume.hpp"
#include "testkit/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using naming::detail::MoveResult;

std::string contentOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

using MoveFn = MoveResult (*)(const std::string&, const std::string&);

struct Way {
  const char* name;
  MoveFn move;
};

const Way kWays[] = {
    {"renameat2", naming::detail::moveAtomically},
    {"link and unlink", naming::detail::moveByLink},
    {"test then rename", naming::detail::moveAfterTest},
    {"chosen way",
     [](const std::string& f, const std::string& t) {
       return naming::detail::moveWithoutReplacing(f, t) ? MoveResult::Moved : MoveResult::Refused;
     }},
};

TEST(FileSystem, EveryWayOfMovingNeverReplaces) {
  for (const Way& way : kWays) {
    SCOPED_TRACE(way.name);
    qmtest::TempDir dir;
    fs::create_directory(dir.path() / "other");
    fs::create_directory(dir.path() / "folder");
    const std::string a = dir.writeFile("a.jpg", "A"), b = dir.writeFile("b.jpg", "B");
    const std::string c = dir.writeFile("c.jpg", "C");

    MoveResult r = way.move(a, b);
    if (r == MoveResult::Unsupported) GTEST_SKIP() << "not supported by this file system";
    EXPECT_EQ(r, MoveResult::Refused);
    EXPECT_EQ(contentOf(a), "A");
    EXPECT_EQ(contentOf(b), "B");

    EXPECT_EQ(way.move(a, dir.pathOf("folder")), MoveResult::Refused);  // a folder is in the way
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
    EXPECT_EQ(way.move(dir.pathOf("none.jpg"), dir.pathOf("x.jpg")), MoveResult::Refused);
    EXPECT_EQ(way.move(a, dir.pathOf("missing/x.jpg")), MoveResult::Refused);

    EXPECT_EQ(way.move(a, dir.pathOf("a2.jpg")), MoveResult::Moved);
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(contentOf(dir.pathOf("a2.jpg")), "A");
    EXPECT_EQ(way.move(c, dir.pathOf("other/c.jpg")), MoveResult::Moved);  // into another folder
    EXPECT_EQ(contentOf(dir.pathOf("other/c.jpg")), "C");
  }
}

TEST(FileSystem, RealFileSystemOperations) {
  qmtest::TempDir dir;
  naming::FileSystem& real = naming::realFileSystem();
  const std::string a = dir.writeFile("a.jpg", "A");
  fs::create_directory(dir.path() / "sub");
  fs::create_symlink(a, dir.path() / "link.jpg");
  fs::create_symlink(dir.pathOf("gone.jpg"), dir.path() / "dangling.jpg");

  EXPECT_TRUE(real.fileExists(a));
  EXPECT_TRUE(real.fileExists(dir.pathOf("link.jpg")));
  EXPECT_FALSE(real.fileExists(dir.pathOf("dangling.jpg")));
  EXPECT_FALSE(real.fileExists(dir.pathOf("sub")));
  EXPECT_TRUE(real.folderExists(dir.pathOf("sub")));
  EXPECT_FALSE(real.folderExists(a));

  // A dangling link is still a name in the way.
  EXPECT_FALSE(real.moveFile(a, dir.pathOf("dangling.jpg")));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling.jpg"));

  EXPECT_FALSE(real.deleteFile(dir.pathOf("sub")));  // never a folder
  EXPECT_TRUE(real.deleteFile(dir.pathOf("link.jpg")));
  EXPECT_TRUE(real.fileExists(a));
  EXPECT_FALSE(real.deleteFile(dir.pathOf("link.jpg")));

  auto sink = real.createTextFile(dir.pathOf("a.exif.txt"));
  sink->WriteRich("line\r\n", output::TextStyle{});
  sink->close();
  EXPECT_EQ(contentOf(dir.pathOf("a.exif.txt")), "line\r\n");
}

// A companion appears whole or not at all, and never replaces or truncates a
// file that has its name, even one that appears while it is written.
TEST(RealFileSystem, CompanionsAppearWholeOrNotAtAll) {
  qmtest::TempDir dir;
  naming::FileSystem& real = naming::realFileSystem();
  const std::string path = dir.pathOf("a.exif.txt");
  auto names = [&] {
    std::vector<std::string> all = real.namesIn(dir.path().string() + "/");
    std::sort(all.begin(), all.end());
    return all;
  };

  {
    auto dropped = real.createTextFile(path);
    dropped->WriteRich("half a report", output::TextStyle{});
    EXPECT_FALSE(fs::exists(path)) << "visible before it is complete";
  }
  EXPECT_TRUE(names().empty()) << "a dropped companion leaves a file behind";

  auto sink = real.createTextFile(path);
  sink->WriteRich("report\r\n", output::TextStyle{});
  dir.writeFile("a.exif.txt", "notes");  // another program takes the name meanwhile
  EXPECT_THROW(sink->close(), output::IoFault);
  EXPECT_EQ(contentOf(path), "notes");
  EXPECT_EQ(names(), std::vector<std::string>{"a.exif.txt"});
}

// Two names and whether they are one entry where letter case counts and
// where it does not.
struct EntryCase {
  const char* a;
  const char* b;
  bool sameWhereCaseCounts;
  bool sameWhereCaseFolds;
};

const EntryCase kEntryCases[] = {
    {"shot.exif.txt", "shot.exif.txt", true, true},
    {"shot.exif.txt", "Shot.exif.txt", false, true},
    {"SHOT.EXIF.TXT", "shot.exif.txt", false, true},
    {"shot.jpg", "shot.exif.txt", false, false},
    {"shot.exif.txt", "shot2.exif.txt", false, false},
    {"new.exif.txt", "NEW.exif.txt", false, true},  // neither exists
    {"IMG_1.TIF", "img_1.tif", false, true},        // one exists
};

// Both the machine's file system and a dry run's, which asks the volume too.
void expectEntries(const std::string& folder, bool foldsCase) {
  naming::SimulatedFileSystem simulated(naming::realFileSystem());
  naming::FileSystem& real = naming::realFileSystem();
  for (naming::FileSystem* files : {&real, static_cast<naming::FileSystem*>(&simulated)}) {
    SCOPED_TRACE(files == &simulated ? "simulated" : "real");
    for (const EntryCase& c : kEntryCases) {
      SCOPED_TRACE(std::string(c.a) + " / " + c.b);
      const bool expected = foldsCase ? c.sameWhereCaseFolds : c.sameWhereCaseCounts;
      EXPECT_EQ(files->sameEntry(folder, c.a, c.b), expected);
      EXPECT_EQ(files->sameEntry(folder, c.b, c.a), expected);
    }
  }
}

TEST(FileSystem, SameEntryIsTheVolumesAnswerOnAnOrdinaryFolder) {
  qmtest::TempDir dir;
  dir.writeFile("shot.jpg", "photo");
  dir.writeFile("shot.exif.txt", "report");
  dir.writeFile("img_1.tif", "photo");
  if (fs::exists(dir.path() / "SHOT.JPG"))
    GTEST_SKIP() << "the temporary folder does not tell letter case apart";
  expectEntries(dir.path().string() + "/", false);
}

// A folder that cannot be asked (missing, or no name in it to try) keeps
// names in another case together: the side on which no file is lost.
TEST(FileSystem, SameEntryTakesCaseVariantsAsOneWhereTheVolumeCannotBeAsked) {
  qmtest::TempDir dir;
  fs::create_directory(dir.path() / "empty");
  for (const std::string& folder : {dir.pathOf("missing") + "/", dir.pathOf("empty") + "/"}) {
    SCOPED_TRACE(folder);
    EXPECT_TRUE(naming::realFileSystem().sameEntry(folder, "shot.exif.txt", "Shot.exif.txt"));
    EXPECT_FALSE(naming::realFileSystem().sameEntry(folder, "shot.exif.txt", "shop.exif.txt"));
  }
}

TEST(FileSystem, SameEntryIsTheVolumesAnswerOnAFatVolume) {
  qmtest::FatVolume fat;
  if (!fat.ready()) GTEST_SKIP() << fat.why();
  fat.writeFile("shot.jpg", "photo");
  fat.writeFile("shot.exif.txt", "report");
  fat.writeFile("img_1.tif", "photo");
  expectEntries(fat.root().string() + "/", true);
}

// On a volume with neither no-replace renames nor hard links, a move tests its
// destination, in any letter case there, and is counted; elsewhere a move is
// not counted.
TEST(FileSystem, MovesOnAFatVolumeTestTheirDestinationAndAreCounted) {
  qmtest::FatVolume fat;
  if (!fat.ready()) GTEST_SKIP() << fat.why();
  qmtest::TempDir ordinary;
  struct Volume {
    const char* what;
    std::string folder;
    bool foldsCase;
  };
  const Volume volumes[] = {{"ordinary", ordinary.path().string() + "/", false},
                            {"FAT", fat.root().string() + "/", true}};
  naming::FileSystem& real = naming::realFileSystem();
  for (const Volume& v : volumes) {
    SCOPED_TRACE(v.what);
    const std::string a = v.folder + "a.jpg", b = v.folder + "b.jpg";
    std::ofstream(a) << "A";
    std::ofstream(b) << "B";
    const size_t before = real.movesAfterTest();
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(round);
      EXPECT_FALSE(real.moveFile(a, b));
      EXPECT_EQ(real.moveFile(a, v.folder + "B.JPG"), !v.foldsCase);
      if (!v.foldsCase) {
        EXPECT_TRUE(real.moveFile(v.folder + "B.JPG", a));
      }
      EXPECT_EQ(contentOf(a), "A");
      EXPECT_EQ(contentOf(b), "B");
      EXPECT_TRUE(real.moveFile(a, v.folder + "Shot.jpg"));
      EXPECT_TRUE(real.moveFile(v.folder + "Shot.jpg", a));
      EXPECT_EQ(contentOf(a), "A");
    }
    // On FAT the first refusals come from the system's own test of the
    // no-replace rename; once the volume has refused that rename, every move
    // of the folder, refused or not, goes straight to test-then-rename.
    EXPECT_EQ(real.movesAfterTest() - before, v.foldsCase ? 6u : 0u);
  }
}

}  // namespace
