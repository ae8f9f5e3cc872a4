// The undo journal under hostile conditions, with the command line run as a
// separate process: a journal that cannot grow stops the run before any
// change it could not record, records reach the disk before the changes they
// cover (and a run syncs a few times, not once a photo), a clock set back
// neither prunes the run nor hides it from undo, and a run forgotten on
// purpose takes its set-aside files with it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "testkit/photo_files.hpp"
#include "testkit/run_program.hpp"
#include "testkit/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using qmtest::snapshot;

struct Safety : ::testing::Test {
  qmtest::TempDir dir, state;

  // Photos named IMG_1000.jpg... with one date each day.
  void photos(int count) {
    for (int i = 0; i < count; ++i) {
      char date[32];
      std::snprintf(date, sizeof date, "2004:%02d:%02d 12:00:%02d", 1 + i / 28 % 12, 1 + i % 28, i % 60);
      dir.writeFile("IMG_" + std::to_string(1000 + i) + ".jpg",
                    qmtest::photoWithDate(date, "photo " + std::to_string(i)));
    }
  }

  qmtest::ProgramOutcome cli(std::vector<std::string> args, const std::vector<std::string>& prefix = {},
                             long fileSizeLimit = -1) {
    qmtest::ProgramRun run;
    // Under the sanitizers: the leak checker cannot work under a tracer, and
    // the address sanitizer must let faketime's library be loaded first.
    if (!prefix.empty()) {
      const char* asan = std::getenv("ASAN_OPTIONS");
      run.env["ASAN_OPTIONS"] = std::string(asan ? asan : "") + ":detect_leaks=0:verify_asan_link_order=0";
    }
    run.argv = prefix;
    run.argv.push_back(QUILLMARK_CLI_PATH);
    run.argv.insert(run.argv.end(), args.begin(), args.end());
    run.cwd = dir.path();
    run.env["QUILLMARK_STATE_DIR"] = state.path().string();
    run.fileSizeLimit = fileSizeLimit;
    return qmtest::runProgram(run);
  }
};

