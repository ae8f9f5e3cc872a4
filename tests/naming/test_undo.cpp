// Undo from the run journal: a randomized batch on a file system that fails
// at random steps is taken back to exactly the folder it started from, and
// what changed after the run is skipped and reported, never overwritten.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "metadata/image_reader.hpp"
#include "metadata/paths.hpp"
#include "naming/batch_rename.hpp"
#include "naming/file_list.hpp"
#include "naming/format.hpp"
#include "naming/journal.hpp"
#include "naming/naming.hpp"
#include "naming/undo.hpp"
#include "testkit/photo_files.hpp"
#include "testkit/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using qmtest::snapshot;

// Refuses moves, deletions and companion writes at random, as a full disk,
// a permission change or another program would. With `ahead`, the changes
// announced ahead reach the journal (as in a real run); without, each
// change is recorded as it comes.
class FailingFileSystem final : public naming::FileSystem {
 public:
  FailingFileSystem(naming::FileSystem& base, std::mt19937& random, bool ahead = false)
      : base_(base), random_(random), ahead_(ahead) {}
  bool prepare(std::vector<naming::PlannedChange> changes) override {
    return !ahead_ || base_.prepare(std::move(changes));
  }
  std::string lastKept() const override { return base_.lastKept(); }
  bool fileExists(const std::string& p) override { return base_.fileExists(p); }
  bool folderExists(const std::string& p) override { return base_.folderExists(p); }
  bool moveFile(const std::string& from, const std::string& to) override {
    return !fails() && base_.moveFile(from, to);
  }
  bool deleteFile(const std::string& p) override { return !fails() && base_.deleteFile(p); }
  std::unique_ptr<output::CompanionSink> createTextFile(const std::string& p) override {
    if (fails()) throw output::IoFault("disque plein");
    return base_.createTextFile(p);
  }
  std::vector<std::string> namesIn(const std::string& f) override { return base_.namesIn(f); }
  std::string lastError() const override { return "refused"; }

 private:
  bool fails() { return random_() % 5 == 0; }
  naming::FileSystem& base_;
  std::mt19937& random_;
  bool ahead_;
};

struct Folder {
  qmtest::TempDir dir, state;
  meta::TimgData img;
  naming::FileList list;
  output::RecordingSink log;

  Folder() { ::setenv("QUILLMARK_STATE_DIR", state.path().c_str(), 1); }

  // Runs the batch with a journal, through `wrap` around the journaled file system.
  naming::RunRecord run(const std::string& format, bool textFile, std::mt19937* failures = nullptr,
                        bool ahead = false) {
    std::string problem;
    std::unique_ptr<naming::Journal> journal = naming::Journal::create(naming::stateFolder(), problem);
    EXPECT_TRUE(journal) << problem;
    std::unique_ptr<naming::FileSystem> journaled = naming::journaledFileSystem(*journal);
    std::unique_ptr<FailingFileSystem> failing;
    if (failures) failing = std::make_unique<FailingFileSystem>(*journaled, *failures, ahead);
    naming::TNaming n(img, failing ? static_cast<naming::FileSystem&>(*failing) : *journaled);
    n.ParseFormat(format);
    naming::BatchHooks hooks;
    hooks.writeCompanion = [](output::OutputSink& s) { s.WriteRich("report\r\n", {}); };
    const naming::BatchOutcome o = naming::RunBatch(n, list, log, textFile, hooks);
    journal->end(o.renamed, o.unchanged, o.failed);
    return *naming::readRun(journal->folder());
  }

  naming::UndoOutcome undo() {
    const std::vector<naming::RunRecord> runs = naming::listRuns(naming::stateFolder());
    EXPECT_FALSE(runs.empty());
    output::RecordingSink undoLog;
    naming::UndoOutcome o = naming::UndoRun(runs.back(), naming::realFileSystem(), undoLog, false);
    lastLog = undoLog.text();
    return o;
  }
  std::string lastLog;
};

