#include "app/preview_table.hpp"

#include <QAction>
#include <QBrush>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "metadata/paths.hpp"
#include "naming/file_list.hpp"
#include "naming/simulated_file_system.hpp"
#include "output/output_sink.hpp"

namespace app {

namespace {

QString pathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// Folders as the user types them, with the trailing separator.
QString folderText(const std::string& folder) { return QDir::toNativeSeparators(pathText(folder)); }

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);
const QColor kGrey(96, 96, 96);

}  // namespace

// ---------------------------------------------------------------------------
// The plan
// ---------------------------------------------------------------------------

std::vector<PlanRow> PlanRun(const naming::TNaming& state, const std::vector<std::string>& files,
                             bool withTextFile) {
  // A reader and a naming state of its own: the window's stay as they are.
  meta::TimgData reader;
  naming::SimulatedFileSystem simulated(naming::realFileSystem());
  naming::TNaming naming(reader, simulated);
  naming.Format = state.Format;
  naming.UserText = state.UserText;
  naming.DigitText = state.DigitText;

  naming::FileList list;
  for (const std::string& path : files) list.appendUnchecked(path);

  std::vector<PlanRow> rows;
  rows.reserve(files.size());
  // One folder text per folder, shared by its rows.
  QHash<QByteArray, QString> folders;
  naming::BatchHooks hooks;
  hooks.fileDone = [&](const naming::FileResult& r) {
    PlanRow row;
    row.order = static_cast<int>(rows.size()) + 1;
    const std::string folder = meta::folderOf(r.oldPath);
    const QByteArray key = QByteArray::fromStdString(folder);
    auto found = folders.find(key);
    if (found == folders.end()) found = folders.insert(key, folderText(folder));
    row.folder = *found;
    row.oldName = pathText(meta::fileNameOf(r.oldPath));
    if (!r.newPath.empty()) {
      const bool sameFolder = meta::folderOf(r.newPath) == folder;
      row.newName =
          sameFolder ? pathText(meta::fileNameOf(r.newPath)) : QDir::toNativeSeparators(pathText(r.newPath));
    }
    row.status = r.status;
    rows.push_back(std::move(row));
  };
  output::NullSink quiet;
  naming::RunBatch(naming, list, quiet, withTextFile, hooks);
  return rows;
}

QString statusLabel(naming::FileStatus status) {
  switch (status) {
    case naming::FileStatus::Renamed:
      return QStringLiteral("À renommer");
    case naming::FileStatus::Unchanged:
      return QStringLiteral("Inchangé");
    case naming::FileStatus::Incomplete:
      return QStringLiteral("Incomplet");
    case naming::FileStatus::NameTaken:
      return QStringLiteral("Nom déjà pris");
    case naming::FileStatus::MoveFailed:
      return QStringLiteral("Déplacement refusé");
  }
  return QString();
}

namespace {

// What the log of the run will say, as the status's tool tip.
QString statusHint(naming::FileStatus status) {
  switch (status) {
    case naming::FileStatus::Renamed:
      return QStringLiteral("Sera renommé");
    case naming::FileStatus::Unchanged:
      return QStringLiteral("Identique au nom d'origine");
    case naming::FileStatus::Incomplete:
      return QStringLiteral("Ne peut être renommé par manque d'information");
    case naming::FileStatus::NameTaken:
      return QStringLiteral("Le fichier destination existe déjà");
    case naming::FileStatus::MoveFailed:
      return QStringLiteral("Le dossier de destination manque ou refuse l'écriture");
  }
  return QString();
}

}  // namespace

// ---------------------------------------------------------------------------
// The table model
// ---------------------------------------------------------------------------

PreviewModel::PreviewModel(QObject* parent) : QAbstractTableModel(parent) {}

void PreviewModel::setRows(std::vector<PlanRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  applySort();
  endResetModel();
}

