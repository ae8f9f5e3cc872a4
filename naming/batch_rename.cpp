#include "naming/batch_rename.hpp"

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <exception>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "metadata/paths.hpp"
#include "metadata/text.hpp"
#include "naming/collision_cache.hpp"
#include "naming/journal.hpp"
#include "naming/name_map.hpp"
#include "output/log_styles.hpp"

namespace naming {

namespace {

const std::string kWrittenForAnother = "déjà écrit pour une autre image de cette série";
const std::string kMovedAfterTest =
    "Attention: ce volume ne permet pas de renommer sans risque d'écraser; "
    "chaque nom est vérifié juste avant le déplacement";

using namespace output::log;  // the log's styles

// How far ahead the batch decides. A group's changes are recorded and put on
// the disk at once before the first is made. Each sync also has the file
// system commit the renames made since the last one, and costs about as
// much as deciding a few hundred photos here; but the further a photo's
// rename comes after its read, the colder the system's caches (and the more
// memory the group's plans take). Groups of 4,096 photos weigh the two: a
// 10,000-photo run syncs four times. The first group is small, so that the
// first renames come at once. The companion reports a group holds are
// bounded.
constexpr size_t kFirstGroup = 32;
constexpr size_t kLargestGroup = 4096;
constexpr size_t kGroupReportBytes = 32u << 20;
// While deciding, the progress hook is called this often (the window keeps
// answering, and "Arrêter" is seen).
constexpr size_t kDecisionsBetweenProgress = 256;

// The folders as a group's changes leave them, before any is made: the
// base's answers, changed by the moves, deletions and creations decided so
// far. Where a folder cannot take new entries (a write-protected card, a
// read-only folder) or a name is too long, the change is refused, as the
// system would refuse it.
class PlanView final : public FileSystem {
 public:
  explicit PlanView(FileSystem& base) : base_(base) {}

  bool fileExists(const std::string& path) override {
    if (const std::optional<bool> changed = changed_.find(path)) return *changed;
    return base_.fileExists(path);
  }
  bool folderExists(const std::string& path) override { return base_.folderExists(path); }
  bool sameEntry(const std::string& folder, std::string_view a, std::string_view b) override {
    return base_.sameEntry(folder, a, b);
  }
  bool moveFile(const std::string& from, const std::string& to) override {
    return fileExists(from) && !fileExists(to) && moveReadPhoto(from, to);
  }
  // The move of a photo just read to a name just found free.
  bool moveReadPhoto(const std::string& from, const std::string& to) {
    if (!canChange(from) || !canChange(to)) return false;
    changed_.set(from, false);
    changed_.set(to, true);
    return true;
  }
  bool deleteFile(const std::string& path) override {
    if (!fileExists(path) || !canChange(path)) return false;
    changed_.set(path, false);
    return true;
  }
  std::unique_ptr<output::CompanionSink> createTextFile(const std::string& path) override {
    if (!canChange(path) || folderExists(path)) throw output::IoFault("Impossible de créer " + path);
    changed_.set(path, true);
    return nullptr;
  }
  std::vector<std::string> namesIn(const std::string& folder) override {
    std::vector<std::string> names;
    for (std::string& name : base_.namesIn(folder))
      if (changed_.find(folder + name) != std::optional<bool>(false)) names.push_back(std::move(name));
    changed_.findName([&](std::string_view path) {
      if (path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
          meta::fileNameStart(path) == folder.size() && changed_.find(path) == std::optional<bool>(true) &&
          !base_.fileExists(std::string(path)))
        names.emplace_back(path.substr(folder.size()));
      return false;
    });
    return names;
  }

 private:
  // The longest file name that the usual file systems accept, in bytes.
  static constexpr size_t kLongestName = 255;

  bool canChange(const std::string& path) {
    const size_t nameStart = meta::fileNameStart(path);
    if (path.size() - nameStart > kLongestName) return false;
    const std::string_view folder(path.data(), nameStart);
    if (!known_ || folder != lastFolder_) {
      lastFolder_.assign(folder);
      writable_ = ::access(folder.empty() ? "." : lastFolder_.c_str(), W_OK | X_OK) == 0;
      known_ = true;
    }
    return writable_;
  }

