// The batch rename over real temporary folders: the log pieces of every
// outcome, the companion text files, the closing title and final list, the
// no-overwrite guarantee, dry runs, and a randomized batch that must never
// lose or duplicate a photo.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
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
#include "naming/naming.hpp"
#include "naming/simulated_file_system.hpp"
#include "testkit/fake_file_system.hpp"
#include "testkit/photo_files.hpp"
#include "testkit/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using output::styleOf;
using output::TextStyle;

const output::TextStyle okImage = output::styleOf(true, false, 10, output::kGreen);
const output::TextStyle okCompanion = output::styleOf(true, false, 10, output::kBlue);
const output::TextStyle errImage = output::styleOf(true, false, 14, output::kRed);
const output::TextStyle errCompanion = output::styleOf(true, false, 12, output::kMaroon);
const output::TextStyle strong10 = output::styleOf(true, false, 10, output::kBlack);
const output::TextStyle plain10 = output::styleOf(false, false, 10, output::kBlack);
const output::TextStyle plain8 = output::styleOf(false, false, 8, output::kBlack);
const output::TextStyle italic8 = output::styleOf(false, true, 8, output::kBlack);
const output::TextStyle title = output::styleOf(true, false, 14, output::kNavy);

const char* const kAllRenamed = "Tout a été renommé";
const char* const kErrors = "Des erreurs ont été rencontrées";

struct Piece {
  std::string text;  // "@" stands for the test folder
  output::TextStyle style;
};

using qmtest::readFile;
using qmtest::snapshot;

// Moves that find their destination taken by another program just before
// they happen.
class RacingFileSystem final : public naming::FileSystem {
 public:
  explicit RacingFileSystem(naming::FileSystem& base) : base_(base) {}
  bool fileExists(const std::string& p) override { return base_.fileExists(p); }
  bool folderExists(const std::string& p) override { return base_.folderExists(p); }
  bool moveFile(const std::string& from, const std::string& to) override {
    std::ofstream(to, std::ios::binary) << "intruder";
    return base_.moveFile(from, to);
  }
  bool deleteFile(const std::string& p) override { return base_.deleteFile(p); }
  std::unique_ptr<output::CompanionSink> createTextFile(const std::string& p) override {
    return base_.createTextFile(p);
  }
  std::vector<std::string> namesIn(const std::string& folder) override { return base_.namesIn(folder); }
  std::string lastError() const override { return base_.lastError(); }

 private:
  naming::FileSystem& base_;
};

// The machine's file system as a volume without no-replace renames and hard
// links shows it: every move could only test its destination first.
class TestThenRenameFileSystem final : public naming::FileSystem {
 public:
  explicit TestThenRenameFileSystem(naming::FileSystem& base) : base_(base) {}
  bool fileExists(const std::string& p) override { return base_.fileExists(p); }
  bool folderExists(const std::string& p) override { return base_.folderExists(p); }
  bool moveFile(const std::string& from, const std::string& to) override {
    ++tested_;
    return base_.moveFile(from, to);
  }
  bool deleteFile(const std::string& p) override { return base_.deleteFile(p); }
  std::unique_ptr<output::CompanionSink> createTextFile(const std::string& p) override {
    return base_.createTextFile(p);
  }
  std::vector<std::string> namesIn(const std::string& folder) override { return base_.namesIn(folder); }
  size_t movesAfterTest() const override { return tested_; }

 private:
  naming::FileSystem& base_;
  size_t tested_ = 0;
};

// A folder, a list and a log for one batch.
struct Bench {
  qmtest::TempDir dir;
  meta::TimgData img;
  naming::FileList list;
  output::RecordingSink log;
  naming::BatchHooks hooks;
  std::string userText;
  int digits = 2;

  Bench() {
    hooks.writeCompanion = [](output::OutputSink& s) { s.WriteRich("report\r\n", output::TextStyle{}); };
  }

  std::string root() const { return dir.path().string(); }
  std::string at(std::string_view name) const { return dir.pathOf(name); }
  std::string sub(const std::string& text) const {
    std::string out;
    for (char c : text) {
      if (c == '@')
        out += root();
      else
        out += c;
    }
    return out;
  }

  void photo(std::string_view name, std::string_view date = "2004:06:12 14:30:05") const {
    dir.writeFile(name, qmtest::photoWithDate(date, std::string("bytes of ") + std::string(name)));
  }
  void add(std::initializer_list<const char*> names) {
    std::vector<std::string> paths;
    for (const char* n : names) paths.push_back(at(n));
    list.AddFiles(paths);
  }

  naming::BatchOutcome run(const std::string& format, bool textFile = false,
                           naming::FileSystem* files = nullptr) {
    naming::TNaming n(img, files ? *files : naming::realFileSystem());
    n.ParseFormat(format);
    const std::string text = userText;
    const std::string d = std::to_string(digits);
    n.UserText = [text] { return text; };
    n.DigitText = [d] { return d; };
    return naming::RunBatch(n, list, log, textFile, hooks);
  }