size_t PreviewModel::count(naming::FileStatus status) const {
  return static_cast<size_t>(
      std::count_if(rows_.begin(), rows_.end(), [status](const PlanRow& r) { return r.status == status; }));
}

int PreviewModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PreviewModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columnCount_; }

QVariant PreviewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(order_.size())) return {};
  const PlanRow& row = rowAt(index.row());
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      switch (column) {
        case colOrder:
          return row.order;
        case colFolder:
          // Once per run of rows in the same folder.
          if (index.row() > 0 && rowAt(index.row() - 1).folder == row.folder) return QString();
          return row.folder;
        case colOldName:
          return row.oldName;
        case colNewName:
          return row.newName;
        case colStatus:
          return statusLabel(row.status);
      }
      return {};
    case Qt::ToolTipRole:
      if (column == colStatus) return statusHint(row.status);
      if (column == colOldName) return row.folder + row.oldName;
      if (column == colFolder) return row.folder;
      return {};
    case Qt::ForegroundRole:
      if (column != colStatus && column != colNewName) return {};
      switch (row.status) {
        case naming::FileStatus::Renamed:
          return QBrush(kGreen);
        case naming::FileStatus::Unchanged:
          return QBrush(kGrey);
        default:
          return QBrush(kRed);
      }
    case Qt::TextAlignmentRole:
      if (column == colOrder) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    default:
      return {};
  }
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case colOrder:
      return QStringLiteral("N°");
    case colFolder:
      return QStringLiteral("Dossier");
    case colOldName:
      return QStringLiteral("Nom actuel");
    case colNewName:
      return QStringLiteral("Nouveau nom");
    case colStatus:
      return QStringLiteral("État");
  }
  return {};
}

void PreviewModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= columnCount_) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  sortColumn_ = column;
  sortOrder_ = order;
  applySort();
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void PreviewModel::applySort() {
  order_.resize(rows_.size());
  for (size_t i = 0; i < order_.size(); ++i) order_[i] = i;
  // Equal keys keep the run's order, whichever the direction.
  auto textLess = [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive);
  };
  auto compare = [this, &textLess](size_t a, size_t b) -> int {
    const PlanRow& x = rows_[a];
    const PlanRow& y = rows_[b];
    switch (sortColumn_) {
      case colFolder: {
        if (const int c = textLess(x.folder, y.folder)) return c;
        return textLess(x.oldName, y.oldName);
      }
      case colOldName:
        return textLess(x.oldName, y.oldName);
      case colNewName:
        return textLess(x.newName, y.newName);
      case colStatus:
        return static_cast<int>(x.status) - static_cast<int>(y.status);
      default:
        return x.order - y.order;
    }
  };
  const bool descending = sortOrder_ == Qt::DescendingOrder;
  std::stable_sort(order_.begin(), order_.end(), [&](size_t a, size_t b) {
    const int c = compare(a, b);
    return descending ? c > 0 : c < 0;
  });
}

// ---------------------------------------------------------------------------
// The window
// ---------------------------------------------------------------------------

bool TfApercu::Key::operator==(const Key& other) const {
  if (digits != other.digits || withTextFile != other.withTextFile || userText != other.userText)
    return false;
  if (format.ItemCount != other.format.ItemCount || format.Literals != other.format.Literals) return false;
  if (!std::equal(format.Items.begin(), format.Items.begin() + format.ItemCount, other.format.Items.begin()))
    return false;
  return files == other.files;
}