  FileSystem& base_;
  NameMap<bool> changed_;   // path -> there or gone
  std::string lastFolder_;  // the folder whose permission was asked last
  bool known_ = false, writable_ = false;
};

// A text of the log that holds paths, shown with any byte that could act on
// a terminal or break a line escaped.
std::string shown(std::string_view text) { return meta::printablePath(text); }

// A sink that keeps the text only: a companion report made while deciding.
struct TextSink final : output::OutputSink {
  std::string text;
  void WriteRich(const std::string& piece, const output::TextStyle&) override { text += piece; }
};

// What the batch decided for one image: its outcome if the changes go as
// planned, and the companion's steps, each logged when it is made.
struct Plan {
  enum class Step { ClearStale, MoveCompanion, CompanionRefused, WriteCompanion, CompanionNotWritten };
  struct Companion {
    Step step;
    std::string path;    // ClearStale, WriteCompanion, CompanionNotWritten: the file; moves: from
    std::string target;  // moves: to
    std::string text;    // WriteCompanion: the report; refusals: why
    std::unique_ptr<output::CompanionSink> sink;  // WriteCompanion: written and sealed ahead of the moves
  };
  FileResult result;             // status Renamed: a move to make
  std::string unreadable;        // Incomplete: the system's reason when the file could not be read
  bool refusalExpected = false;  // Renamed: the view refused the move, tried all the same
  std::vector<Companion> companion;
};

// A group of images decided together: their plans (reused from group to
// group, the first `size` in use) and their changes in the order they will
// be tried.
struct Group {
  std::vector<Plan> plans;
  size_t size = 0;
  std::vector<PlannedChange> changes;
};

class Batch {
 public:
  Batch(TNaming& naming, output::OutputSink& log, bool withTextFile, const BatchHooks& hooks, size_t files)
      : naming_(naming),
        fs_(naming.Files()),
        log_(log),
        withTextFile_(withTextFile),
        hooks_(hooks),
        total_(files) {
    newCache();
    renamed_.reserve(files);
  }

  // Takes the whole list, a group at a time: decides it, has its changes
  // recorded on the disk, then makes them.
  void run(FileList& list) {
    size_t size = kFirstGroup;
    while (!outcome.stopped && (!again_.empty() || !list.empty())) {
      decideGroup(list, size);
      if (group_.size == 0) {  // asked to stop before it
        outcome.stopped = true;
        break;
      }
      if (!record()) return;
      const size_t acted = actOnGroup();
      if (acted < group_.size || deviated_) {
        requeue(acted);
        size = kFirstGroup;
        continue;
      }
      size = kLargestGroup;
    }
  }

  // Refills the list: the failures under their old names, or else the renamed
  // files under their new ones. A stopped run keeps the failures and the
  // files it did not reach, and says where it stopped.
  void finish(FileList& list) {
    if (outcome.stopped) {
      std::vector<std::string> rest(again_.begin(), again_.end());
      while (!list.empty()) rest.push_back(list.takeFirst());
      outcome.remaining = rest.size();
      for (std::string& p : failed_) list.appendUnchecked(std::move(p));
      for (std::string& p : rest) list.appendUnchecked(std::move(p));
      if (!outcome.journalProblem.empty()) {
        log_.WriteRich("ERREUR: ", kErrorImage);
        output::WriteLine(log_, "le journal d'annulation ne peut plus être écrit", kPathStrong);
        output::WriteLine(log_, "\t\t" + shown(outcome.journalProblem), kDetail10);
        output::WriteLine(log_, "\t\tle renommage s'arrête avant tout changement qui n'y serait pas inscrit",
                          kDetail10);
      }
      output::WriteTitle(log_, "Renommage arrêté");
      output::WriteLine(log_,
                        std::to_string(outcome.renamed) + " renommés, " + std::to_string(outcome.unchanged) +
                            " inchangés, " + std::to_string(outcome.failed) + " non renommés, " +
                            std::to_string(outcome.remaining) + " restent dans la liste",
                        kDetail10);
      return;
    }
    if (!failed_.empty()) {
      for (std::string& p : failed_) list.appendUnchecked(std::move(p));
      output::WriteTitle(log_, "Des erreurs ont été rencontrées");
    } else {
      output::WriteTitle(log_, "Tout a été renommé");
      for (std::string& p : renamed_) list.appendUnchecked(std::move(p));
    }
  }

  BatchOutcome outcome;