TEST(Undo, ARandomBatchWithFailingStepsComesBackExactly) {
  std::mt19937 random(90210);
  const std::vector<std::string> formats = {"[IYEAR]-[NUMBER]", "[IYEAR][IMONTH]", naming::DefaultFormat(),
                                            "[IDAY]-[NUMBER]-[NAME]", "[NAME]"};
  const std::vector<std::string> dates = {"2004:06:12 14:30:05", "2004:06:13 09:00:00",
                                          "2005:01:01 00:00:00"};
  // Names with blanks, '%', a line end and bytes that are not UTF-8 go
  // through the journal unchanged.
  const std::vector<std::string> stems = {"IMG_", "a b", "50%", "x\ny", "\xFF\xFE", "2004-"};
  for (int round = 0; round < 16; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Folder t;
    std::vector<std::string> paths;
    const int count = 4 + static_cast<int>(random() % 20);
    for (int i = 0; i < count; ++i) {
      const std::string name = stems[random() % stems.size()] + std::to_string(random() % 30) + ".jpg";
      if (fs::exists(t.dir.pathOf(name))) continue;
      t.dir.writeFile(name,
                      qmtest::photoWithDate(dates[random() % dates.size()], "photo " + std::to_string(i)));
      if (random() % 4 == 0) t.dir.writeFile(meta::replaceExtension(name, ".exif.txt"), "notes " + name);
      paths.push_back(t.dir.pathOf(name));
    }
    // Stale companions at names the run may give.
    for (const char* stale : {"20040612-143005-01.exif.txt", "2004-1.exif.txt", "200406.exif.txt"})
      if (random() % 2 == 0) t.dir.writeFile(stale, std::string("stale ") + stale);
    const auto before = snapshot(t.dir.path());
    t.list.AddFiles(paths);
    const naming::RunRecord run = t.run(formats[random() % formats.size()], random() % 2 == 0, &random);
    ASSERT_TRUE(run.ended);

    const naming::UndoOutcome undone = t.undo();
    EXPECT_TRUE(undone.complete()) << t.lastLog;
    EXPECT_EQ(snapshot(t.dir.path()), before) << t.lastLog;
    // A second undo finds everything back and changes nothing.
    EXPECT_TRUE(t.undo().complete()) << t.lastLog;
    EXPECT_EQ(snapshot(t.dir.path()), before);
  }
}

// Several groups decided ahead, refusals among them: the images decided
// after a refused change are decided again, nothing is lost or doubled, and
// undo brings back exactly the folder it started from.
TEST(Undo, ABatchOfSeveralGroupsWithRefusalsComesBackExactly) {
  std::mt19937 random(4242);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Folder t;
    std::vector<std::string> paths;
    for (int i = 0; i < 150; ++i) {
      const std::string name = "IMG_" + std::to_string(1000 + i) + ".jpg";
      t.dir.writeFile(name, qmtest::photoWithDate(i % 3 ? "2004:06:12 14:30:05" : "2005:01:01 00:00:00",
                                                  "photo " + std::to_string(i)));
      if (i % 7 == 0) t.dir.writeFile("IMG_" + std::to_string(1000 + i) + ".exif.txt", "notes");
      paths.push_back(t.dir.pathOf(name));
    }
    const auto before = snapshot(t.dir.path());
    t.list.AddFiles(paths);
    const naming::RunRecord run = t.run("[IYEAR]-[NUMBER]", round == 1, &random, true);
    ASSERT_TRUE(run.ended);
    std::map<std::string, int> seen;
    for (const auto& [name, bytes] : snapshot(t.dir.path())) ++seen[bytes];
    for (const auto& [name, bytes] : before) EXPECT_GE(seen[bytes], 1) << name;
    EXPECT_EQ(run.renamed + run.failed + run.unchanged, 150u);
    EXPECT_GT(run.renamed, 60u);

    const naming::UndoOutcome undone = t.undo();
    EXPECT_TRUE(undone.complete()) << t.lastLog;
    EXPECT_EQ(snapshot(t.dir.path()), before) << t.lastLog;
  }
}

