#include "app/main_window.hpp"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "app/about_box.hpp"
#include "app/error_box.hpp"
#include "app/open_dialog.hpp"
#include "app/preview_picture.hpp"
#include "app/preview_table.hpp"
#include "app/rich_pane_sink.hpp"
#include "naming/batch_rename.hpp"
#include "naming/file_system.hpp"
#include "naming/format.hpp"
#include "naming/journal.hpp"
#include "naming/undo.hpp"
#include "report/report.hpp"
#include "settings/appl_registry.hpp"
#include "settings/persisted_settings.hpp"

// Resources of a static library are registered by hand, outside any namespace.
static void initQuillmarkResources() { Q_INIT_RESOURCE(quillmark); }

namespace app {

namespace {

// Texts of the boxes are UTF-8 bytes for the naming engine; paths use the
// file system's own 8-bit encoding.
std::string toBytes(const QString& text) { return text.toStdString(); }
QString fromBytes(const std::string& bytes) { return QString::fromStdString(bytes); }
std::string pathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString pathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// The naming engine counts selections in bytes, the boxes in UTF-16 units.
int byteOffset(const QString& text, int chars) {
  return static_cast<int>(text.left(std::max(chars, 0)).toUtf8().size());
}
int charOffset(const std::string& bytes, int offset) {
  const int cut = std::clamp(offset, 0, static_cast<int>(bytes.size()));
  return static_cast<int>(QString::fromUtf8(bytes.data(), cut).size());
}

QStringList itemsOf(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

// Images of the actions by index.
constexpr const char* kActionImages[8] = {"quit",  "open",   "remove",  "rename",
                                          "clear", "insert", "preview", "about"};
enum ImageIndex {
  imgQuitter = 0,
  imgOuvrir = 1,
  imgSupprimer = 2,
  imgRenommer = 3,
  imgToutSupprimer = 4,
  imgAjoutFormat = 5,
  imgApercu = 6,
  imgAPropos = 7
};

// Entries take the width of the list, not that of their text, so that a path
// too long for it is elided on the left and its file name stays visible.
class FileEntryDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QSize(1, QStyledItemDelegate::sizeHint(option, index).height());
  }
};

// While a run lasts, user input is dropped, not kept for later: the clicks,
// keys, wheel turns, shortcuts and drops that arrive meanwhile are never
// handled, now or after the run. Only the stop button still takes the mouse.
class InputDiscarder final : public QObject {
 public:
  explicit InputDiscarder(QWidget* spared) : spared_(spared) { qApp->installEventFilter(this); }
  ~InputDiscarder() override { qApp->removeEventFilter(this); }
  InputDiscarder(const InputDiscarder&) = delete;
  InputDiscarder& operator=(const InputDiscarder&) = delete;

  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        // Mouse events reach a widget through its window: only the widget
        // decides.
        if (!watched->isWidgetType()) return false;
        return !spared_ || (watched != spared_ && !spared_->isAncestorOf(static_cast<QWidget*>(watched)));
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::InputMethod:
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::TabletPress:
      case QEvent::TabletRelease:
        return true;
      default:
        return false;
    }
  }

 private:
  QPointer<QWidget> spared_;
};

// A run shows its progress, its log and the shrinking list at most this often
// (milliseconds): about 25 times a second.
constexpr qint64 kShowEveryMs = 40;

// Settings values of the window's layout (Base64 of Qt's saved states).
constexpr const char* kGeometryValue = "Geometrie";
constexpr const char* kSplitterAffichageValue = "SeparateurAffichage";
constexpr const char* kSplitterListeValue = "SeparateurListe";
constexpr const char* kSplitterTextesValue = "SeparateurTextes";

}  // namespace