 private:
  // ---- Deciding -----------------------------------------------------------

  // Decides up to `size` images into the group, over a view of the folders
  // as the group's changes leave them.
  void decideGroup(FileList& list, size_t size) {
    Group& group = group_;
    group.size = 0;
    group.changes.clear();
    const size_t expected = std::min(size, again_.size() + list.size());
    group.plans.reserve(expected);
    group.changes.reserve(withTextFile_ ? 2 * expected : expected);
    PlanView view(fs_);
    naming_.UseFiles(view);
    size_t reportBytes = 0;
    while (group.size < size && reportBytes < kGroupReportBytes && (!again_.empty() || !list.empty())) {
      if (done_ > 0 && stopAsked()) break;
      std::string path;
      if (!again_.empty()) {
        path = std::move(again_.front());
        again_.pop_front();
      } else {
        path = list.takeFirst();
      }
      decide(path, view);
      for (const Plan::Companion& c : group.plans[group.size - 1].companion) reportBytes += c.text.size();
      if (group.size % kDecisionsBetweenProgress == 0 && hooks_.progress) hooks_.progress(done_, total_);
    }
    naming_.UseFiles(fs_);
  }

  // Has the file system record the group's changes. False when they cannot
  // be: the run stops before them.
  bool record() {
    if (fs_.prepare(std::move(group_.changes))) return true;
    stop(fs_.lastError());
    requeue(0);
    return false;
  }

  // One image: the first test that applies decides its outcome.
  void decide(const std::string& path, PlanView& view) {
    naming_.EvaluateFile(path, cache_.get());
    TNaming& n = naming_;
    // The plans of earlier groups are reused: their texts keep their room.
    Group& group = group_;
    if (group.size == group.plans.size()) group.plans.emplace_back();
    Plan& plan = group.plans[group.size++];
    plan.unreadable.clear();
    plan.refusalExpected = false;
    plan.companion.clear();
    plan.result.companion = CompanionStatus::None;
    FileResult& r = plan.result;
    r.oldPath = n.OldPath;
    r.newPath = n.NewPath;
    r.companionPath = n.NewTextPath;
    if (!n.NameComplete) {
      r.status = FileStatus::Incomplete;
      plan.unreadable = n.Reader().OpenError;  // empty when the file was read
      return;
    }
    if (n.NewPath == n.OldPath) {
      r.status = FileStatus::Unchanged;
      decideCompanion(plan, view);
      return;
    }
    // Tested before any move, so that the log can say why; the move itself
    // refuses a destination that appears after this test too.
    if (view.fileExists(n.NewPath)) {
      r.status = FileStatus::NameTaken;
      n.NameComplete = false;
      return;
    }
    r.status = FileStatus::Renamed;
    PlannedChange& move = group_.changes.emplace_back();
    move.path = n.OldPath;
    move.target = n.NewPath;
    if (n.Reader().SourcePath == n.OldPath) move.stamp = n.Reader().FileStamp;
    // A move that the view refuses is tried all the same: the system then
    // says why. Only the moves it allows change what the next images see.
    if (!view.moveReadPhoto(n.OldPath, n.NewPath)) {
      plan.refusalExpected = true;
      return;
    }
    noteMove(n.OldPath, n.NewPath);
    decideCompanion(plan, view);
  }