TEST(Undo, WhatChangedAfterTheRunIsSkippedAndReported) {
  Folder t;
  t.dir.writeFile("a.jpg", qmtest::photoWithDate("2004:06:12 14:30:05", "a"));
  t.dir.writeFile("b.jpg", qmtest::photoWithDate("2005:01:01 00:00:00", "b"));
  t.list.AddFiles({t.dir.pathOf("a.jpg"), t.dir.pathOf("b.jpg")});
  t.run("[IYEAR]", true);
  ASSERT_TRUE(fs::exists(t.dir.pathOf("2004.jpg")) && fs::exists(t.dir.pathOf("2005.exif.txt")));

  t.dir.writeFile("a.jpg", "a new photo under the old name");
  std::ofstream(t.dir.pathOf("2005.exif.txt"), std::ios::app) << "my notes";

  const naming::UndoOutcome o = t.undo();
  EXPECT_EQ(o.skipped, 2u) << t.lastLog;
  EXPECT_NE(t.lastLog.find("le nom d'origine est pris"), std::string::npos) << t.lastLog;
  EXPECT_NE(t.lastLog.find("modifié depuis le renommage"), std::string::npos) << t.lastLog;
  EXPECT_EQ(qmtest::readFile(t.dir.pathOf("a.jpg")), "a new photo under the old name");
  EXPECT_TRUE(fs::exists(t.dir.pathOf("2004.jpg")));
  EXPECT_EQ(qmtest::readFile(t.dir.pathOf("2005.exif.txt")), "report\r\nmy notes");
  // The rest is back: b under its old name, the unchanged companion of a gone.
  EXPECT_TRUE(fs::exists(t.dir.pathOf("b.jpg")));
  EXPECT_FALSE(fs::exists(t.dir.pathOf("2004.exif.txt")));
  EXPECT_EQ(o.photos, std::vector<std::string>{t.dir.pathOf("b.jpg")});
}

TEST(Undo, OnlyTheLastRunsAreKept) {
  Folder t;
  for (size_t i = 0; i < naming::kRunsKept + 3; ++i) {
    std::string problem;
    ASSERT_TRUE(naming::Journal::create(naming::stateFolder(), problem)) << problem;
  }
  EXPECT_EQ(naming::listRuns(naming::stateFolder()).size(), naming::kRunsKept);
}

// Runs follow one another by their sequence, whatever the clock said: runs
// named by a clock far ahead (older versions named runs by their time) come
// before a new one, which is never pruned and is the one undo takes back.
TEST(Undo, ANewRunIsTheNewestWhateverTheClockSays) {
  Folder t;
  const fs::path runs = fs::path(naming::stateFolder()) / "runs";
  for (size_t i = 0; i < naming::kRunsKept + 2; ++i) {
    const fs::path old = runs / ("20991231-2359" + std::to_string(10 + i) + "-000000-1");
    fs::create_directories(old);
    std::ofstream(old / "journal") << "quillmark-journal 1\nrun X 4102444800\nend 0 0 0\n";
  }
  t.dir.writeFile("a.jpg", qmtest::photoWithDate("2004:06:12 14:30:05", "a"));
  t.list.AddFiles({t.dir.pathOf("a.jpg")});
  const naming::RunRecord run = t.run("[IYEAR]", false);
  const std::vector<naming::RunRecord> listed = naming::listRuns(naming::stateFolder());
  ASSERT_EQ(listed.size(), naming::kRunsKept);
  EXPECT_EQ(listed.back().id, run.id);
  EXPECT_EQ(listed.back().sequence, 1u);

  // The next one comes after it, and the one after that too.
  std::string problem;
  const std::string second = naming::Journal::create(naming::stateFolder(), problem)->id();
  const std::string third = naming::Journal::create(naming::stateFolder(), problem)->id();
  const std::vector<naming::RunRecord> after = naming::listRuns(naming::stateFolder());
  ASSERT_GE(after.size(), 3u);
  EXPECT_EQ(after[after.size() - 3].id, run.id);
  EXPECT_EQ(after[after.size() - 2].id, second);
  EXPECT_EQ(after.back().id, third);
  EXPECT_EQ(after.back().sequence, 3u);
}