TfPrincipale::TfPrincipale(settings::TApplRegistry& store, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), store_(store) {
  initQuillmarkResources();
  store_.SetApplicationName(QString::fromLatin1(kApplicationTitle));

  setObjectName(QStringLiteral("fPrincipale"));
  setWindowTitle(QString::fromLatin1(kApplicationTitle));
  setWindowIcon(QIcon(QStringLiteral(":/images/quillmark.svg")));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  resize(927, 665);
  move(290, 275);
  for (const char* name : kActionImages)
    ilActions_.emplace_back(QStringLiteral(":/images/%1.svg").arg(QLatin1String(name)));

  createActions();
  createToolBar();
  createMenus();
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(createFormatPanel());
  column->addWidget(createDisplayArea(), 1);
  setCentralWidget(central);
  sbGenerale = statusBar();
  sbGenerale->setObjectName(QStringLiteral("sbGenerale"));
  sbGenerale->setFixedHeight(19);
  pbRenommage = new QProgressBar(sbGenerale);
  pbRenommage->setObjectName(QStringLiteral("pbRenommage"));
  pbRenommage->setFixedSize(240, 15);
  pbRenommage->setFormat(QStringLiteral("%v / %m"));
  pbRenommage->setAlignment(Qt::AlignCenter);
  sbArreter = new QToolButton(sbGenerale);
  sbArreter->setObjectName(QStringLiteral("sbArreter"));
  sbArreter->setText(QStringLiteral("Arrêter"));
  sbArreter->setToolTip(QStringLiteral("Arrête le renommage après le fichier en cours"));
  sbArreter->setToolButtonStyle(Qt::ToolButtonTextOnly);
  sbArreter->setFocusPolicy(Qt::NoFocus);  // typing during a run never stops it
  sbArreter->setFixedHeight(17);
  sbGenerale->addPermanentWidget(pbRenommage);
  sbGenerale->addPermanentWidget(sbArreter);
  pbRenommage->hide();
  sbArreter->hide();

  readSettings();

  for (const std::string& item : naming::PickerItems()) cbListeFormats->addItem(fromBytes(item));
  cbListeFormats->setCurrentIndex(0);
  cbListeFormats->view()->setMinimumWidth(cbListeFormats->view()->sizeHintForColumn(0) + 24);

  imgData_ = std::make_unique<meta::TimgData>();
  naming_ = std::make_unique<naming::TNaming>(*imgData_, naming::realFileSystem());
  naming_->UserText = [this] { return toBytes(cbTexteUtilisateur->currentText()); };
  naming_->DigitText = [this] { return toBytes(seNbChiffres->cleanText()); };

  // Handlers are connected once the stored values are in the boxes.
  auto handler = [this](void (TfPrincipale::*member)()) {
    return [this, member] { guarded([this, member] { (this->*member)(); }); };
  };
  connect(acOuvrir, &QAction::triggered, this, handler(&TfPrincipale::acOuvrirExecute));
  connect(acQuitter, &QAction::triggered, this, &QWidget::close);
  connect(acSupprimer, &QAction::triggered, this, handler(&TfPrincipale::acSupprimerExecute));
  connect(acRenommer, &QAction::triggered, this, handler(&TfPrincipale::acRenommerExecute));
  connect(acAnnuler, &QAction::triggered, this, handler(&TfPrincipale::acAnnulerExecute));
  connect(acToutSupprimer, &QAction::triggered, this, handler(&TfPrincipale::acToutSupprimerExecute));
  connect(acAjoutFormat, &QAction::triggered, this, handler(&TfPrincipale::acAjoutFormatExecute));
  connect(acAPropos, &QAction::triggered, this, handler(&TfPrincipale::acAProposExecute));
  connect(acApercu, &QAction::triggered, this, handler(&TfPrincipale::acApercuExecute));
  // A choice in the picker runs the insertion too; it inserts nothing then,
  // since the picker has taken the focus from the format box.
  connect(cbListeFormats, &QComboBox::activated, this, handler(&TfPrincipale::acAjoutFormatExecute));
  connect(cbFormatNom, &QComboBox::editTextChanged, this, handler(&TfPrincipale::cbFormatNomChange));
  connect(cbTexteUtilisateur, &QComboBox::editTextChanged, this, handler(&TfPrincipale::UpdateDisplay));
  // The preview follows the digit box's text as typed, which is what a run
  // reads too (an empty box or 0 counts as 1).
  connect(seNbChiffres->findChild<QLineEdit*>(), &QLineEdit::textChanged, this,
          handler(&TfPrincipale::UpdateDisplay));
  connect(cbFichierTexte, &QCheckBox::toggled, this, handler(&TfPrincipale::UpdateDisplay));
  connect(sbRetraitHistoriqueFormat, &QToolButton::clicked, this,
          handler(&TfPrincipale::sbRetraitHistoriqueFormatClick));
  connect(cbRetraitHistoriqueTexte, &QToolButton::clicked, this,
          handler(&TfPrincipale::cbRetraitHistoriqueTexteClick));
  connect(lbFichiers, &QListWidget::itemSelectionChanged, this, handler(&TfPrincipale::UpdateDisplay));
  // The Delete key in the list removes the selected entries, as Ctrl+D does.
  auto* deleteKey = new QShortcut(QKeySequence(Qt::Key_Delete), lbFichiers);
  deleteKey->setContext(Qt::WidgetShortcut);
  connect(deleteKey, &QShortcut::activated, this, [this] {
    if (acSupprimer->isEnabled()) acSupprimer->trigger();
  });
  connect(sbArreter, &QToolButton::clicked, this, [this] {
    stopRequested_ = true;
    sbArreter->setEnabled(false);
  });
  cbFormatNom->installEventFilter(this);
  cbFormatNom->lineEdit()->installEventFilter(this);

  // The whole window is the drop target: no child takes dropped files as text.
  for (QWidget* child : findChildren<QWidget*>()) child->setAcceptDrops(false);
  setAcceptDrops(true);

  refreshUndo();
  if (!arguments.isEmpty()) AddFiles(arguments);
  naming_->ParseFormat(toBytes(cbFormatNom->currentText()));
  UpdateDisplay();
}