  // The companion text file follows its image: an old one is renamed with it
  // (whatever the text-file choice), otherwise a new one is written on request.
  void decideCompanion(Plan& plan, FileSystem& view) {
    const TNaming& n = naming_;
    const std::string& oldText = n.OldTextPath;
    const std::string& newText = n.NewTextPath;
    // Images that differ only in their extension (a.jpg, a.tif) share one
    // companion name: a companion that this run gave one of them is neither
    // deleted nor taken away for another.
    const bool takenInThisRun = produced_.count(newText) != 0;
    if (view.fileExists(oldText) && produced_.count(oldText) == 0) {
      if (oldText == newText) return;
      std::string why = takenInThisRun ? kWrittenForAnother : std::string();
      if (why.empty() && view.fileExists(newText)) why = clearDestination(plan, view, newText);
      if (!why.empty()) {
        plan.companion.push_back({Plan::Step::CompanionRefused, oldText, newText, why, nullptr});
        return;
      }
      plan.companion.push_back({Plan::Step::MoveCompanion, oldText, newText, {}, nullptr});
      group_.changes.push_back({PlannedChange::Kind::Move, oldText, newText, {}});
      if (view.moveFile(oldText, newText)) {
        noteMove(oldText, newText);
        produced_.insert(newText);
      }
      return;
    }
    if (!withTextFile_) return;
    if (takenInThisRun) {
      plan.companion.push_back({Plan::Step::CompanionNotWritten, newText, {}, kWrittenForAnother, nullptr});
      return;
    }
    if (view.fileExists(newText)) {
      const std::string why = clearDestination(plan, view, newText);
      if (!why.empty()) {
        plan.companion.push_back({Plan::Step::CompanionNotWritten, newText, {}, why, nullptr});
        return;
      }
    }
    TextSink report;
    try {
      // The run read the file for its name alone; the report needs the rest.
      naming_.Reader().DecodeFully();
      if (hooks_.writeCompanion) hooks_.writeCompanion(report);
    } catch (const std::exception& e) {
      // Boundary: no failure of one companion file stops the run.
      plan.companion.push_back({Plan::Step::CompanionNotWritten, newText, {}, e.what(), nullptr});
      return;
    }
    plan.companion.push_back({Plan::Step::WriteCompanion, newText, {}, std::move(report.text), nullptr});
    group_.changes.push_back({PlannedChange::Kind::Create, newText, {}, {}});
    try {
      view.createTextFile(newText);
    } catch (const output::IoFault&) {
      // Tried all the same: the system then says why.
    }
    cache_->notifyOccupied(newText);
    produced_.insert(newText);
  }

  // A file at the companion's new name is stale when no other image of that
  // name is beside it (the one being renamed aside), and is then removed (a
  // failed removal is logged; the move or creation that follows refuses to
  // replace the file). Otherwise it is another image's companion and stays:
  // the result says so; it is empty when the way is clear.
  std::string clearDestination(Plan& plan, FileSystem& view, const std::string& companion) {
    const std::string owner = otherImageOf(view, companion);
    if (!owner.empty()) return "le fichier existe déjà et accompagne " + owner;
    plan.companion.push_back({Plan::Step::ClearStale, companion, {}, {}, nullptr});
    group_.changes.push_back({PlannedChange::Kind::Delete, companion, {}, {}});
    if (view.deleteFile(companion)) cache_->notifyVacated(companion);
    return {};
  }

  // An image other than the one being renamed whose companion name is `companion`.
  std::string otherImageOf(FileSystem& view, const std::string& companion) {
    const TNaming& n = naming_;
    const std::string folder = meta::folderOf(companion);
    const std::string name = meta::fileNameOf(companion);
    for (const std::string& entry : view.namesIn(folder)) {
      if (!hasAcceptedExtension(entry) ||
          !view.sameEntry(folder, meta::stripExtension(entry).append(kCompanionExtension), name))
        continue;
      const std::string image = folder + entry;
      if (image != n.NewPath && image != n.OldPath) return image;
    }
    return {};
  }

  // ---- Acting -------------------------------------------------------------

  // Makes the group's changes, image by image, and logs each outcome. The
  // companions to write are written and recorded first, so that their
  // records go on the disk together. Gives how many images were acted on:
  // where a change goes otherwise than decided (deviated_), or the run is
  // asked to stop, the rest is left.
  size_t actOnGroup() {
    Group& group = group_;
    bool writes = false;
    for (size_t i = 0; i < group.size; ++i)
      for (Plan::Companion& c : group.plans[i].companion)
        if (c.step == Plan::Step::WriteCompanion) {
          writes = true;
          try {
            c.sink = fs_.createTextFile(c.path);
            c.sink->WriteRich(c.text, {});
            c.sink->seal();
          } catch (const std::exception& e) {
            c.sink.reset();
            c.text = e.what();  // the reason, logged in its turn
          }
        }
    if (writes && !fs_.prepare({})) {
      stop(fs_.lastError());
      return 0;
    }
    deviated_ = false;
    for (size_t i = 0; i < group.size; ++i) {
      if (deviated_) return i;
      if (done_ > 0 && stopAsked()) {
        outcome.stopped = true;
        return i;
      }
      act(group.plans[i]);
    }
    return group.size;
  }