// A stale companion that a run set aside stays in the run's folder until
// the run is undone or forgotten, however many runs follow; the log says
// where it went.
TEST(Undo, FilesSetAsideAreKeptUntilUndoneOrForgotten) {
  Folder t;
  t.dir.writeFile("a.jpg", qmtest::photoWithDate("2004:06:12 14:30:05", "a"));
  t.dir.writeFile("2004.exif.txt", "a stale report");
  t.list.AddFiles({t.dir.pathOf("a.jpg")});
  const naming::RunRecord run = t.run("[IYEAR]", true);
  ASSERT_EQ(run.keptFiles(), 1u);
  EXPECT_NE(t.log.text().find("2004.exif.txt effacé\r\n\t\tgardé pour l'annulation dans " + run.folder),
            std::string::npos)
      << t.log.text();
  for (size_t i = 0; i < naming::kRunsKept + 2; ++i) {
    std::string problem;
    ASSERT_TRUE(naming::Journal::create(naming::stateFolder(), problem)) << problem;
  }
  std::vector<naming::RunRecord> runs = naming::listRuns(naming::stateFolder());
  ASSERT_EQ(runs.size(), naming::kRunsKept + 1);
  EXPECT_EQ(runs.front().id, run.id);

  // Undone, it gives the file back and is pruned like any other.
  output::RecordingSink log;
  EXPECT_TRUE(naming::UndoRun(runs.front(), naming::realFileSystem(), log, false).complete()) << log.text();
  EXPECT_EQ(qmtest::readFile(t.dir.pathOf("2004.exif.txt")), "a stale report");
  std::string problem;
  ASSERT_TRUE(naming::Journal::create(naming::stateFolder(), problem));
  EXPECT_EQ(naming::listRuns(naming::stateFolder()).size(), naming::kRunsKept);

  // Forgotten, it goes at once.
  t.dir.writeFile("b.jpg", qmtest::photoWithDate("2005:01:01 00:00:00", "b"));
  t.dir.writeFile("2005.exif.txt", "another stale report");
  t.list.AddFiles({t.dir.pathOf("b.jpg")});
  const naming::RunRecord second = t.run("[IYEAR]", true);
  ASSERT_EQ(second.keptFiles(), 1u);
  ASSERT_TRUE(naming::forgetRun(second, problem)) << problem;
  EXPECT_FALSE(fs::exists(second.folder));
}

// A companion that the run wrote and that is missing at undo time (its
// folder moved away, say) is not counted as taken back: the step stays, and
// a later undo, once the folder is back, finishes the work.
TEST(Undo, AWrittenCompanionThatIsMissingStaysToBeUndone) {
  Folder t;
  t.dir.writeFile("a.jpg", qmtest::photoWithDate("2004:06:12 14:30:05", "a"));
  const auto before = snapshot(t.dir.path());
  t.list.AddFiles({t.dir.pathOf("a.jpg")});
  t.run("[IYEAR]", true);
  const std::string companion = t.dir.pathOf("2004.exif.txt");
  const std::string away = t.state.pathOf("away.txt");
  fs::rename(companion, away);

  const naming::UndoOutcome first = t.undo();
  EXPECT_FALSE(first.complete()) << t.lastLog;
  EXPECT_EQ(first.skipped, 1u) << t.lastLog;
  EXPECT_NE(t.lastLog.find(companion + "\r\n\t\tne peut être rétabli: introuvable"), std::string::npos)
      << t.lastLog;

  fs::rename(away, companion);
  const naming::UndoOutcome second = t.undo();
  EXPECT_TRUE(second.complete()) << t.lastLog;
  EXPECT_EQ(second.removed, 1u) << t.lastLog;
  EXPECT_EQ(snapshot(t.dir.path()), before);
}

// A run killed while its journal was mapped leaves reserved zero bytes, and
// maybe a record cut in the middle; undo's own records must still be read.
TEST(Undo, RecordsAddedAfterAKilledRunsReservedRoomAreRead) {
  qmtest::TempDir run;
  const std::string content = std::string("quillmark-journal 1\nrun X 5\nI 1 photo /a /b 1 2 3 4\nD 1\n") +
                              "I 2 photo /c /d 1 2" + std::string(10000, '\0');
  std::ofstream(run.pathOf("journal"), std::ios::binary) << content;
  naming::appendToJournal(run.path().string(), "U 1\n");
  const std::optional<naming::RunRecord> read = naming::readRun(run.path().string());
  ASSERT_TRUE(read);
  ASSERT_EQ(read->steps.size(), 1u);
  EXPECT_TRUE(read->steps[0].done);
  EXPECT_TRUE(read->steps[0].undone);
  EXPECT_EQ(qmtest::readFile(run.pathOf("journal")),
            "quillmark-journal 1\nrun X 5\nI 1 photo /a /b 1 2 3 4\nD 1\nU 1\n");
}

}  // namespace