TfPrincipale::~TfPrincipale() = default;

// ---------------------------------------------------------------------------
// Building the window
// ---------------------------------------------------------------------------

void TfPrincipale::createActions() {
  auto make = [this](QAction*& action, const char* name, const QString& caption, const QString& hint,
                     const QKeySequence& shortcut, int image) {
    action = new QAction(ilActions_[static_cast<size_t>(image)], caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(hint);
    action->setShortcut(shortcut);
  };
  make(acOuvrir, "acOuvrir", QStringLiteral("&Choisir les fichiers"),
       QStringLiteral("Sélectionner des fichiers"), QKeySequence(Qt::CTRL | Qt::Key_O), imgOuvrir);
  make(acQuitter, "acQuitter", QStringLiteral("&Quitter"), QStringLiteral("Fin du programme"),
       QKeySequence(Qt::CTRL | Qt::Key_Q), imgQuitter);
  make(acSupprimer, "acSupprimer", QStringLiteral("&Retirer les fichiers sélectionnés"),
       QStringLiteral("Suppression du fichier de la liste"), QKeySequence(Qt::CTRL | Qt::Key_D),
       imgSupprimer);
  make(acRenommer, "acRenommer", QStringLiteral("&Renommer les fichiers listés"),
       QStringLiteral("Renomme tous les fichiers de la liste."), QKeySequence(), imgRenommer);
  acAnnuler = new QAction(QStringLiteral("A&nnuler le dernier renommage"), this);
  acAnnuler->setObjectName(QStringLiteral("acAnnuler"));
  acAnnuler->setToolTip(QStringLiteral("Rend aux fichiers du dernier renommage leurs noms d'origine"));
  make(acToutSupprimer, "acToutSupprimer", QStringLiteral("&Tout retirer"),
       QStringLiteral("Elimine tous les éléments de la liste"), QKeySequence(Qt::CTRL | Qt::Key_Delete),
       imgToutSupprimer);
  make(acAjoutFormat, "acAjoutFormat", QStringLiteral("Ajouter le format sélectionné"),
       QStringLiteral("Ajoute l'élément de format sélectionné dans le format de nom de fichier"),
       QKeySequence(Qt::CTRL | Qt::Key_I), imgAjoutFormat);
  make(acAPropos, "acAPropos", QStringLiteral("&A propos..."), QString(), QKeySequence(Qt::Key_F1),
       imgAPropos);
  acAPropos->setToolTip(QString());
  make(acApercu, "acApercu", QStringLiteral("Aperçu des nouveaux noms"),
       QStringLiteral("Montre le nouveau nom de chaque fichier de la liste, avant le renommage"),
       QKeySequence(), imgApercu);
}

void TfPrincipale::createMenus() {
  QMenuBar* mmPrincipal = menuBar();
  mmPrincipal->setObjectName(QStringLiteral("mmPrincipal"));
  QMenu* miFichier = mmPrincipal->addMenu(QStringLiteral("&Fichier"));
  miFichier->setObjectName(QStringLiteral("miFichier"));
  miFichier->addAction(acOuvrir);
  miFichier->addSeparator();
  miFichier->addAction(acQuitter);
  QMenu* miActions = mmPrincipal->addMenu(QStringLiteral("&Actions"));
  miActions->setObjectName(QStringLiteral("miActions"));
  miActions->addAction(acAjoutFormat);
  miActions->addSeparator();
  miActions->addAction(acApercu);
  miActions->addAction(acRenommer);
  miActions->addAction(acAnnuler);
  miActions->addSeparator();
  miActions->addAction(acSupprimer);
  miActions->addAction(acToutSupprimer);
  QMenu* miAide = mmPrincipal->addMenu(QStringLiteral("&Aide"));
  miAide->setObjectName(QStringLiteral("miAide"));
  miAide->addAction(acAPropos);
}

void TfPrincipale::createToolBar() {
  tbPrincipale = addToolBar(QStringLiteral("Principale"));
  tbPrincipale->setObjectName(QStringLiteral("tbPrincipale"));
  tbPrincipale->setMovable(false);
  tbPrincipale->setFloatable(false);
  tbPrincipale->setContextMenuPolicy(Qt::PreventContextMenu);
  tbPrincipale->setIconSize(QSize(16, 16));
  tbPrincipale->setToolButtonStyle(Qt::ToolButtonIconOnly);
  tbPrincipale->setFixedHeight(29);

  cbListeFormats = new QComboBox(tbPrincipale);
  cbListeFormats->setObjectName(QStringLiteral("cbListeFormats"));
  cbListeFormats->setEditable(false);
  cbListeFormats->setFixedWidth(178);
  QFont fixed(QString::fromLatin1(kFixedFontFamily), 8);
  fixed.setFixedPitch(true);
  fixed.setStyleHint(QFont::TypeWriter);
  cbListeFormats->setFont(fixed);
  cbListeFormats->setToolTip(QStringLiteral("Liste des éléments de format disponibles"));

  tbPrincipale->addSeparator();
  tbPrincipale->addAction(acQuitter);
  tbPrincipale->addSeparator();
  tbPrincipale->addAction(acOuvrir);
  tbPrincipale->addAction(acSupprimer);
  tbPrincipale->addAction(acToutSupprimer);
  tbPrincipale->addSeparator();
  tbPrincipale->addWidget(cbListeFormats);
  tbPrincipale->addAction(acAjoutFormat);
  tbPrincipale->addSeparator();
  tbPrincipale->addAction(acApercu);
  tbPrincipale->addAction(acRenommer);
}

QWidget* TfPrincipale::createFormatPanel() {
  pnlFormat = new QWidget(this);
  pnlFormat->setObjectName(QStringLiteral("pnlFormat"));
  pnlFormat->setFixedHeight(68);
  auto* grid = new QGridLayout(pnlFormat);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);

  auto editableBox = [this](const char* name) {
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    // The histories change only when a rename starts or when they are emptied.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return box;
  };
  auto clearButton = [this](const char* name, const char* image, const QString& hint) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(QIcon(QStringLiteral(":/images/%1.svg").arg(QLatin1String(image))));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
  };

  cbFormatNom = editableBox("cbFormatNom");
  QFont formatFont(QStringLiteral("MS Sans Serif"), 12, QFont::Bold);
  formatFont.setFixedPitch(true);
  cbFormatNom->setFont(formatFont);
  auto* lblFormatNom = new QLabel(QStringLiteral("&Format nom:"), pnlFormat);
  lblFormatNom->setObjectName(QStringLiteral("lblFormatNom"));
  lblFormatNom->setBuddy(cbFormatNom);
  sbRetraitHistoriqueFormat = clearButton("sbRetraitHistoriqueFormat", "clear_formats",
                                          QStringLiteral("Vide l'historique des formats"));
  seNbChiffres = new QSpinBox(this);
  seNbChiffres->setObjectName(QStringLiteral("seNbChiffres"));
  seNbChiffres->setRange(1, 9);
  seNbChiffres->setToolTip(QStringLiteral("Nombre de chiffres min pour le compteur d'occurences ('#NUM')"));
  if (auto* digits = seNbChiffres->findChild<QLineEdit*>()) digits->setMaxLength(1);
  // A box left empty or at 0 shows the count that is used: 1.
  seNbChiffres->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);

  cbTexteUtilisateur = editableBox("cbTexteUtilisateur");
  cbTexteUtilisateur->setToolTip(QStringLiteral("Texte à insérer correspondant au format 'TEXT'"));
  auto* lblTexte = new QLabel(QStringLiteral("Texte:"), pnlFormat);
  lblTexte->setObjectName(QStringLiteral("lblTexte"));
  cbRetraitHistoriqueTexte =
      clearButton("cbRetraitHistoriqueTexte", "clear_texts", QStringLiteral("Vide l'historique des textes"));
  cbFichierTexte = new QCheckBox(QStringLiteral("Créer fichier texte"), this);
  cbFichierTexte->setObjectName(QStringLiteral("cbFichierTexte"));

  grid->addWidget(lblFormatNom, 0, 0);
  grid->addWidget(cbFormatNom, 0, 1);
  grid->addWidget(sbRetraitHistoriqueFormat, 0, 2);
  grid->addWidget(seNbChiffres, 0, 3, Qt::AlignLeft);
  grid->addWidget(lblTexte, 1, 0);
  grid->addWidget(cbTexteUtilisateur, 1, 1);
  grid->addWidget(cbRetraitHistoriqueTexte, 1, 2);
  grid->addWidget(cbFichierTexte, 1, 3);
  grid->setColumnStretch(1, 1);
  return pnlFormat;
}