TfApercu::TfApercu(PreviewInputs inputs, QWidget* parent) : QDialog(parent), inputs_(std::move(inputs)) {
  setObjectName(QStringLiteral("fApercu"));
  setWindowTitle(QStringLiteral("Aperçu des nouveaux noms"));
  setSizeGripEnabled(true);
  resize(800, 480);

  model_ = new PreviewModel(this);
  tvApercu = new QTableView(this);
  tvApercu->setObjectName(QStringLiteral("tvApercu"));
  tvApercu->setModel(model_);
  tvApercu->setSelectionBehavior(QAbstractItemView::SelectRows);
  tvApercu->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvApercu->setWordWrap(false);
  // A long folder or name keeps its end in sight: the last folder, the number.
  tvApercu->setTextElideMode(Qt::ElideLeft);
  tvApercu->setShowGrid(false);
  tvApercu->setAlternatingRowColors(true);
  tvApercu->verticalHeader()->hide();
  // Rows of one height: the view never measures ten thousand of them.
  tvApercu->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  tvApercu->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  QHeaderView* header = tvApercu->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setStretchLastSection(true);
  header->setSortIndicator(PreviewModel::colOrder, Qt::AscendingOrder);
  tvApercu->setSortingEnabled(true);

  lblResume = new QLabel(this);
  lblResume->setObjectName(QStringLiteral("lblResume"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lblResume, 1);
  if (inputs_.rename) {
    // The window's own action: same caption, image and enabling.
    auto* sbRenommer = new QToolButton(this);
    sbRenommer->setObjectName(QStringLiteral("sbRenommer"));
    sbRenommer->setDefaultAction(inputs_.rename);
    sbRenommer->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    buttons->addWidget(sbRenommer);
  }
  auto* sbFermer = new QPushButton(QStringLiteral("Fermer"), this);
  sbFermer->setObjectName(QStringLiteral("sbFermer"));
  sbFermer->setAutoDefault(false);
  connect(sbFermer, &QPushButton::clicked, this, &QDialog::close);
  buttons->addWidget(sbFermer);

  auto* column = new QVBoxLayout(this);
  column->addWidget(tvApercu, 1);
  column->addLayout(buttons);

  refresh_.setSingleShot(true);
  refresh_.setInterval(kRefreshDelayMs);
  connect(&refresh_, &QTimer::timeout, this, &TfApercu::refreshIfChanged);
}

void TfApercu::scheduleRefresh() {
  if (isVisible()) refresh_.start();
}

TfApercu::Key TfApercu::currentKey() const {
  Key key;
  key.files = inputs_.files();
  const naming::TNaming& state = inputs_.naming();
  key.format = state.Format;
  key.userText = state.UserText();
  key.digits = state.DigitCount();
  key.withTextFile = inputs_.withTextFile ? inputs_.withTextFile() : false;
  return key;
}

void TfApercu::refreshIfChanged() {
  if (inputs_.busy && inputs_.busy()) {
    refresh_.start();  // once the run is over
    return;
  }
  Key key = currentKey();
  if (planned_ && key == shown_) return;
  showPlan(key);
  shown_ = std::move(key);
}

void TfApercu::refreshNow() {
  refresh_.stop();
  if (inputs_.busy && inputs_.busy()) return;
  Key key = currentKey();
  showPlan(key);
  shown_ = std::move(key);
}

void TfApercu::showPlan(const Key& key) {
  const bool first = !planned_;
  planned_ = true;
  model_->setRows(PlanRun(inputs_.naming(), key.files, key.withTextFile));
  if (first) {
    // Columns as wide as their texts (the first thousand rows), within reason;
    // afterwards they stay as the user leaves them.
    tvApercu->resizeColumnsToContents();
    for (int c = PreviewModel::colOrder; c < PreviewModel::colStatus; ++c)
      tvApercu->setColumnWidth(c, std::min(tvApercu->columnWidth(c) + 12, 260));
  }
  const size_t failed = model_->count(naming::FileStatus::Incomplete) +
                        model_->count(naming::FileStatus::NameTaken) +
                        model_->count(naming::FileStatus::MoveFailed);
  lblResume->setText(QStringLiteral("%1 fichiers: %2 à renommer, %3 inchangés, %4 non renommés")
                         .arg(model_->rowCount())
                         .arg(model_->count(naming::FileStatus::Renamed))
                         .arg(model_->count(naming::FileStatus::Unchanged))
                         .arg(failed));
}

}  // namespace app