  // The pieces between the opening and the closing title.
  std::vector<output::RecordingSink::Piece> body() const {
    if (log.pieces.size() < 2) return {};
    return {log.pieces.begin() + 1, log.pieces.end() - 1};
  }
  std::string closingTitle() const { return log.pieces.empty() ? "" : log.pieces.back().text; }
  std::vector<std::string> listNames() const {
    std::vector<std::string> names;
    for (const std::string& p : list.paths())
      names.push_back(fs::path(p).lexically_relative(root()).string());
    return names;
  }
  std::string content(std::string_view name) const { return readFile(at(name)); }
  bool exists(std::string_view name) const { return fs::exists(at(name)); }

  void expectBody(const std::vector<Piece>& expected) const {
    const auto got = body();
    ASSERT_EQ(got.size(), expected.size()) << log.text();
    for (size_t i = 0; i < got.size(); ++i) {
      SCOPED_TRACE("piece " + std::to_string(i) + ": " + got[i].text);
      EXPECT_EQ(got[i].text, sub(expected[i].text));
      EXPECT_EQ(got[i].style, expected[i].style);
    }
  }
};

std::string titleText(const std::string& t) { return "\r\n" + t + "\r\n\r\n"; }

TEST(BatchRename, WorkedExampleRenamesTheDatedPhotoAndKeepsTheOneWithoutExif) {
  Bench t;
  t.photo("IMG_0001.JPG");
  t.dir.writeFile("scan.jpg", qmtest::photoWithoutExif());
  t.add({"IMG_0001.JPG", "scan.jpg"});

  const naming::BatchOutcome outcome = t.run(naming::DefaultFormat());

  ASSERT_GE(t.log.pieces.size(), 2u);
  EXPECT_EQ(t.log.pieces.front().text, titleText("Changement des noms"));
  EXPECT_EQ(t.log.pieces.front().style, title);
  t.expectBody({
      {"Ok: ", okImage},
      {"@/IMG_0001.JPG => @/20040612-143005-01.jpg\r\n", plain8},
      {"ERREUR: ", errImage},
      {"@/scan.jpg\r\n", strong10},
      {"\t\t ne peut être renommé par manque d'information\r\n", plain10},
  });
  EXPECT_EQ(t.closingTitle(), titleText(kErrors));
  EXPECT_EQ(t.log.pieces.back().style, title);
  EXPECT_EQ(t.listNames(), std::vector<std::string>{"scan.jpg"});
  EXPECT_EQ(outcome.renamed, 1u);
  EXPECT_EQ(outcome.failed, 1u);
  EXPECT_TRUE(t.exists("20040612-143005-01.jpg"));
  EXPECT_FALSE(t.exists("IMG_0001.JPG"));
}

using Prepare = std::function<void(Bench&)>;

// One image per case: the pieces of its log entry (companion included), the
// closing title, the final list and what lies on disk afterwards.
struct OutcomeCase {
  const char* name;
  Prepare setup;
  const char* format;
  bool textFile;
  std::vector<Piece> pieces;
  const char* closing;
  std::vector<std::string> finalList;
  std::map<std::string, std::string> onDisk;  // name -> bytes ("" : any bytes)
  std::vector<std::string> absent;
};

void runOutcomeCases(const std::vector<OutcomeCase>& cases) {
  for (const OutcomeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bench t;
    if (c.setup) c.setup(t);
    t.add({"a.jpg"});
    t.run(c.format, c.textFile);
    t.expectBody(c.pieces);
    EXPECT_EQ(t.closingTitle(), titleText(c.closing));
    EXPECT_EQ(t.listNames(), c.finalList);
    for (const auto& [name, bytes] : c.onDisk) {
      SCOPED_TRACE(name);
      ASSERT_TRUE(t.exists(name));
      if (!bytes.empty()) {
        EXPECT_EQ(t.content(name), bytes);
      }
    }
    for (const std::string& name : c.absent) EXPECT_FALSE(t.exists(name)) << name;
  }
}

const Prepare datedPhoto = [](Bench& t) { t.photo("a.jpg"); };