QWidget* TfPrincipale::createDisplayArea() {
  auto pane = [this](const char* name, QTextEdit::LineWrapMode wrap) {
    auto* edit = new QTextEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setReadOnly(true);
    edit->setUndoRedoEnabled(false);
    edit->setLineWrapMode(wrap);
    edit->setMinimumSize(128, 64);
    edit->setFocusPolicy(Qt::ClickFocus);  // skipped by the Tab key
    return edit;
  };
  auto splitter = [this](const char* name, Qt::Orientation orientation) {
    auto* s = new QSplitter(orientation, this);
    s->setObjectName(QString::fromLatin1(name));
    s->setHandleWidth(10);
    s->setChildrenCollapsible(false);
    s->setOpaqueResize(true);
    return s;
  };

  lbFichiers = new QListWidget(this);
  lbFichiers->setObjectName(QStringLiteral("lbFichiers"));
  lbFichiers->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lbFichiers->setMinimumSize(128, 128);
  lbFichiers->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lbFichiers->setTextElideMode(Qt::ElideLeft);
  lbFichiers->setUniformItemSizes(true);  // lays out 10,000 entries at once
  lbFichiers->setItemDelegate(new FileEntryDelegate(lbFichiers));
  imgPreview = new PreviewPicture(this);
  imgPreview->setObjectName(QStringLiteral("imgPreview"));
  imgPreview->setMinimumSize(64, 64);
  reTexte = pane("reTexte", QTextEdit::NoWrap);
  reNom = pane("reNom", QTextEdit::WidgetWidth);

  splListe = splitter("pnlListe", Qt::Vertical);
  splListe->addWidget(lbFichiers);
  splListe->addWidget(imgPreview);
  splListe->setStretchFactor(0, 1);
  splListe->setStretchFactor(1, 0);
  splListe->setSizes({400, 169});

  splTextes = splitter("pnlTextes", Qt::Vertical);
  splTextes->addWidget(reTexte);
  splTextes->addWidget(reNom);
  // Both panes grow with the window.
  splTextes->setStretchFactor(0, 1);
  splTextes->setStretchFactor(1, 1);
  splTextes->setSizes({400, 169});

  splAffichage = splitter("pnlAffichage", Qt::Horizontal);
  splAffichage->addWidget(splListe);
  splAffichage->addWidget(splTextes);
  splAffichage->setStretchFactor(0, 0);
  splAffichage->setStretchFactor(1, 1);
  splAffichage->setSizes({280, 637});
  return splAffichage;
}

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