  // The images of the group from `from` on go back to be decided again (or to
  // the list, when the run stops), before those already waiting, in their
  // order. What the collision cache was told of them no longer holds (each
  // group is decided over a view of its own).
  void requeue(size_t from) {
    Group& group = group_;
    for (size_t i = group.size; i-- > from;) again_.push_front(group.plans[i].result.oldPath);
    group.size = from;
    newCache();
  }

  void act(Plan& plan) {
    FileResult& r = plan.result;
    switch (r.status) {
      case FileStatus::Incomplete:
        log_.WriteRich("ERREUR: ", kErrorImage);
        output::WriteLine(log_, shown(r.oldPath), kPathStrong);
        if (plan.unreadable.empty())
          output::WriteLine(log_, "\t\t ne peut être renommé par manque d'information", kDetail10);
        else
          output::WriteLine(log_, "\t\t ne peut être lu: " + shown(plan.unreadable), kDetail10);
        fail(r.oldPath);
        break;
      case FileStatus::Unchanged:
        log_.WriteRich("Ok: ", kOkImage);
        log_.WriteRich(shown(r.oldPath), kDetail8);
        output::WriteLine(log_, " (Identique au nom d'origine)", kAside8);
        ++outcome.unchanged;
        actOnCompanion(plan);
        break;
      case FileStatus::NameTaken:
        log_.WriteRich("ERREUR: ", kErrorImage);
        output::WriteLine(log_, shown(r.oldPath), kPathStrong);
        output::WriteLine(log_, "\t\tne peut être renommé en " + shown(r.newPath), kDetail10);
        output::WriteLine(log_, "\t\tLe fichier destination existe déjà", kDetail10);
        fail(r.oldPath);
        break;
      case FileStatus::Renamed:
      case FileStatus::MoveFailed:
        if (!fs_.moveFile(r.oldPath, r.newPath)) {
          // A refusal foreseen changes nothing for the images after it.
          if (!plan.refusalExpected) deviated_ = true;
          log_.WriteRich("ERREUR: ", kErrorImage);
          output::WriteLine(log_, shown(r.oldPath), kPathStrong);
          output::WriteLine(log_, "\t\tne peut être renommé en " + shown(r.newPath), kDetail8);
          output::WriteLine(log_, "\t\t" + shown(fs_.lastError()), kDetail8);
          fail(r.oldPath);
          r.status = FileStatus::MoveFailed;
          break;
        }
        log_.WriteRich("Ok: ", kOkImage);
        output::WriteLine(log_, shown(r.oldPath) + " => " + shown(r.newPath), kDetail8);
        renamed_.push_back(r.newPath);
        ++outcome.renamed;
        // Moved where the view foresaw a refusal: what came after was decided
        // without this move.
        if (plan.refusalExpected) deviated_ = true;
        actOnCompanion(plan);
        break;
    }
    // The log says it once, after the first image whose moves could only
    // test their destination (a volume without no-replace renames nor hard links).
    if (!toldTested_ && fs_.movesAfterTest() != testedMoves_) {
      toldTested_ = true;
      output::WriteLine(log_, kMovedAfterTest, kAside8);
    }
    ++done_;
    if (hooks_.fileDone) hooks_.fileDone(r);
    if (hooks_.progress) hooks_.progress(done_, total_);
  }

  void actOnCompanion(Plan& plan) {
    FileResult& r = plan.result;
    for (Plan::Companion& c : plan.companion) {
      switch (c.step) {
        case Plan::Step::ClearStale:
          deleteStale(c.path);
          break;
        case Plan::Step::MoveCompanion:
          // Tried even after a failed delete: the move then refuses to replace it.
          if (fs_.moveFile(c.path, c.target)) {
            log_.WriteRich("Ok: ", kOkCompanion);
            output::WriteLine(log_, shown(c.path) + " => " + shown(c.target), kDetail8);
            r.companion = CompanionStatus::Moved;
            break;
          }
          produced_.erase(c.target);
          deviated_ = true;
          companionNotMoved(r, c.path, c.target, fs_.lastError());
          break;
        case Plan::Step::CompanionRefused:
          companionNotMoved(r, c.path, c.target, c.text);
          break;
        case Plan::Step::WriteCompanion:
          try {
            if (!c.sink) throw output::IoFault(c.text);
            c.sink->close();
            c.sink.reset();
            log_.WriteRich("Ok: ", kOkCompanion);
            output::WriteLine(log_, "Fichier texte créé: " + shown(c.path), kDetail8);
            r.companion = CompanionStatus::Written;
          } catch (const std::exception& e) {
            // Boundary: no failure of one companion file stops the run.
            c.sink.reset();
            produced_.erase(c.path);
            deviated_ = true;
            companionNotWritten(r, c.path, e.what());
          }
          break;
        case Plan::Step::CompanionNotWritten:
          companionNotWritten(r, c.path, c.text);
          break;
      }
    }
  }