TEST(BatchRename, EachImageOutcomeWritesItsLogEntry) {
  runOutcomeCases({
      {"incomplete name",
       [](Bench& t) { t.dir.writeFile("a.jpg", qmtest::photoWithoutExif()); },
       "[IYEAR]-[NAME]",
       false,
       {{"ERREUR: ", errImage},
        {"@/a.jpg\r\n", strong10},
        {"\t\t ne peut être renommé par manque d'information\r\n", plain10}},
       kErrors,
       {"a.jpg"},
       {{"a.jpg", ""}},
       {}},
      {"same name",
       datedPhoto,
       "[NAME]",
       false,
       {{"Ok: ", okImage}, {"@/a.jpg", plain8}, {" (Identique au nom d'origine)\r\n", italic8}},
       kAllRenamed,
       {},
       {{"a.jpg", ""}},
       {}},
      {"destination exists",
       [](Bench& t) {
         t.photo("a.jpg");
         t.dir.writeFile("taken.jpg", "someone else's photo");
       },
       "taken",
       false,
       {{"ERREUR: ", errImage},
        {"@/a.jpg\r\n", strong10},
        {"\t\tne peut être renommé en @/taken.jpg\r\n", plain10},
        {"\t\tLe fichier destination existe déjà\r\n", plain10}},
       kErrors,
       {"a.jpg"},
       {{"a.jpg", ""}, {"taken.jpg", "someone else's photo"}},
       {}},
      {"move fails",
       datedPhoto,
       "[IYEAR]/[NAME]",
       false,
       {{"ERREUR: ", errImage},
        {"@/a.jpg\r\n", strong10},
        {"\t\tne peut être renommé en @/2004/a.jpg\r\n", plain8},
        {"\t\tNo such file or directory\r\n", plain8}},
       kErrors,
       {"a.jpg"},
       {{"a.jpg", ""}},
       {}},
      {"renamed",
       datedPhoto,
       "[IYEAR]-[NAME]",
       false,
       {{"Ok: ", okImage}, {"@/a.jpg => @/2004-a.jpg\r\n", plain8}},
       kAllRenamed,
       {"2004-a.jpg"},
       {{"2004-a.jpg", ""}},
       {"a.jpg"}},
  });
}

