#pragma once
// TfApercu: the whole batch before it runs. A table of every listed file with
// its new name and what the run will do with it, computed by the batch engine
// itself against a simulated file system, so that running numbers and taken
// names are exactly those of the run. It follows the format, the user text
// and the digit count (a refresh shortly after the last change) and starts
// the run with the window's own rename action.
#include <QAbstractTableModel>
#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "naming/batch_rename.hpp"
#include "naming/naming.hpp"

class QAction;
class QLabel;
class QTableView;

namespace app {

// One listed file as the run will leave it.
struct PlanRow {
  int order = 0;    // 1-based position in the list: the run's order
  QString folder;   // the old folder, with its trailing separator
  QString oldName;  // file name in that folder
  QString newName;  // file name; the whole path when the folder changes; empty when incomplete
  naming::FileStatus status = naming::FileStatus::Incomplete;
};

// The plan of a run over `files` with the format, user text and digit count
// of `state`: the run's own engine over a file system that only pretends to
// move files. Nothing is changed on disk.
std::vector<PlanRow> PlanRun(const naming::TNaming& state, const std::vector<std::string>& files,
                             bool withTextFile);

// The French label of a status, as the table shows it.
QString statusLabel(naming::FileStatus status);

// The plan as a sortable table: "N°", "Dossier", "Nom actuel", "Nouveau nom",
// "État". A folder is written on the first of its rows only (in the order
// shown), the rows below it are its files.
class PreviewModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { colOrder, colFolder, colOldName, colNewName, colStatus, columnCount_ };

  explicit PreviewModel(QObject* parent = nullptr);
  void setRows(std::vector<PlanRow> rows);  // keeps the current sort
  const PlanRow& rowAt(int shown) const { return rows_[order_[static_cast<size_t>(shown)]]; }
  size_t count(naming::FileStatus status) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

 private:
  void applySort();
  std::vector<PlanRow> rows_;
  std::vector<size_t> order_;  // shown row -> index into rows_
  int sortColumn_ = colOrder;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// What the table reads from the main window.
struct PreviewInputs {
  std::function<std::vector<std::string>()> files;  // the list, in order
  std::function<const naming::TNaming&()> naming;   // format, user text, digit count
  std::function<bool()> withTextFile;               // "Créer fichier texte"
  std::function<bool()> busy;                       // a run is under way: no refresh
  QAction* rename = nullptr;                        // the window's rename action
};

class TfApercu final : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kRefreshDelayMs = 200;

  TfApercu(PreviewInputs inputs, QWidget* parent = nullptr);

  // An input may have changed: the table is computed again shortly after the
  // last such call, and only when the inputs differ from the last plan's.
  void scheduleRefresh();
  // Computes the plan now, whatever the inputs.
  void refreshNow();

  PreviewModel* model() const { return model_; }
  QTableView* table() const { return tvApercu; }

 private:
  struct Key {
    std::vector<std::string> files;
    naming::TParsedFormat format;
    std::string userText;
    int digits = 0;
    bool withTextFile = false;
    bool operator==(const Key& other) const;
  };
  Key currentKey() const;
  void refreshIfChanged();
  void showPlan(const Key& key);

  PreviewInputs inputs_;
  PreviewModel* model_ = nullptr;
  QTableView* tvApercu = nullptr;
  QLabel* lblResume = nullptr;
  QTimer refresh_;
  Key shown_;
  bool planned_ = false;
};

}  // namespace app
