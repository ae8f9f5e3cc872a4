#include "naming/batch_rename.hpp"

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "metadata/paths.hpp"
#include "metadata/text.hpp"
#include "naming/collision_cache.hpp"
#include "naming/journal.hpp"

namespace naming {

namespace {

constexpr std::string_view kCompanionSuffix = ".exif.txt";
const std::string kWrittenForAnother = "déjà écrit pour une autre image de cette série";
const std::string kMovedAfterTest =
    "Attention: ce volume ne permet pas de renommer sans risque d'écraser; "
    "chaque nom est vérifié juste avant le déplacement";

// The pieces of the log, with their styles in one place.
const TextStyle kOkImage = styleOf(true, false, 10, kGreen);
const TextStyle kOkCompanion = styleOf(true, false, 10, kBlue);
const TextStyle kErrorImage = styleOf(true, false, 14, kRed);
const TextStyle kErrorCompanion = styleOf(true, false, 12, kMaroon);
const TextStyle kPathStrong = styleOf(true, false, 10, kBlack);
const TextStyle kDetail10 = styleOf(false, false, 10, kBlack);
const TextStyle kDetail8 = styleOf(false, false, 8, kBlack);
const TextStyle kAside8 = styleOf(false, true, 8, kBlack);

class Batch {
 public:
  Batch(TNaming& naming, OutputSink& log, bool withTextFile, const BatchHooks& hooks, size_t files)
      : naming_(naming), fs_(naming.Files()), log_(log), withTextFile_(withTextFile), hooks_(hooks) {
    cache_.reserve(files);
    renamed_.reserve(files);
  }

  // One image: the first test that applies decides its outcome.
  void renameOne(const std::string& path) {
    naming_.EvaluateFile(path, &cache_);
    TNaming& n = naming_;
    // Assigned in place: the texts reuse their room from file to file.
    result.oldPath = n.OldPath;
    result.newPath = n.NewPath;
    result.status = FileStatus::Incomplete;
    result.companion = CompanionStatus::None;
    result.companionPath = n.NewTextPath;
    if (!n.NameComplete) {
      log_.WriteRich("ERREUR: ", kErrorImage);
      WriteLine(log_, n.OldPath, kPathStrong);
      WriteLine(log_, "\t\t ne peut être renommé par manque d'information", kDetail10);
      fail(n.OldPath);
      return;
    }
    if (n.NewPath == n.OldPath) {
      log_.WriteRich("Ok: ", kOkImage);
      log_.WriteRich(n.OldPath, kDetail8);
      WriteLine(log_, " (Identique au nom d'origine)", kAside8);
      ++outcome.unchanged;
      result.status = FileStatus::Unchanged;
      companionStep();
      return;
    }
    // Tested before any move, so that the log can say why; the move itself
    // refuses a destination that appears after this test too.
    if (fs_.fileExists(n.NewPath)) {
      log_.WriteRich("ERREUR: ", kErrorImage);
      WriteLine(log_, n.OldPath, kPathStrong);
      WriteLine(log_, "\t\tne peut être renommé en " + n.NewPath, kDetail10);
      WriteLine(log_, "\t\tLe fichier destination existe déjà", kDetail10);
      fail(n.OldPath);
      result.status = FileStatus::NameTaken;
      n.NameComplete = false;
      return;
    }
    if (n.Reader().SourcePath == n.OldPath) fs_.readAs(n.OldPath, n.Reader().FileStamp);
    if (!fs_.moveFile(n.OldPath, n.NewPath)) {
      log_.WriteRich("ERREUR: ", kErrorImage);
      WriteLine(log_, n.OldPath, kPathStrong);
      WriteLine(log_, "\t\tne peut être renommé en " + n.NewPath, kDetail8);
      WriteLine(log_, "\t\t" + fs_.lastError(), kDetail8);
      fail(n.OldPath);
      result.status = FileStatus::MoveFailed;
      n.NameComplete = false;
      return;
    }
    log_.WriteRich("Ok: ", kOkImage);
    WriteLine(log_, n.OldPath + " => " + n.NewPath, kDetail8);
    noteMove(n.OldPath, n.NewPath);
    renamed_.push_back(n.NewPath);
    ++outcome.renamed;
    result.status = FileStatus::Renamed;
    companionStep();
  }