TEST(BatchRename, CompanionTextFilesFollowTheirImages) {
  const Prepare withOldCompanion = [](Bench& t) {
    t.photo("a.jpg");
    t.dir.writeFile("a.exif.txt", "old report");
  };
  const std::vector<Piece> renamed = {{"Ok: ", okImage}, {"@/a.jpg => @/2004-a.jpg\r\n", plain8}};
  const std::vector<Piece> unchanged = {
      {"Ok: ", okImage}, {"@/a.jpg", plain8}, {" (Identique au nom d'origine)\r\n", italic8}};
  auto with = [](std::vector<Piece> head, const std::vector<Piece>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  runOutcomeCases({
      {"an old companion moves even when none is asked for",
       withOldCompanion,
       "[IYEAR]-[NAME]",
       false,
       with(renamed, {{"Ok: ", okCompanion}, {"@/a.exif.txt => @/2004-a.exif.txt\r\n", plain8}}),
       kAllRenamed,
       {"2004-a.jpg"},
       {{"2004-a.exif.txt", "old report"}},
       {"a.exif.txt"}},
      {"an unchanged name leaves the companion alone",
       withOldCompanion,
       "[NAME]",
       true,
       unchanged,
       kAllRenamed,
       {},
       {{"a.exif.txt", "old report"}},
       {}},
      {"a stale file at the companion's new name is deleted before the move",
       [&](Bench& t) {
         withOldCompanion(t);
         t.dir.writeFile("2004-a.exif.txt", "stale");
       },
       "[IYEAR]-[NAME]",
       false,
       with(renamed, {{"Ok: ", okCompanion},
                      {"@/2004-a.exif.txt effacé\r\n", plain8},
                      {"Ok: ", okCompanion},
                      {"@/a.exif.txt => @/2004-a.exif.txt\r\n", plain8}}),
       kAllRenamed,
       {"2004-a.jpg"},
       {{"2004-a.exif.txt", "old report"}},
       {"a.exif.txt"}},
      {"a stale file at the companion's new name is deleted before writing",
       [](Bench& t) {
         t.photo("a.jpg");
         t.dir.writeFile("2004-a.exif.txt", "stale");
       },
       "[IYEAR]-[NAME]",
       true,
       with(renamed, {{"Ok: ", okCompanion},
                      {"@/2004-a.exif.txt effacé\r\n", plain8},
                      {"Ok: ", okCompanion},
                      {"Fichier texte créé: @/2004-a.exif.txt\r\n", plain8}}),
       kAllRenamed,
       {"2004-a.jpg"},
       {{"2004-a.exif.txt", "report\r\n"}},
       {}},
      {"an unchanged name still gets a new companion",
       datedPhoto,
       "[NAME]",
       true,
       with(unchanged, {{"Ok: ", okCompanion}, {"Fichier texte créé: @/a.exif.txt\r\n", plain8}}),
       kAllRenamed,
       {},
       {{"a.exif.txt", "report\r\n"}},
       {}},
      {"no companion unless asked for",
       datedPhoto,
       "[IYEAR]-[NAME]",
       false,
       renamed,
       kAllRenamed,
       {"2004-a.jpg"},
       {},
       {"2004-a.exif.txt", "a.exif.txt"}},
      {"a companion that cannot be moved stays",
       [&](Bench& t) {
         withOldCompanion(t);
         fs::create_directory(t.at("2004-a.exif.txt"));
       },
       "[IYEAR]-[NAME]",
       false,
       with(renamed, {{"ERREUR: ", errCompanion},
                      {"@/a.exif.txt\r\n", strong10},
                      {"\t\tne peut être renommé en @/2004-a.exif.txt\r\n", plain8},
                      {"\t\til va rester sur le disque\r\n", plain8},
                      {"\t\tFile exists\r\n", plain8}}),
       kAllRenamed,
       {"2004-a.jpg"},
       {{"a.exif.txt", "old report"}},
       {}},
      {"another image's companion at the new name is kept, not replaced by the old one",
       [&](Bench& t) {
         withOldCompanion(t);
         t.dir.writeFile("2004-a.tif", "another image");
         t.dir.writeFile("2004-a.exif.txt", "notes");
       },
       "[IYEAR]-[NAME]",
       true,
       with(renamed, {{"ERREUR: ", errCompanion},
                      {"@/a.exif.txt\r\n", strong10},
                      {"\t\tne peut être renommé en @/2004-a.exif.txt\r\n", plain8},
                      {"\t\til va rester sur le disque\r\n", plain8},
                      {"\t\tle fichier existe déjà et accompagne @/2004-a.tif\r\n", plain8}}),
       kAllRenamed,
       {"2004-a.jpg"},
       {{"a.exif.txt", "old report"}, {"2004-a.exif.txt", "notes"}},
       {}},
      {"another image's companion at the new name is kept, no report written over it",
       [](Bench& t) {
         t.photo("a.jpg");
         t.dir.writeFile("2004-a.TIF", "another image");
         t.dir.writeFile("2004-a.exif.txt", "notes");
       },
       "[IYEAR]-[NAME]",
       true,
       with(renamed,
            {{"ERREUR: ", errCompanion},
             {"@/2004-a.exif.txt\r\n", strong10},
             {"\t\tProblème de création du fichier: le fichier existe déjà et accompagne @/2004-a.TIF\r\n",
              plain8}}),
       kAllRenamed,
       {"2004-a.jpg"},
       {{"2004-a.exif.txt", "notes"}},
       {}},
  });
}

TEST(BatchRename, ACompanionThatFailsWhileWrittenIsLoggedAndRemoved) {
  Bench t;
  t.photo("a.jpg");
  t.add({"a.jpg"});
  t.hooks.writeCompanion = [](output::OutputSink& s) {
    s.WriteRich("half a report", output::TextStyle{});
    throw output::IoFault("disque plein");
  };
  const naming::BatchOutcome outcome = t.run("[IYEAR]-[NAME]", true);
  t.expectBody({{"Ok: ", okImage},
                {"@/a.jpg => @/2004-a.jpg\r\n", plain8},
                {"ERREUR: ", errCompanion},
                {"@/2004-a.exif.txt\r\n", strong10},
                {"\t\tProblème de création du fichier: disque plein\r\n", plain8}});
  EXPECT_FALSE(t.exists("2004-a.exif.txt"));
  EXPECT_TRUE(t.exists("2004-a.jpg"));
  // The image counts as renamed; the companion problem is counted apart.
  EXPECT_EQ(t.closingTitle(), titleText(kAllRenamed));
  EXPECT_EQ(outcome.renamed, 1u);
  EXPECT_EQ(outcome.companionFailed, 1u);
}

TEST(BatchRename, ACompanionThatCannotBeCreatedLeavesWhatIsThere) {
  Bench t;
  t.photo("a.jpg");
  fs::create_directory(t.at("2004-a.exif.txt"));
  t.add({"a.jpg"});
  t.run("[IYEAR]-[NAME]", true);
  const auto pieces = t.body();
  ASSERT_EQ(pieces.size(), 5u) << t.log.text();
  EXPECT_EQ(pieces[2].text, "ERREUR: ");
  EXPECT_EQ(pieces[2].style, errCompanion);
  EXPECT_EQ(pieces[3].text, t.sub("@/2004-a.exif.txt\r\n"));
  EXPECT_EQ(pieces[4].text.rfind("\t\tProblème de création du fichier: ", 0), 0u) << pieces[4].text;
  EXPECT_TRUE(fs::is_directory(t.at("2004-a.exif.txt")));
}

// Photos that differ only in their extension share a companion name: what the
// run wrote for one of them stays that photo's report.
TEST(BatchRename, ACompanionWrittenInTheRunIsNeitherDeletedNorTakenByAnotherPhoto) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> photos;  // name, date
    const char* format;
    std::map<std::string, std::string> companions;  // name -> report of
    size_t companionFailed;
  };
  const std::vector<Case> cases = {
      {"same companion name",
       {{"a.jpg", "2004:06:12 14:30:05"}, {"a.jpeg", "2004:06:12 14:30:05"}},
       "[IYEAR]-[NUMBER]",
       {{"2004-01.exif.txt", "a.jpg"}},
       1},
      {"a companion of the run lies at the old companion name",
       {{"a.jpg", "2004:06:12 14:30:05"}, {"2004.jpeg", "2005:01:01 00:00:00"}},
       "[IYEAR]",
       {{"2004.exif.txt", "a.jpg"}, {"2005.exif.txt", "2004.jpeg"}},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench t;
    t.hooks.writeCompanion = [&t](output::OutputSink& s) {
      s.WriteRich(meta::fileNameOf(t.img.SourcePath), {});
    };
    std::vector<std::string> paths;
    for (const auto& [name, date] : c.photos) {
      t.photo(name, date);
      paths.push_back(t.at(name));
    }
    t.list.AddFiles(paths);
    const naming::BatchOutcome o = t.run(c.format, true);
    EXPECT_EQ(o.failed, 0u) << t.log.text();
    EXPECT_EQ(o.companionFailed, c.companionFailed) << t.log.text();
    for (const auto& [name, of] : c.companions) EXPECT_EQ(t.content(name), of) << name;
  }
}

