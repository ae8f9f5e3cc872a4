#include "naming/undo.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>

#include "metadata/text.hpp"
#include "output/log_styles.hpp"

namespace naming {

namespace {

using namespace output::log;  // the log's styles

// A path of the log, shown with any byte that could act on a terminal escaped.
std::string shown(std::string_view text) { return meta::printablePath(text); }

class Undo {
 public:
  Undo(const RunRecord& run, FileSystem& fs, output::OutputSink& log, bool dryRun)
      : run_(run), fs_(fs), log_(log), dryRun_(dryRun) {}

  void step(const JournalStep& s) {
    if (s.undone) return;
    switch (s.kind) {
      case StepKind::Photo:
      case StepKind::Companion:
      case StepKind::Keep:
        moveBack(s);
        break;
      case StepKind::Drop:
        if (s.done) skip(s.path, "effacé pendant le renommage, ne peut être rétabli");
        break;
      case StepKind::Temp:
        // A temporary file of the run, left by a kill: its name was drawn at
        // random and recorded before it was made, so it is the run's own.
        if (identityAt(s.path))
          remove(s, s.path, false);
        else
          settled(s);
        break;
      case StepKind::Write:
        removeWritten(s);
        break;
    }
  }

  UndoOutcome outcome;

 private:
  // Moves, and a stale companion kept in the run's folder: the file is
  // expected at `target` with the identity it had, and goes back to `path`.
  void moveBack(const JournalStep& s) {
    const std::optional<FileIdentity> there = identityAt(s.target);
    if (there == s.identity) {
      if (identityAt(s.path)) return skip(s.path, "le nom d'origine est pris par un autre fichier");
      if (!dryRun_ && !fs_.moveFile(s.target, s.path)) return skip(s.target, fs_.lastError());
      changed_[s.target] = std::nullopt;
      changed_[s.path] = s.identity;
      log_.WriteRich("Ok: ", kOkImage);
      output::WriteLine(
          log_,
          (s.kind == StepKind::Keep ? shown(s.path) + " rétabli" : shown(s.target) + " => " + shown(s.path)),
          kDetail8);
      ++outcome.restored;
      if (s.kind == StepKind::Photo) outcome.photos.push_back(s.path);
      return settled(s);
    }
    if (identityAt(s.path) == s.identity) return settled(s);  // never made, or back already
    if (there) return skip(s.target, "modifié depuis le renommage");
    if (s.done) skip(s.path, "introuvable: ni " + s.target + " ni " + s.path);
  }

  // A companion the run wrote goes, if it is still as written.
  void removeWritten(const JournalStep& s) {
    const std::optional<FileIdentity> there = identityAt(s.path);
    if (there == s.identity) return remove(s, s.path, true);
    if (identityAt(s.target) == s.identity) return remove(s, s.target, false);
    if (there && s.done) return skip(s.path, "modifié depuis le renommage, il reste sur le disque");
    // A companion that the run wrote and that is nowhere now may come back
    // with its folder: the step stays to be undone then.
    if (s.done) return skip(s.path, "introuvable, il n'a pas pu être effacé");
    settled(s);
  }

  void remove(const JournalStep& s, const std::string& path, bool logged) {
    if (!dryRun_ && !fs_.deleteFile(path)) return skip(path, fs_.lastError());
    changed_[path] = std::nullopt;
    if (logged) {
      log_.WriteRich("Ok: ", kOkImage);
      output::WriteLine(log_, shown(path) + " effacé", kDetail8);
      ++outcome.removed;
    }
    settled(s);
  }

  void skip(const std::string& path, const std::string& why) {
    log_.WriteRich("ERREUR: ", kErrorImage);
    output::WriteLine(log_, shown(path), kPathStrong);
    output::WriteLine(log_, "\t\tne peut être rétabli: " + shown(why), kDetail8);
    ++outcome.skipped;
  }

  // The step needs nothing more: a later undo leaves it alone.
  void settled(const JournalStep& s) {
    if (!dryRun_) appendToJournal(run_.folder, "U " + std::to_string(s.number) + "\n");
  }

  // What lies at `path` now, with the changes of this undo (a dry run makes
  // none on disk, yet its later steps must see the earlier ones).
  std::optional<FileIdentity> identityAt(const std::string& path) const {
    auto it = changed_.find(path);
    return it != changed_.end() ? it->second : identityOf(path);
  }

  std::map<std::string, std::optional<FileIdentity>> changed_;
  const RunRecord& run_;
  FileSystem& fs_;
  output::OutputSink& log_;
  bool dryRun_;
};

// The steps in the reverse of the order they were made in. A run records a
// group of steps before making them, and a companion's writing before its
// image moves, so the order of the confirmations is the one that counts.
// Steps never confirmed come first: made at all, they were the last before
// the run was killed.
std::vector<const JournalStep*> newestFirst(const RunRecord& run) {
  std::vector<const JournalStep*> order;
  order.reserve(run.steps.size());
  for (auto it = run.steps.rbegin(); it != run.steps.rend(); ++it)
    if (!it->done) order.push_back(&*it);
  const size_t unconfirmed = order.size();
  for (const JournalStep& s : run.steps)
    if (s.done) order.push_back(&s);
  std::sort(order.begin() + static_cast<std::ptrdiff_t>(unconfirmed), order.end(),
            [](const JournalStep* a, const JournalStep* b) { return a->doneOrder > b->doneOrder; });
  return order;
}

}  // namespace

UndoOutcome UndoRun(const RunRecord& run, FileSystem& fs, output::OutputSink& log, bool dryRun) {
  output::WriteTitle(log, "Annulation du renommage du " + runTimeText(run));
  Undo undo(run, fs, log, dryRun);
  for (const JournalStep* s : newestFirst(run)) undo.step(*s);
  if (undo.outcome.complete()) {
    output::WriteTitle(log, "Tout a été rétabli");
    if (!dryRun) appendToJournal(run.folder, "undone " + std::to_string(std::time(nullptr)) + "\n");
  } else {
    output::WriteTitle(log, "Des erreurs ont été rencontrées");
    output::WriteLine(
        log,
        std::to_string(undo.outcome.skipped) +
            " étapes restent à annuler: une nouvelle annulation les reprendra une fois la cause levée",
        kDetail8);
  }
  return undo.outcome;
}

std::string runTimeText(const RunRecord& run) {
  const std::time_t t = static_cast<std::time_t>(run.started);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace naming