  void deleteStale(const std::string& path) {
    if (fs_.deleteFile(path)) {
      log_.WriteRich("Ok: ", kOkCompanion);
      output::WriteLine(log_, shown(path) + " effacé", kDetail8);
      // A journaled run keeps it for undo, and says where.
      const std::string kept = fs_.lastKept();
      if (!kept.empty()) output::WriteLine(log_, "\t\tgardé pour l'annulation dans " + shown(kept), kDetail8);
      return;
    }
    deviated_ = true;
    log_.WriteRich("ERREUR: ", kErrorCompanion);
    output::WriteLine(log_, "Problème pour effacer " + shown(path), kPathStrong);
    output::WriteLine(log_, "\t\t" + shown(fs_.lastError()), kDetail8);
  }

  void companionNotMoved(FileResult& r, const std::string& from, const std::string& to,
                         const std::string& why) {
    log_.WriteRich("ERREUR: ", kErrorCompanion);
    output::WriteLine(log_, shown(from), kPathStrong);
    output::WriteLine(log_, "\t\tne peut être renommé en " + shown(to), kDetail8);
    output::WriteLine(log_, "\t\til va rester sur le disque", kDetail8);
    if (!why.empty()) output::WriteLine(log_, "\t\t" + shown(why), kDetail8);
    ++outcome.companionFailed;
    r.companion = CompanionStatus::Failed;
  }

  void companionNotWritten(FileResult& r, const std::string& path, const std::string& problem) {
    log_.WriteRich("ERREUR: ", kErrorCompanion);
    output::WriteLine(log_, shown(path), kPathStrong);
    output::WriteLine(log_, "\t\tProblème de création du fichier: " + shown(problem), kDetail8);
    ++outcome.companionFailed;
    r.companion = CompanionStatus::Failed;
  }

  // ---- State --------------------------------------------------------------

  bool stopAsked() const { return hooks_.stopRequested && hooks_.stopRequested(); }

  // The journal cannot take the next changes: nothing more is made.
  void stop(const std::string& why) {
    outcome.stopped = true;
    outcome.journalProblem = why.empty() ? std::string("input/output error") : why;
  }

  // The running numbers remembered for this run follow every change that the
  // run decides on.
  void noteMove(const std::string& from, const std::string& to) {
    cache_->notifyVacated(from);
    cache_->notifyOccupied(to);
  }

  void newCache() {
    cache_ = std::make_unique<CollisionCache>();
    cache_->reserve(total_);
  }

  void fail(const std::string& oldPath) {
    failed_.push_back(oldPath);
    ++outcome.failed;
  }

  TNaming& naming_;
  FileSystem& fs_;
  output::OutputSink& log_;
  bool withTextFile_;
  const BatchHooks& hooks_;
  size_t total_;
  size_t done_ = 0;
  size_t testedMoves_ = fs_.movesAfterTest();  // moves that could only test their destination, before the run
  bool toldTested_ = false;
  std::unique_ptr<CollisionCache> cache_;
  Group group_;                               // the group decided and acted on
  std::deque<std::string> again_;             // images to decide again before the rest of the list
  bool deviated_ = false;                     // a change of the group went otherwise than decided
  std::unordered_set<std::string> produced_;  // companions this run created or moved into place
  std::vector<std::string> failed_;
  std::vector<std::string> renamed_;
};

}  // namespace

BatchOutcome RunBatch(TNaming& naming, FileList& list, output::OutputSink& log, bool withTextFile,
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
  output::WriteTitle(log, "Changement des noms");
  batch.run(list);
  batch.finish(list);
  return batch.outcome;
}

std::optional<BatchOutcome> RunJournaledBatch(TNaming& naming, FileList& list, output::OutputSink& log,
                                              bool withTextFile, const BatchHooks& hooks,
                                              std::string& problem) {
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