// With a journal that cannot grow past a few kilobytes, the run stops before
// the changes whose records failed, says why, exits 1, and undo then takes
// back every change that was made.
TEST_F(Safety, AJournalThatCannotGrowStopsTheRunAndUndoTakesBackEverything) {
  photos(400);
  dir.writeFile("IMG_1000.exif.txt", "notes");
  const auto before = snapshot(dir.path());
  const qmtest::ProgramOutcome r = cli({"rename", "--text-file", "."}, {}, 24 * 1024);
  ASSERT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("the undo journal cannot be written"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("le journal d'annulation ne peut plus être écrit"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Renommage arrêté"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" not reached\n"), std::string::npos) << r.out;
  size_t renamed = 0;
  for (const auto& [name, bytes] : snapshot(dir.path()))
    renamed += name.rfind("2004", 0) == 0 && name.size() > 4 && name.find(".jpg") != std::string::npos;
  EXPECT_GT(renamed, 0u);
  EXPECT_LT(renamed, 400u);

  const qmtest::ProgramOutcome undone = cli({"undo"});
  EXPECT_EQ(undone.status, 0) << undone.out << undone.err;
  EXPECT_EQ(snapshot(dir.path()), before) << undone.out;
}

// Every move of a photo comes after the journal was put on the disk, and a
// run of 300 photos syncs it a handful of times, not once a photo.
TEST_F(Safety, RecordsReachTheDiskBeforeTheirChangesInAFewSyncs) {
  if (!qmtest::onPath("strace")) GTEST_SKIP() << "strace is not installed";
  photos(300);
  const std::string trace = state.pathOf("trace");
  const qmtest::ProgramOutcome r =
      cli({"rename", "."},
          {"strace", "-f", "-qq", "-e", "trace=msync,fdatasync,fsync,renameat2,rename,link", "-o", trace});
  if (r.status == 127 || r.err.find("PTRACE") != std::string::npos)
    GTEST_SKIP() << "strace cannot trace here: " << r.err;
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  std::ifstream in(trace);
  size_t syncs = 0, moves = 0, movesBeforeAnySync = 0, syncsBeforeFirstMove = 0;
  for (std::string line; std::getline(in, line);) {
    // A sync made beside the run may show as started, then resumed.
    if (std::regex_search(
            line,
            std::regex(R"((\b(msync|fdatasync|fsync)\(|<\.\.\. (msync|fdatasync|fsync) resumed>).*= 0)")))
      ++syncs;
    if (std::regex_search(line, std::regex(R"(\b(renameat2|rename|link)\(.*IMG_1\d\d\d\.jpg.*= 0)"))) {
      if (moves == 0) syncsBeforeFirstMove = syncs;
      if (syncs == 0) ++movesBeforeAnySync;
      ++moves;
    }
  }
  EXPECT_EQ(moves, 300u);
  EXPECT_EQ(movesBeforeAnySync, 0u);
  EXPECT_GE(syncsBeforeFirstMove, 3u);  // the run's folders, then the first group's records
  EXPECT_LE(syncs, 12u);
}

// A machine whose clock is behind (no clock battery, before it syncs) puts
// its run after the twenty kept before it: the run is not pruned, what it
// set aside stays, and undo takes back this run, not an older one.
TEST_F(Safety, AClockSetBackPrunesNothingOfTheRunAndUndoTakesItBack) {
  if (!qmtest::onPath("faketime")) GTEST_SKIP() << "faketime is not installed";
  photos(1);
  for (int i = 0; i < 21; ++i) {
    fs::create_directory(dir.pathOf("d" + std::to_string(i)));
    dir.writeFile("d" + std::to_string(i) + "/x.jpg", qmtest::photoWithDate("2003:01:01 00:00:00", "x"));
    ASSERT_EQ(cli({"rename", "-f", "[IYEAR]-" + std::to_string(i), "d" + std::to_string(i)}).status, 0);
  }
  dir.writeFile("20040101.exif.txt", "an old report");
  const auto before = snapshot(dir.path());
  // Only the clock is set back: the files' own times stay as the disk has them.
  const qmtest::ProgramOutcome r =
      cli({"rename", "--text-file", "-f", "[IYEAR][IMONTH][IDAY]", "IMG_1000.jpg"},
          {"env", "NO_FAKE_STAT=1", "faketime", "2000-01-01 00:00:00"});
  if (r.status == 127) GTEST_SKIP() << "faketime cannot run here: " << r.err;
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  ASSERT_TRUE(fs::exists(dir.pathOf("20040101.jpg"))) << r.out;
  ASSERT_NE(r.out.find("gardé pour l'annulation dans"), std::string::npos) << r.out;

  const qmtest::ProgramOutcome undone = cli({"undo"});
  EXPECT_EQ(undone.status, 0) << undone.out << undone.err;
  EXPECT_EQ(snapshot(dir.path()), before) << undone.out;
}

// A run that set files aside is kept past the twenty last runs until it is
// undone or forgotten; --forget removes it with its files.
TEST_F(Safety, ARunThatSetFilesAsideIsKeptUntilForgotten) {
  photos(1);
  dir.writeFile("20040101.exif.txt", "an old report");
  ASSERT_EQ(cli({"rename", "--text-file", "-f", "[IYEAR][IMONTH][IDAY]", "IMG_1000.jpg"}).status, 0);
  const std::string first = cli({"undo", "--list"}).out.substr(0, 9);
  ASSERT_EQ(first, "s00000001");
  for (int i = 0; i < 22; ++i)
    ASSERT_EQ(cli({"rename", "-f", "[IYEAR][IMONTH][IDAY]", "20040101.jpg"}).status, 0);
  const std::string list = cli({"undo", "--list"}).out;
  EXPECT_EQ(list.rfind(first, 0), 0u) << list;
  EXPECT_NE(list.find("1 files set aside"), std::string::npos) << list;

  EXPECT_EQ(cli({"undo", "--forget"}).status, 2);
  const qmtest::ProgramOutcome forgotten = cli({"undo", "--forget", "1"});
  EXPECT_EQ(forgotten.status, 0) << forgotten.err;
  EXPECT_NE(forgotten.out.find("1 files it set aside are deleted"), std::string::npos) << forgotten.out;
  EXPECT_EQ(cli({"undo", "--list"}).out.find(first), std::string::npos);
}

}  // namespace
