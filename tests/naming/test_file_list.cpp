#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "naming/file_list.hpp"
#include "testkit/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using naming::FileList;

// Runs a block with the current folder set to `dir`, then puts it back.
class InFolder {
 public:
  explicit InFolder(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }
  ~InFolder() { fs::current_path(saved_); }

 private:
  fs::path saved_;
};

size_t indexOf(const FileList& list, const std::string& path) {
  const auto& p = list.paths();
  return static_cast<size_t>(std::find(p.begin(), p.end(), path) - p.begin());
}

TEST(FileList, AcceptedExtensions) {
  struct Case {
    const char* path;
    bool accepted;
  };
  const Case cases[] = {
      {"/p/a.jpg", true},      {"/p/a.JPG", true},    {"/p/a.jpeg", true}, {"/p/a.Jpe", true},
      {"/p/a.jp2", true},      {"/p/a.J2K", true},    {"/p/a.tif", true},  {"/p/a.Tiff", true},
      {"/p/a.nef", false},     {"/p/a.png", false},   {"/p/a.bmp", false}, {"/p/jpg", false},
      {"/p/a.jpg.txt", false}, {"/p/a.tiffx", false}, {"/p.jpg/a", false}, {"/p/.jpg", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(naming::hasAcceptedExtension(c.path), c.accepted);
  }
}

TEST(FileList, ExpandPath) {
  qmtest::TempDir dir;
  const std::string base = dir.path().string();
  InFolder here(dir.path());
  struct Case {
    std::string input, expected;
  };
  const Case cases[] = {
      {"a.jpg", base + "/a.jpg"},
      {"./x/../a.jpg", base + "/a.jpg"},
      {"/p//q/./r.jpg", "/p/q/r.jpg"},
      {"/p/q/../r.jpg", "/p/r.jpg"},
      {"/p/\xC3\xA9t\xE9.jpg", "/p/\xC3\xA9t\xE9.jpg"},  // bytes kept as they are
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(naming::expandPath(c.input), c.expected);
  }
}

TEST(FileList, FoldersAreWalkedBreadthFirst) {
  qmtest::TempDir dir;
  fs::create_directories(dir.path() / "top/sub/deeper");
  fs::create_directories(dir.path() / "top/empty");
  const std::string a = dir.writeFile("top/a.jpg", "x"), z = dir.writeFile("top/z.TIF", "x");
  const std::string b = dir.writeFile("top/sub/b.jpeg", "x"), c = dir.writeFile("top/sub/deeper/c.jpg", "x");
  dir.writeFile("top/notes.txt", "x");
  dir.writeFile("top/sub/raw.nef", "x");
  dir.writeFile("top/sub/pic.png", "x");
  dir.writeFile("top/.hidden.jpg", "x");

  FileList list;
  list.AddFiles({dir.pathOf("top")});
  ASSERT_EQ(list.size(), 5u);
  for (const std::string& p : {a, z, b, c, dir.pathOf("top/.hidden.jpg")}) EXPECT_TRUE(list.contains(p)) << p;
  EXPECT_LT(indexOf(list, a), indexOf(list, b));
  EXPECT_LT(indexOf(list, z), indexOf(list, b));
  EXPECT_LT(indexOf(list, b), indexOf(list, c));
  // Within a folder, entries come in name order, so running numbers follow the names.
  EXPECT_EQ(list.paths(), (std::vector<std::string>{dir.pathOf("top/.hidden.jpg"), a, z, b, c}));
}

TEST(FileList, EveryFileOnce) {
  qmtest::TempDir dir;
  fs::create_directories(dir.path() / "d/sub");
  const std::string a = dir.writeFile("d/a.jpg", "x");
  const std::string upper = dir.writeFile("d/A.JPG", "y");  // another photo on a case-sensitive volume
  const std::string other = dir.writeFile("d/sub/o.jpg", "z");
  fs::create_symlink(a, dir.path() / "d/link.jpg");
  fs::create_hard_link(a, dir.path() / "hard.jpg");
  fs::create_directories(dir.path() / "cyc/inner");
  const std::string cycled = dir.writeFile("cyc/inner/c.jpg", "c");
  fs::create_directory_symlink(dir.path() / "cyc", dir.path() / "cyc/inner/back");  // a cycle
  fs::create_directory_symlink(dir.path() / "d/sub", dir.path() / "alias");

  struct Case {
    const char* why;
    std::vector<std::string> paths;
    std::vector<std::string> listed;
  };
  const Case cases[] = {
      {"the same path twice", {a, a}, {a}},
      {"spellings of one path", {a, dir.pathOf("d/./a.jpg"), dir.pathOf("d/sub/../a.jpg")}, {a}},
      {"two names of one file", {a, dir.pathOf("d/link.jpg"), dir.pathOf("hard.jpg")}, {a}},
      {"the link first", {dir.pathOf("d/link.jpg"), a}, {dir.pathOf("d/link.jpg")}},
      {"letter case makes another file", {a, upper}, {a, upper}},
      {"a folder given twice and through a link",
       {dir.pathOf("d/sub"), dir.pathOf("alias"), dir.pathOf("d/sub")},
       {other}},
      {"missing paths and an empty one",
       {dir.pathOf("none.jpg"), "", dir.pathOf("nodir/x.jpg"), other},
       {other}},
      {"a folder that leads back to itself", {dir.pathOf("cyc")}, {cycled}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    FileList list;
    list.AddFiles(c.paths);
    EXPECT_EQ(list.paths(), c.listed);
  }

  // The whole tree: each of the three photos once.
  FileList list;
  list.AddFiles({dir.pathOf("d"), dir.pathOf("hard.jpg"), dir.pathOf("alias")});
  EXPECT_EQ(list.size(), 3u);
  // A second addition of the same folder adds nothing.
  list.AddFiles({dir.pathOf("d")});
  EXPECT_EQ(list.size(), 3u);
}

// A walk stays in the tree it was given: a link to a folder met on the way
// is not followed, wherever it leads; a link named by the caller is.
TEST(FileList, WalksDoNotFollowLinksToFolders) {
  qmtest::TempDir dir;
  fs::create_directories(dir.path() / "2003");
  fs::create_directories(dir.path() / "2004/trip");
  dir.writeFile("2003/old.jpg", "o");
  dir.writeFile("2003/kept.jpg", "k");
  const std::string mine = dir.writeFile("2004/mine.jpg", "m");
  const std::string trip = dir.writeFile("2004/trip/t.jpg", "t");
  fs::create_directory_symlink("..", dir.path() / "2004/all");
  fs::create_directory_symlink(dir.path() / "2003", dir.path() / "2004/last-year");
  fs::create_directory_symlink("trip", dir.path() / "2004/trip-again");
  fs::create_symlink("../2003/kept.jpg", dir.path() / "2004/linked.jpg");
  const std::string linked = dir.pathOf("2004/linked.jpg");

  struct Case {
    const char* why;
    std::vector<std::string> paths;
    std::vector<std::string> listed;
  };
  const Case cases[] = {
      {"links to the parent, elsewhere and inside are not entered",
       {dir.pathOf("2004")},
       {linked, mine, trip}},
      {"a folder named through a link is walked",
       {dir.pathOf("2004/last-year")},
       {dir.pathOf("2004/last-year/kept.jpg"), dir.pathOf("2004/last-year/old.jpg")}},
      {"a photo named through a link is taken", {linked}, {linked}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    FileList list;
    EXPECT_TRUE(list.AddFiles(c.paths).empty());
    EXPECT_EQ(list.paths(), c.listed);
  }
}

// A folder mounted again inside its own tree is walked once. The mount is
// made in a child process with a mount namespace of its own, which ends with it.
TEST(FileList, FolderMountedInsideItselfIsWalkedOnce) {
  qmtest::TempDir dir;
  fs::create_directories(dir.path() / "top/sub/again");
  dir.writeFile("top/a.jpg", "a");
  dir.writeFile("top/sub/b.jpg", "b");
  // Said as a problem each time its folder is listed.
  fs::create_symlink("loop", dir.path() / "top/loop");
  const pid_t child = ::fork();
  if (child == 0) {
    const std::string top = dir.pathOf("top"), again = dir.pathOf("top/sub/again");
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(top.c_str(), again.c_str(), nullptr, MS_BIND, nullptr) != 0)
      ::_exit(77);
    FileList list;
    const size_t problems = list.AddFiles({top}).size();
    ::_exit(list.size() == 2 && problems == 1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace of our own here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the mounted folder was walked again";
}

TEST(FileList, RelativePathsAgainstTheCurrentFolder) {
  qmtest::TempDir dir;
  const std::string a = dir.writeFile("a.jpg", "x");
  InFolder here(dir.path());
  FileList list;
  list.AddFiles({"a.jpg", "./a.jpg", ""});  // an empty path is not the current folder
  EXPECT_EQ(list.paths(), std::vector<std::string>{a});
}

TEST(FileList, RemovalKeepsOrderAndForgetsTheEntries) {
  qmtest::TempDir dir;
  std::vector<std::string> files;
  for (int i = 0; i < 6; ++i) files.push_back(dir.writeFile("f" + std::to_string(i) + ".jpg", "x"));
  FileList list;
  list.AddFiles(files);
  ASSERT_EQ(list.paths(), files);

  EXPECT_EQ(list.takeFirst(), files[0]);
  list.removeIndices({3, 1, 1});  // f4 and f2
  EXPECT_EQ(list.paths(), (std::vector<std::string>{files[1], files[3], files[5]}));
  EXPECT_EQ(list.at(1), files[3]);

  // What left the list can come back, and only once.
  list.AddFiles({files[0], files[2], files[0], files[3]});
  EXPECT_EQ(list.paths(), (std::vector<std::string>{files[1], files[3], files[5], files[0], files[2]}));

  while (!list.empty()) list.takeFirst();
  list.appendUnchecked(files[4]);
  list.appendUnchecked(dir.pathOf("gone.jpg"));  // a batch refill is not checked
  EXPECT_EQ(list.size(), 2u);
  list.AddFiles({files[4]});
  EXPECT_EQ(list.size(), 2u);
  list.clear();
  EXPECT_TRUE(list.empty());
  list.AddFiles({files[4]});
  EXPECT_EQ(list.size(), 1u);
}

TEST(FileList, HundredThousandPaths) {
  qmtest::TempDir dir;
  const int files = 20000;
  std::vector<std::string> paths{dir.path().string()};
  for (int i = 0; i < files; ++i) paths.push_back(dir.writeFile("p" + std::to_string(i) + ".jpg", ""));
  for (int i = 0; i < files; ++i) paths.push_back(paths[static_cast<size_t>(i + 1)]);  // every file again
  for (int i = 0; i < 100000 - 2 * files - 1; ++i) paths.push_back(dir.pathOf("missing" + std::to_string(i)));

  auto start = std::chrono::steady_clock::now();
  FileList list;
  list.AddFiles(paths);
  for (int i = 0; i < files; ++i) list.takeFirst();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(list.empty());
  // A linear search per entry would make this minutes, not seconds.
  EXPECT_LT(seconds, 20.0);
}

}  // namespace