  // Refills the list: the failures under their old names, or else the renamed
  // files under their new ones. A stopped run keeps the failures and the
  // files it did not reach, and says where it stopped.
  void finish(FileList& list) {
    if (outcome.stopped) {
      std::vector<std::string> rest;
      while (!list.empty()) rest.push_back(list.takeFirst());
      for (std::string& p : failed_) list.appendUnchecked(std::move(p));
      for (std::string& p : rest) list.appendUnchecked(std::move(p));
      WriteTitle(log_, "Renommage arrêté");
      WriteLine(log_,
                std::to_string(outcome.renamed) + " renommés, " + std::to_string(outcome.unchanged) +
                    " inchangés, " + std::to_string(outcome.failed) + " non renommés, " +
                    std::to_string(outcome.remaining) + " restent dans la liste",
                kDetail10);
      return;
    }
    if (!failed_.empty()) {
      for (std::string& p : failed_) list.appendUnchecked(std::move(p));
      WriteTitle(log_, "Des erreurs ont été rencontrées");
    } else {
      WriteTitle(log_, "Tout a été renommé");
      for (std::string& p : renamed_) list.appendUnchecked(std::move(p));
    }
  }

  BatchOutcome outcome;
  FileResult result;  // of the image last handled

 private:
  // The running numbers remembered for this run must follow every change
  // that the run makes to the folders.
  void noteMove(const std::string& from, const std::string& to) {
    cache_.notifyVacated(from);
    cache_.notifyOccupied(to);
  }

  void fail(const std::string& oldPath) {
    failed_.push_back(oldPath);
    ++outcome.failed;
  }

  // The companion text file follows its image: an old one is renamed with it
  // (whatever the text-file choice), otherwise a new one is written on request.
  void companionStep() {
    const TNaming& n = naming_;
    // Images that differ only in their extension (a.jpg, a.tif) share one
    // companion name: a companion that this run gave one of them is neither
    // deleted nor taken away for another.
    const bool takenInThisRun = produced_.count(n.NewTextPath) != 0;
    if (fs_.fileExists(n.OldTextPath) && produced_.count(n.OldTextPath) == 0) {
      if (n.OldTextPath == n.NewTextPath) return;
      std::string why = takenInThisRun ? kWrittenForAnother : std::string();
      if (why.empty() && fs_.fileExists(n.NewTextPath)) why = clearDestination(n.NewTextPath);
      // Tried even after a failed delete: the move then refuses to replace it.
      if (why.empty() && fs_.moveFile(n.OldTextPath, n.NewTextPath)) {
        noteMove(n.OldTextPath, n.NewTextPath);
        produced_.insert(n.NewTextPath);
        log_.WriteRich("Ok: ", kOkCompanion);
        WriteLine(log_, n.OldTextPath + " => " + n.NewTextPath, kDetail8);
        result.companion = CompanionStatus::Moved;
        return;
      }
      if (why.empty()) why = fs_.lastError();
      log_.WriteRich("ERREUR: ", kErrorCompanion);
      WriteLine(log_, n.OldTextPath, kPathStrong);
      WriteLine(log_, "\t\tne peut être renommé en " + n.NewTextPath, kDetail8);
      WriteLine(log_, "\t\til va rester sur le disque", kDetail8);
      if (!why.empty()) WriteLine(log_, "\t\t" + why, kDetail8);
      ++outcome.companionFailed;
      result.companion = CompanionStatus::Failed;
      return;
    }
    if (!withTextFile_) return;
    if (takenInThisRun) {
      companionNotWritten(n.NewTextPath, kWrittenForAnother);
      return;
    }
    if (fs_.fileExists(n.NewTextPath)) {
      const std::string why = clearDestination(n.NewTextPath);
      if (!why.empty()) {
        companionNotWritten(n.NewTextPath, why);
        return;
      }
    }
    writeCompanion(n.NewTextPath);
  }

  // A file at the companion's new name is stale when no other image of that
  // name is beside it (the one being renamed aside), and is then removed (a
  // failed removal is logged; the move or creation that follows refuses to
  // replace the file). Otherwise it is another image's companion and stays:
  // the result says so; it is empty when the way is clear.
  std::string clearDestination(const std::string& companion) {
    const std::string owner = otherImageOf(companion);
    if (!owner.empty()) return "le fichier existe déjà et accompagne " + owner;
    deleteStale(companion);
    return {};
  }

  // An image other than the one being renamed whose companion name is `companion`.
  std::string otherImageOf(const std::string& companion) {
    const TNaming& n = naming_;
    const std::string folder = meta::folderOf(companion);
    const std::string name = meta::fileNameOf(companion);
    for (const std::string& entry : fs_.namesIn(folder)) {
      if (!hasAcceptedExtension(entry) ||
          !fs_.sameEntry(folder, meta::stripExtension(entry).append(kCompanionSuffix), name))
        continue;
      const std::string image = folder + entry;
      if (image != n.NewPath && image != n.OldPath) return image;
    }
    return {};
  }