void TfPrincipale::readSettings() {
  const settings::PersistedValues v = settings::ReadPersisted(store_, fromBytes(naming::DefaultFormat()));
  // Items first: filling an empty box would otherwise replace its text.
  cbFormatNom->addItems(v.formatHistory);
  cbFormatNom->setEditText(v.format);
  cbTexteUtilisateur->addItems(v.textHistory);
  cbTexteUtilisateur->setEditText(v.text);
  seNbChiffres->setValue(v.digits);
  initialDir_ = v.initialDir;
  cbFichierTexte->setChecked(v.withTextFile);
  // Where the window and its splitters were left; a value that does not
  // restore keeps the designed layout.
  const auto stored = [this](const char* name) {
    return QByteArray::fromBase64(
        store_.ReadStringValue(QString(), QString::fromLatin1(name), QString()).toLatin1());
  };
  restoreGeometry(stored(kGeometryValue));
  splAffichage->restoreState(stored(kSplitterAffichageValue));
  splListe->restoreState(stored(kSplitterListeValue));
  splTextes->restoreState(stored(kSplitterTextesValue));
}

void TfPrincipale::writeSettings() {
  if (settingsWritten_) return;
  settingsWritten_ = true;
  settings::PersistedValues v;
  v.format = cbFormatNom->currentText();
  v.text = cbTexteUtilisateur->currentText();
  bool number = false;
  const int digits = seNbChiffres->cleanText().toInt(&number);
  v.digits = number ? digits : 1;
  v.withTextFile = cbFichierTexte->isChecked();
  v.formatHistory = itemsOf(cbFormatNom);
  v.textHistory = itemsOf(cbTexteUtilisateur);
  settings::WritePersisted(store_, v);
  const auto keep = [this](const char* name, const QByteArray& state) {
    store_.WriteStringValue(QString(), QString::fromLatin1(name), QString::fromLatin1(state.toBase64()));
  };
  keep(kGeometryValue, saveGeometry());
  keep(kSplitterAffichageValue, splAffichage->saveState());
  keep(kSplitterListeValue, splListe->saveState());
  keep(kSplitterTextesValue, splTextes->saveState());
}

// ---------------------------------------------------------------------------
// The file list
// ---------------------------------------------------------------------------

QStringList TfPrincipale::files() const {
  QStringList out;
  for (const std::string& path : list_.paths()) out << pathText(path);
  return out;
}