// On a memory card (FAT, exFAT) names in another case are one file: the
// companion at the new name in another case belongs to the photo of that
// name beside it, and is neither deleted nor replaced.
TEST(BatchRename, ACompanionInAnotherCaseIsAnotherPhotosOnAVolumeThatFoldsCase) {
  struct Case {
    const char* what;
    bool foldsCase;
    bool textFile;
    bool ownCompanion;  // IMG_1.exif.txt beside the photo
    size_t companionFailed;
    std::vector<std::string> companionsAfter;
  };
  const std::vector<Case> cases = {
      {"report asked for, case folded", true, true, false, 1, {"shot.exif.txt"}},
      {"own companion moved, case folded", true, false, true, 1, {"IMG_1.exif.txt", "shot.exif.txt"}},
      {"report asked for, case kept", false, true, false, 0, {"Shot.exif.txt", "shot.exif.txt"}},
      {"own companion moved, case kept", false, false, true, 0, {"Shot.exif.txt", "shot.exif.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bench t;
    t.photo("IMG_1.jpg");
    qmtest::FakeFileSystem volume(c.foldsCase);
    for (const char* name : {"shot.tif", "shot.exif.txt", "IMG_1.jpg"}) volume.addFile(t.at(name));
    if (c.ownCompanion) volume.addFile(t.at("IMG_1.exif.txt"));
    t.add({"IMG_1.jpg"});

    const naming::BatchOutcome o = t.run("Shot", c.textFile, &volume);

    EXPECT_EQ(o.renamed, 1u) << t.log.text();
    EXPECT_EQ(o.companionFailed, c.companionFailed) << t.log.text();
    std::vector<std::string> companions;
    for (const std::string& name : volume.namesIn(t.root() + "/"))
      if (name.ends_with(".exif.txt")) companions.push_back(name);
    std::sort(companions.begin(), companions.end());
    EXPECT_EQ(companions, c.companionsAfter);
    EXPECT_EQ(t.log.text().find("effacé"), std::string::npos) << t.log.text();
    if (c.companionFailed) {
      const std::string kept = t.sub("le fichier existe déjà et accompagne @/shot.tif");
      EXPECT_NE(t.log.text().find(kept), std::string::npos) << t.log.text();
    }
  }
}

// Where moves can only test their destination first, the log says so once,
// after the first file moved that way; elsewhere it says nothing of it.
TEST(BatchRename, MovesThatOnlyTestTheirDestinationAreToldOncePerRun) {
  const std::string note =
      "Attention: ce volume ne permet pas de renommer sans risque d'écraser; "
      "chaque nom est vérifié juste avant le déplacement\r\n";
  for (bool testThenRename : {false, true}) {
    SCOPED_TRACE(testThenRename ? "test then rename" : "no-replace rename");
    Bench t;
    t.dir.writeFile("scan.jpg", qmtest::photoWithoutExif());
    t.photo("a.jpg");
    t.photo("b.jpg");
    t.photo("c.jpg");
    t.add({"scan.jpg", "a.jpg", "b.jpg", "c.jpg"});
    TestThenRenameFileSystem tested(naming::realFileSystem());
    const naming::BatchOutcome o =
        t.run("[IYEAR]-[NUMBER]", true, testThenRename ? &tested : &naming::realFileSystem());
    EXPECT_EQ(o.renamed, 3u);

    const auto pieces = t.body();
    std::vector<size_t> at;
    for (size_t i = 0; i < pieces.size(); ++i)
      if (pieces[i].text == note) at.push_back(i);
    if (!testThenRename) {
      EXPECT_TRUE(at.empty()) << t.log.text();
      continue;
    }
    ASSERT_EQ(at.size(), 1u) << t.log.text();
    // After the first photo's two lines and its companion's: the photo
    // without a date moves nothing.
    ASSERT_GE(at[0], 4u);
    EXPECT_EQ(pieces[at[0] - 1].text, t.sub("Fichier texte créé: @/2004-01.exif.txt\r\n"));
    EXPECT_EQ(pieces[at[0]].style, italic8);
  }
}

TEST(BatchRename, AMoveNeverReplacesAFileThatAppearsJustBeforeIt) {
  Bench t;
  t.photo("a.jpg");
  t.add({"a.jpg"});
  RacingFileSystem racing(naming::realFileSystem());
  const naming::BatchOutcome outcome = t.run("[IYEAR]-[NAME]", false, &racing);
  t.expectBody({{"ERREUR: ", errImage},
                {"@/a.jpg\r\n", strong10},
                {"\t\tne peut être renommé en @/2004-a.jpg\r\n", plain8},
                {"\t\tFile exists\r\n", plain8}});
  EXPECT_EQ(t.content("2004-a.jpg"), "intruder");
  EXPECT_EQ(t.content("a.jpg"), qmtest::photoWithDate("2004:06:12 14:30:05", "bytes of a.jpg"));
  EXPECT_EQ(t.listNames(), std::vector<std::string>{"a.jpg"});
  EXPECT_EQ(outcome.failed, 1u);
}

// Whole lists: how names of one batch meet, and what the list holds after.
TEST(BatchRename, ListsEndWithTheFailuresOrTheRenamedFiles) {
  struct File {
    const char* name;
    const char* date;
  };
  const char* const d2004 = "2004:06:12 14:30:05";
  struct Case {
    const char* name;
    std::vector<File> files;
    const char* format;
    const char* closing;
    std::vector<std::string> finalList;
    size_t renamed, unchanged, failed;
  };
  const std::vector<Case> cases = {
      {"all already named", {{"a.jpg", d2004}, {"b.jpg", d2004}}, "[NAME]", kAllRenamed, {}, 0, 2, 0},
      {"same name without a number",
       {{"a.jpg", d2004}, {"b.jpg", d2004}},
       "[IYEAR]",
       kErrors,
       {"b.jpg"},
       1,
       0,
       1},
      {"same name with a number",
       {{"a.jpg", d2004}, {"b.jpg", d2004}},
       "[IYEAR]-[NUMBER]",
       kAllRenamed,
       {"2004-01.jpg", "2004-02.jpg"},
       2,
       0,
       0},
      {"a name freed earlier in the batch",
       {{"2004-01.jpg", "2003:01:01 00:00:00"}, {"a.jpg", d2004}},
       "[IYEAR]-[NUMBER]",
       kAllRenamed,
       {"2003-01.jpg", "2004-01.jpg"},
       2,
       0,
       0},
      {"a file keeps its own numbered name",
       {{"2004-01.jpg", d2004}, {"a.jpg", d2004}},
       "[IYEAR]-[NUMBER]",
       kAllRenamed,
       {"2004-02.jpg"},
       1,
       1,
       0},
      {"an empty list", {}, "[NAME]", kAllRenamed, {}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench t;
    std::vector<std::string> paths;
    for (const File& f : c.files) {
      t.photo(f.name, f.date);
      paths.push_back(t.at(f.name));
    }
    t.list.AddFiles(paths);
    const naming::BatchOutcome o = t.run(c.format);
    EXPECT_EQ(t.closingTitle(), titleText(c.closing));
    EXPECT_EQ(t.listNames(), c.finalList);
    EXPECT_EQ(o.renamed, c.renamed);
    EXPECT_EQ(o.unchanged, c.unchanged);
    EXPECT_EQ(o.failed, c.failed);
  }
}

TEST(BatchRename, ProgressIsReportedAfterEveryFile) {
  Bench t;
  t.photo("a.jpg");
  t.photo("b.jpg");
  t.add({"a.jpg", "b.jpg"});
  std::vector<std::pair<size_t, size_t>> seen;
  t.hooks.progress = [&](size_t done, size_t total) { seen.emplace_back(done, total); };
  bool before = false;
  t.hooks.beforeRun = [&] { before = t.log.pieces.empty(); };
  t.run("[IYEAR]-[NUMBER]");
  EXPECT_TRUE(before);
  EXPECT_EQ(seen, (std::vector<std::pair<size_t, size_t>>{{1, 2}, {2, 2}}));
}

// A dry run changes nothing and logs what the real run then does.
TEST(BatchRename, ADryRunChangesNothingAndForetellsTheRealRun) {
  auto prepare = [](Bench& t) {
    t.photo("a.jpg");
    t.photo("b.jpg");
    t.photo("c.jpg", "2005:01:01 00:00:00");
    t.photo("2004-01.jpg", "2003:01:01 00:00:00");
    t.dir.writeFile("b.exif.txt", "old report");
    t.dir.writeFile("2004-03.exif.txt", "stale");
    t.dir.writeFile("scan.jpg", qmtest::photoWithoutExif());
    t.add({"a.jpg", "b.jpg", "c.jpg", "2004-01.jpg", "scan.jpg"});
  };
  for (bool textFile : {false, true}) {
    SCOPED_TRACE(textFile ? "with text files" : "without text files");
    Bench t;
    prepare(t);
    const auto before = snapshot(t.dir.path());
    naming::SimulatedFileSystem simulated(naming::realFileSystem());
    const naming::BatchOutcome dry = t.run("[IYEAR]-[NUMBER]", textFile, &simulated);
    EXPECT_EQ(snapshot(t.dir.path()), before);
    const std::string dryLog = t.log.text();
    const std::vector<std::string> dryList = t.listNames();

    t.log.pieces.clear();
    t.list.clear();
    t.add({"a.jpg", "b.jpg", "c.jpg", "2004-01.jpg", "scan.jpg"});
    const naming::BatchOutcome real = t.run("[IYEAR]-[NUMBER]", textFile);
    EXPECT_EQ(dryLog, t.log.text());
    EXPECT_EQ(dryList, t.listNames());
    EXPECT_EQ(dry.renamed, real.renamed);
    EXPECT_EQ(dry.failed, real.failed);
    EXPECT_NE(snapshot(t.dir.path()), before);
  }
}

// Random folders, formats and digit counts: whatever happens, every photo's
// bytes are still there exactly once, and the final list names existing files.
// A run stopped on request: the files reached are handled and reported one by
// one, the others stay listed after the failures, and the log says so.
TEST(BatchRename, AStoppedRunKeepsTheFailuresAndTheFilesNotReached) {
  Bench t;
  t.photo("a.jpg");
  t.dir.writeFile("b.jpg", qmtest::photoWithoutExif());
  t.photo("c.jpg", "2005:01:01 00:00:00");
  t.photo("d.jpg", "2006:01:01 00:00:00");
  t.add({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
  std::vector<naming::FileResult> results;
  t.hooks.fileDone = [&](const naming::FileResult& r) { results.push_back(r); };
  t.hooks.stopRequested = [&] { return results.size() == 2; };
  const naming::BatchOutcome o = t.run("[IYEAR]-[NAME]", true);

  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].status, naming::FileStatus::Renamed);
  EXPECT_EQ(results[0].newPath, t.at("2004-a.jpg"));
  EXPECT_EQ(results[0].companion, naming::CompanionStatus::Written);
  EXPECT_EQ(results[0].companionPath, t.at("2004-a.exif.txt"));
  EXPECT_EQ(results[1].status, naming::FileStatus::Incomplete);
  EXPECT_TRUE(o.stopped);
  EXPECT_EQ(o.remaining, 2u);
  EXPECT_FALSE(o.allRenamed());
  EXPECT_EQ(t.listNames(), (std::vector<std::string>{"b.jpg", "c.jpg", "d.jpg"}));
  EXPECT_TRUE(t.exists("c.jpg") && t.exists("d.jpg"));
  EXPECT_NE(
      t.log.text().find(
          "\r\nRenommage arrêté\r\n\r\n1 renommés, 0 inchangés, 1 non renommés, 2 restent dans la liste"),
      std::string::npos)
      << t.log.text();
}

TEST(BatchRename, ARandomBatchNeverLosesOrDuplicatesAPhoto) {
  std::mt19937 random(20240612);
  const std::vector<std::string> formats = {
      "[IYEAR]-[NUMBER]",       "[IYEAR][IMONTH]", "[NAME]", naming::DefaultFormat(),
      "[IDAY]-[NUMBER]-[NAME]", "x[NUMBER]",       "[MAKER]"};
  const std::vector<std::string> dates = {"2004:06:12 14:30:05", "2004:06:13 09:00:00", "2005:01:01 00:00:00",
                                          "2004:06:12"};
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Bench t;
    t.digits = 1 + static_cast<int>(random() % 3);
    const int count = 5 + static_cast<int>(random() % 30);
    std::vector<std::string> originals, paths;
    for (int i = 0; i < count; ++i) {
      std::string name = (random() % 4 == 0 ? "x" : "IMG_") + std::to_string(random() % 50) + ".jpg";
      if (t.exists(name)) continue;
      std::string bytes = random() % 6 == 0 ? qmtest::photoWithoutExif("photo " + std::to_string(i))
                                            : qmtest::photoWithDate(dates[random() % dates.size()],
                                                                    "photo " + std::to_string(i));
      t.dir.writeFile(name, bytes);
      if (random() % 5 == 0) t.dir.writeFile(meta::replaceExtension(name, ".exif.txt"), "companion " + name);
      originals.push_back(bytes);
      if (random() % 8 != 0) paths.push_back(t.at(name));  // some stay out of the list
    }
    std::shuffle(paths.begin(), paths.end(), random);
    t.list.AddFiles(paths);
    const std::string format = formats[random() % formats.size()];
    SCOPED_TRACE(format);
    const naming::BatchOutcome o = t.run(format, random() % 2 == 0);

    std::map<std::string, int> seen;
    for (const auto& [name, bytes] : snapshot(t.dir.path())) ++seen[bytes];
    for (const std::string& bytes : originals) EXPECT_EQ(seen[bytes], 1);
    EXPECT_EQ(o.renamed + o.unchanged + o.failed, paths.size());
    for (const std::string& p : t.list.paths()) EXPECT_TRUE(fs::is_regular_file(p)) << p;
  }
}

}  // namespace

namespace {

// Passes everything to the machine's file system, but takes only the first
// `groups` groups of changes: a journal that fills up or fails.
class JournalThatFills final : public naming::FileSystem {
 public:
  JournalThatFills(naming::FileSystem& base, int groups) : base_(base), groups_(groups) {}
  bool fileExists(const std::string& p) override { return base_.fileExists(p); }
  bool folderExists(const std::string& p) override { return base_.folderExists(p); }
  bool moveFile(const std::string& from, const std::string& to) override { return base_.moveFile(from, to); }
  bool deleteFile(const std::string& p) override { return base_.deleteFile(p); }
  std::unique_ptr<output::CompanionSink> createTextFile(const std::string& p) override {
    return base_.createTextFile(p);
  }
  std::vector<std::string> namesIn(const std::string& f) override { return base_.namesIn(f); }
  std::string lastError() const override { return "journal: No space left on device"; }
  bool prepare(std::vector<naming::PlannedChange> changes) override {
    if (!changes.empty() && groups_-- <= 0) return false;
    return base_.prepare(std::move(changes));
  }

 private:
  naming::FileSystem& base_;
  int groups_;
};

}  // namespace

// Nothing is changed that the journal could not take: the run stops before
// the group whose records failed, says why, and keeps every file it did not
// reach in the list.
TEST(BatchRename, AJournalThatCannotTakeTheNextChangesStopsTheRunBeforeThem) {
  Bench t;
  std::vector<std::string> paths;
  for (int i = 0; i < 100; ++i) {
    const std::string name = "IMG_" + std::to_string(1000 + i) + ".jpg";
    t.photo(name);
    paths.push_back(t.at(name));
  }
  t.list.AddFiles(paths);
  JournalThatFills files(naming::realFileSystem(), 1);
  const naming::BatchOutcome o = t.run("[IYEAR]-[NUMBER]", false, &files);

  EXPECT_TRUE(o.stopped);
  EXPECT_EQ(o.journalProblem, "journal: No space left on device");
  EXPECT_GT(o.renamed, 0u);
  EXPECT_LT(o.renamed, 100u);
  EXPECT_EQ(o.renamed + o.remaining, 100u);
  EXPECT_EQ(t.list.size(), o.remaining);
  for (const std::string& p : t.list.paths()) EXPECT_TRUE(fs::is_regular_file(p)) << p;
  // The files renamed are exactly those of the groups the journal took, in list order.
  for (size_t i = 0; i < 100; ++i)
    EXPECT_EQ(t.exists("IMG_" + std::to_string(1000 + i) + ".jpg"), i >= o.renamed) << i;
  const std::string log = t.log.text();
  EXPECT_NE(
      log.find("le journal d'annulation ne peut plus être écrit\r\n\t\tjournal: No space left on device"),
      std::string::npos)
      << log;
  EXPECT_NE(log.find(titleText("Renommage arrêté")), std::string::npos) << log;
}

// A photo that cannot be read says why, not that it lacks information.
TEST(BatchRename, APhotoThatCannotBeReadIsLoggedWithTheSystemsReason) {
  Bench t;
  t.photo("a.jpg");
  t.photo("b.jpg");
  t.add({"a.jpg", "b.jpg"});
  fs::remove(t.at("a.jpg"));
  t.run("[IYEAR]-[NAME]");
  const std::string log = t.log.text();
  EXPECT_NE(log.find(t.at("a.jpg") + "\r\n\t\t ne peut être lu: No such file or directory"),
            std::string::npos)
      << log;
  EXPECT_TRUE(t.exists("2004-b.jpg")) << log;
}

// Names that hold terminal controls or line ends are logged escaped, never raw.
TEST(BatchRename, PathsInTheLogAreShownEscaped) {
  Bench t;
  const std::string odd = "a\x1b[31mb\nc.jpg";
  t.photo(odd);
  t.add({odd.c_str()});
  t.run("[IYEAR]-[NAME]");
  const std::string log = t.log.text();
  EXPECT_EQ(log.find('\x1b'), std::string::npos) << log;
  EXPECT_NE(log.find("a\\x1b[31mb\\x0ac.jpg => "), std::string::npos) << log;
  EXPECT_NE(log.find("2004-a\\x1b[31mb\\x0ac.jpg\r\n"), std::string::npos) << log;
  EXPECT_TRUE(t.exists("2004-" + odd));
}