  void deleteStale(const std::string& path) {
    if (fs_.deleteFile(path)) {
      cache_.notifyVacated(path);
      log_.WriteRich("Ok: ", kOkCompanion);
      WriteLine(log_, path + " effacé", kDetail8);
      return;
    }
    log_.WriteRich("ERREUR: ", kErrorCompanion);
    WriteLine(log_, "Problème pour effacer " + path, kPathStrong);
    WriteLine(log_, "\t\t" + fs_.lastError(), kDetail8);
  }

  // The report of the file just evaluated goes into a new companion file,
  // which appears only once it is complete. The image stays renamed.
  void writeCompanion(const std::string& path) {
    std::string problem;
    try {
      std::unique_ptr<CompanionSink> file = fs_.createTextFile(path);
      // The run read the file for its name alone; the report needs the rest.
      naming_.Reader().DecodeFully();
      if (hooks_.writeCompanion) hooks_.writeCompanion(*file);
      file->close();
      cache_.notifyOccupied(path);
      produced_.insert(path);
      log_.WriteRich("Ok: ", kOkCompanion);
      WriteLine(log_, "Fichier texte créé: " + path, kDetail8);
      result.companion = CompanionStatus::Written;
      return;
    } catch (const std::exception& e) {
      // Boundary: no failure of one companion file stops the run.
      problem = e.what();
    }
    companionNotWritten(path, problem);
  }

  void companionNotWritten(const std::string& path, const std::string& problem) {
    log_.WriteRich("ERREUR: ", kErrorCompanion);
    WriteLine(log_, path, kPathStrong);
    WriteLine(log_, "\t\tProblème de création du fichier: " + problem, kDetail8);
    ++outcome.companionFailed;
    result.companion = CompanionStatus::Failed;
  }

  TNaming& naming_;
  FileSystem& fs_;
  OutputSink& log_;
  bool withTextFile_;
  const BatchHooks& hooks_;
  CollisionCache cache_;
  std::unordered_set<std::string> produced_;  // companions this run created or moved into place
  std::vector<std::string> failed_;
  std::vector<std::string> renamed_;
};

}  // namespace

BatchOutcome RunBatch(TNaming& naming, FileList& list, OutputSink& log, bool withTextFile,
                      const BatchHooks& hooks) {
  if (hooks.beforeRun) hooks.beforeRun();
  // Names need a handful of facts: the files are decoded that far, and in
  // full only for a companion report.
  struct FactsOnlyReads {
    meta::TimgData& reader;
    bool before = reader.FactsOnly;
    ~FactsOnlyReads() { reader.FactsOnly = before; }
  } factsOnly{naming.Reader()};
  naming.Reader().FactsOnly = true;
  // The run is the only writer of its folders: one listing of each answers
  // the existence tests.
  struct Listings {
    FileSystem& files;
    ~Listings() { files.rememberListings(false); }
  } listings{naming.Files()};
  naming.Files().rememberListings(true);
  Batch batch(naming, log, withTextFile, hooks, list.size());
  // The log says it once, after the first move that could only test its destination.
  const size_t testedMoves = naming.Files().movesAfterTest();
  bool toldTested = false;
  WriteTitle(log, "Changement des noms");
  const size_t total = list.size();
  size_t done = 0;
  // The list empties itself one file at a time, in list order.
  while (!list.empty()) {
    if (done > 0 && hooks.stopRequested && hooks.stopRequested()) {
      batch.outcome.stopped = true;
      batch.outcome.remaining = list.size();
      break;
    }
    batch.renameOne(list.takeFirst());
    if (!toldTested && naming.Files().movesAfterTest() != testedMoves) {
      toldTested = true;
      WriteLine(log, kMovedAfterTest, kAside8);
    }
    ++done;
    if (hooks.fileDone) hooks.fileDone(batch.result);
    if (hooks.progress) hooks.progress(done, total);
  }
  batch.finish(list);
  return batch.outcome;
}

std::optional<BatchOutcome> RunJournaledBatch(TNaming& naming, FileList& list, OutputSink& log, bool withTextFile,
                                              const BatchHooks& hooks, std::string& problem) {
  std::unique_ptr<Journal> journal = Journal::create(stateFolder(), problem);
  if (!journal) return std::nullopt;
  const std::unique_ptr<FileSystem> files = journaledFileSystem(*journal);
  FileSystem& before = naming.Files();
  naming.UseFiles(*files);
  struct Restore {
    TNaming& naming;
    FileSystem& files;
    ~Restore() { naming.UseFiles(files); }
  } restore{naming, before};
  const BatchOutcome outcome = RunBatch(naming, list, log, withTextFile, hooks);
  journal->end(outcome.renamed, outcome.unchanged, outcome.failed);
  return outcome;
}

}  // namespace naming