std::vector<size_t> TfPrincipale::selectedRows() const {
  std::vector<size_t> rows;
  for (const QModelIndex& index : lbFichiers->selectionModel()->selectedIndexes())
    rows.push_back(static_cast<size_t>(index.row()));
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

void TfPrincipale::showFileList() {
  QSignalBlocker quiet(lbFichiers);
  lbFichiers->clear();
  const QStringList shown = files();
  lbFichiers->addItems(shown);
  // The full path shows as the tool tip of an entry elided in the list.
  for (int row = 0; row < lbFichiers->count(); ++row) lbFichiers->item(row)->setToolTip(shown.at(row));
}

void TfPrincipale::AddFiles(const QStringList& paths) {
  std::vector<std::string> walk;
  walk.reserve(static_cast<size_t>(paths.size()));
  for (const QString& path : paths) walk.push_back(pathBytes(path));
  const std::vector<naming::PathProblem> problems = list_.AddFiles(std::move(walk));
  showFileList();
  UpdateDisplay();
  // What could not be read is said, not skipped in silence.
  if (!problems.empty()) {
    QString text = QStringLiteral("Illisible: %1 (%2)")
                       .arg(QFile::decodeName(QByteArray::fromStdString(problems.front().path)),
                            fromBytes(problems.front().reason));
    if (problems.size() > 1) text += QStringLiteral(" et %1 autres").arg(problems.size() - 1);
    sbGenerale->showMessage(text);
  }
}

void TfPrincipale::acOuvrirExecute() {
  const QStringList chosen = chooseFiles ? chooseFiles(initialDir_) : openPictureDialog(this, initialDir_);
  if (chosen.isEmpty()) return;  // cancelled: neither the list nor the folder changes
  AddFiles(chosen);
  QString folder = QDir::toNativeSeparators(QFileInfo(chosen.first()).absolutePath());
  if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
  initialDir_ = folder;
  settings::WriteInitialDir(store_, folder);
  UpdateDisplay();
}

void TfPrincipale::acSupprimerExecute() {
  list_.removeIndices(selectedRows());
  showFileList();
  UpdateDisplay();
}

void TfPrincipale::acToutSupprimerExecute() {
  list_.clear();
  showFileList();
  UpdateDisplay();
}

// ---------------------------------------------------------------------------
// The refresh
// ---------------------------------------------------------------------------

void TfPrincipale::putCaretsHome() {
  reTexte->moveCursor(QTextCursor::Start);
  reNom->moveCursor(QTextCursor::Start);
}

void TfPrincipale::UpdateDisplay() {
  reTexte->clear();
  reNom->clear();
  imgPreview->clearPicture();
  const std::vector<size_t> rows = selectedRows();
  enableListActions(!rows.empty());
  if (fApercu_ && !batchRunning_) fApercu_->scheduleRefresh();
  try {
    if (rows.size() == 1 && rows.front() < list_.size()) {
      naming_->EvaluateFile(list_.at(rows.front()));
      RichPaneSink nom(reNom);
      RichPaneSink texte(reTexte);
      report::ShowNamePane(nom, *naming_, cbFichierTexte->isChecked());
      report::ShowReportPane(texte, *imgData_,
                             [this](const std::optional<meta::RgbImage>& p) { imgPreview->setPicture(p); });
    }
  } catch (...) {
    putCaretsHome();  // both panes show their first line whatever happened
    throw;
  }
  putCaretsHome();
}

// ---------------------------------------------------------------------------
// Format editing and histories
// ---------------------------------------------------------------------------

naming::EditBox TfPrincipale::editBoxOf(QComboBox* box) const {
  naming::EditBox edit;
  const QString text = box->currentText();
  edit.text = toBytes(text);
  for (const QString& item : itemsOf(box)) edit.history.push_back(toBytes(item));
  const QLineEdit* line = box->lineEdit();
  const int start = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
  const int length = line->hasSelectedText() ? static_cast<int>(line->selectedText().size()) : 0;
  edit.selStart = byteOffset(text, start);
  edit.selLength = byteOffset(text, start + length) - edit.selStart;
  return edit;
}

// Puts an edited box back without running its change handler; the caller
// decides what the change calls for.
void TfPrincipale::applyEditBox(QComboBox* box, const naming::EditBox& edit) {
  QSignalBlocker quiet(box);
  QStringList history;
  for (const std::string& item : edit.history) history << fromBytes(item);
  if (history != itemsOf(box)) {
    box->clear();
    box->addItems(history);
  }
  box->setEditText(fromBytes(edit.text));
  const int start = charOffset(edit.text, edit.selStart);
  const int end = charOffset(edit.text, edit.selStart + edit.selLength);
  if (end > start)
    box->lineEdit()->setSelection(start, end - start);
  else
    box->lineEdit()->setCursorPosition(start);
}

void TfPrincipale::cbFormatNomChange() {
  naming_->ParseFormat(toBytes(cbFormatNom->currentText()));
  UpdateDisplay();
}

void TfPrincipale::acAjoutFormatExecute() {
  // Only into a focused format box; the button and the menu leave the focus
  // where it is, a choice in the picker does not.
  const QWidget* focus = focusWidget();
  if (focus != cbFormatNom && focus != cbFormatNom->lineEdit()) return;
  const int row = cbListeFormats->currentIndex();
  if (row < 0 || row >= naming::kElementCount) return;
  naming::EditBox edit = editBoxOf(cbFormatNom);
  naming::InsertKeyword(edit, naming::FormatElementTable[static_cast<size_t>(row)].Keyword);
  applyEditBox(cbFormatNom, edit);
  cbFormatNomChange();
}

void TfPrincipale::sbRetraitHistoriqueFormatClick() {
  naming::EditBox edit = editBoxOf(cbFormatNom);
  naming::ClearFormatHistory(edit);
  applyEditBox(cbFormatNom, edit);
  cbFormatNomChange();
}

void TfPrincipale::cbRetraitHistoriqueTexteClick() {
  naming::EditBox edit = editBoxOf(cbTexteUtilisateur);
  naming::ClearTextHistory(edit);
  applyEditBox(cbTexteUtilisateur, edit);
  UpdateDisplay();
}

bool TfPrincipale::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cbFormatNom || watched == cbFormatNom->lineEdit()) {
    if (event->type() == QEvent::FocusIn) {
      acAjoutFormat->setEnabled(true);
    } else if (event->type() == QEvent::FocusOut) {
      // Opening a menu or a drop-down, or leaving the window, does not move
      // the focus to another control: the box keeps it for Ctrl+I and the menu.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason &&
          reason != Qt::ActiveWindowFocusReason && !cbFormatNom->hasFocus())
        acAjoutFormat->setEnabled(false);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// The batch rename
// ---------------------------------------------------------------------------

void TfPrincipale::acRenommerExecute() {
  if (batchRunning_) return;
  batchRunning_ = true;
  stopRequested_ = false;
  // An empty digit box or 0 is run as 1; the box shows the count in use.
  seNbChiffres->interpretText();
  const QPointer<QWidget> focus = QApplication::focusWidget();
  const bool insertEnabled = acAjoutFormat->isEnabled();
  InputDiscarder discard(sbArreter);
  setRunning(true);
  struct RunEnd {
    TfPrincipale* w;
    const QPointer<QWidget>& focus;
    bool insertEnabled;
    ~RunEnd() {
      // Input that came in since the last look goes now, still unhandled.
      QCoreApplication::processEvents();
      w->batchRunning_ = false;
      w->setRunning(false);
      w->acAjoutFormat->setEnabled(insertEnabled);
      if (focus) focus->setFocus();
      if (w->closePending_) QTimer::singleShot(0, w, &QWidget::close);
    }
  } runEnd{this, focus, insertEnabled};

  BufferedPaneSink log(reTexte);
  naming::BatchHooks hooks;
  hooks.beforeRun = [this] {
    {
      QSignalBlocker quiet(lbFichiers);
      lbFichiers->clearSelection();
    }
    UpdateDisplay();
    for (QComboBox* box : {cbFormatNom, cbTexteUtilisateur}) {
      naming::EditBox edit = editBoxOf(box);
      naming::PushHistory(edit);
      applyEditBox(box, edit);
    }
  };
  // The preview picture stays empty during a run: decoding each photo's
  // preview would cost more than renaming it.
  hooks.writeCompanion = [this](output::OutputSink& companion) {
    report::ShowReportPane(companion, *imgData_, nullptr);
  };
  hooks.fileDone = [this](const naming::FileResult& result) {
    if (fileDone) fileDone(result);
  };
  hooks.stopRequested = [this] { return stopRequested_; };
  // The log, the list and the progress are brought up to date together, a
  // few times a second, whatever the number of files.
  QElapsedTimer sinceShown;
  sinceShown.start();
  hooks.progress = [&](size_t done, size_t total) {
    if (sinceShown.elapsed() < kShowEveryMs) return;
    log.flush();
    showProgress(done, total);
    QCoreApplication::processEvents();
    sinceShown.restart();
  };
  std::string problem;
  const bool ran =
      naming::RunJournaledBatch(*naming_, list_, log, cbFichierTexte->isChecked(), hooks, problem)
          .has_value();
  log.flush();
  refreshUndo();
  if (!ran)
    throw std::runtime_error("Le journal d'annulation ne peut être créé, rien n'a été renommé: " + problem);
  // No refresh: the log stays in the report pane until the next one.
  showFileList();
}

void TfPrincipale::showProgress(size_t done, size_t total) {
  pbRenommage->setMaximum(static_cast<int>(std::min<size_t>(total, INT_MAX)));
  pbRenommage->setValue(static_cast<int>(std::min<size_t>(done, INT_MAX)));
  // The entries done leave the list from its top, in one step.
  const int gone = lbFichiers->count() - static_cast<int>(list_.size());
  if (gone > 0) {
    QSignalBlocker quiet(lbFichiers);
    lbFichiers->model()->removeRows(0, gone);
  }
}

void TfPrincipale::enableListActions(bool anySelected) {
  // A run keeps every action disabled until it ends.
  const bool idle = !batchRunning_;
  acSupprimer->setEnabled(idle && anySelected);
  acToutSupprimer->setEnabled(idle && !list_.empty());
  acRenommer->setEnabled(idle && !list_.empty());
  acAnnuler->setEnabled(idle && undoable_);
}

void TfPrincipale::setRunning(bool running) {
  for (QWidget* part : {static_cast<QWidget*>(menuBar()), static_cast<QWidget*>(tbPrincipale), pnlFormat,
                        static_cast<QWidget*>(lbFichiers)})
    part->setEnabled(!running);
  for (QAction* action : {acOuvrir, acQuitter, acSupprimer, acRenommer, acAnnuler, acApercu, acToutSupprimer,
                          acAjoutFormat, acAPropos})
    action->setEnabled(!running);
  if (running) {
    pbRenommage->setRange(0, static_cast<int>(std::min<size_t>(list_.size(), INT_MAX)));
    pbRenommage->setValue(0);
    sbArreter->setEnabled(true);
  } else {
    enableListActions(false);  // nothing is selected after a run
  }
  pbRenommage->setVisible(running);
  sbArreter->setVisible(running);
}

void TfPrincipale::refreshUndo() {
  const std::optional<naming::RunRecord> run = naming::lastRun(naming::stateFolder());
  undoable_ = run && !run->undone && !run->steps.empty();
  acAnnuler->setEnabled(undoable_);
}

void TfPrincipale::acAnnulerExecute() {
  const std::optional<naming::RunRecord> run = naming::lastRun(naming::stateFolder());
  if (!run || run->undone || run->steps.empty()) return refreshUndo();
  const QString question = QStringLiteral("Annuler le renommage du %1 (%2 fichiers renommés) ?")
                               .arg(fromBytes(naming::runTimeText(*run)))
                               .arg(run->photosMoved());
  const bool yes = confirmUndo ? confirmUndo(question)
                               : QMessageBox::question(this, windowTitle(), question) == QMessageBox::Yes;
  if (!yes) return;
  {
    QSignalBlocker quiet(lbFichiers);
    lbFichiers->clearSelection();
  }
  UpdateDisplay();
  RichPaneSink log(reTexte);
  const naming::UndoOutcome outcome = naming::UndoRun(*run, naming::realFileSystem(), log, false);
  // The list holds the files as they are named again.
  list_.clear();
  for (const std::string& photo : outcome.photos) list_.appendUnchecked(photo);
  refreshUndo();
  showFileList();
  enableListActions(false);
}

void TfPrincipale::acAProposExecute() {
  if (aboutBox_) aboutBox_->exec();
}

void TfPrincipale::acApercuExecute() {
  if (!fApercu_) {
    PreviewInputs inputs;
    inputs.files = [this] { return list_.paths(); };
    inputs.naming = [this]() -> const naming::TNaming& { return *naming_; };
    inputs.withTextFile = [this] { return cbFichierTexte->isChecked(); };
    inputs.busy = [this] { return batchRunning_; };
    inputs.rename = acRenommer;
    fApercu_ = new TfApercu(std::move(inputs), this);
    // A run and an undo change the list without a refresh: the table follows.
    for (QAction* changesList : {acRenommer, acAnnuler})
      connect(changesList, &QAction::triggered, fApercu_, &TfApercu::scheduleRefresh);
    // First shown over the panes, leaving the format boxes in sight.
    fApercu_->move(splAffichage->mapToGlobal(QPoint(splListe->width(), 0)));
  }
  fApercu_->show();
  fApercu_->raise();
  fApercu_->activateWindow();
  fApercu_->refreshNow();
}

// ---------------------------------------------------------------------------
// Errors, drops, closing
// ---------------------------------------------------------------------------

void TfPrincipale::guarded(const std::function<void()>& handler) {
  // Boundary: nothing raised inside a handler may cross the event loop.
  try {
    handler();
  } catch (const std::exception& e) {
    reportError(decodeReportText(e.what()));
  } catch (...) {
    reportError(QStringLiteral("Erreur inattendue"));
  }
}

void TfPrincipale::reportError(const QString& message) {
  if (errorReporter)
    errorReporter(message);
  else
    showErrorBox(this, message);
}

void TfPrincipale::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !batchRunning_) event->acceptProposedAction();
}

void TfPrincipale::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls() && !batchRunning_) event->acceptProposedAction();
}

void TfPrincipale::dropEvent(QDropEvent* event) {
  QMainWindow::dropEvent(event);
  if (batchRunning_ || !event->mimeData()->hasUrls()) return;
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  guarded([&] { AddFiles(paths); });
  event->acceptProposedAction();
}

void TfPrincipale::closeEvent(QCloseEvent* event) {
  if (batchRunning_) {
    // Closed while a rename runs: the window closes when the run is over.
    closePending_ = true;
    event->ignore();
    return;
  }
  setAcceptDrops(false);
  guarded([this] { writeSettings(); });
  event->accept();
}

}  // namespace app
