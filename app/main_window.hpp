#pragma once
// TfPrincipale: the main window. It holds the file list, the name-format and
// user-text boxes with their histories, the preview picture and the two
// report panes. Every handler forwards to the naming engine or the report and
// ends with UpdateDisplay, the window's one refresh.
#include <QIcon>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "metadata/image_reader.hpp"
#include "naming/batch_rename.hpp"
#include "naming/file_list.hpp"
#include "naming/histories.hpp"
#include "naming/naming.hpp"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QSpinBox;
class QSplitter;
class QStatusBar;
class QTextEdit;
class QToolBar;
class QToolButton;
class QWidget;

namespace settings {
class TApplRegistry;
}

namespace app {

class PreviewPicture;
class TfAPropos;
class TfApercu;

class TfPrincipale final : public QMainWindow {
  Q_OBJECT
 public:
  // store: the process-wide settings store, company name already set.
  // arguments: files and folders to list at start.
  TfPrincipale(settings::TApplRegistry& store, const QStringList& arguments, QWidget* parent = nullptr);
  ~TfPrincipale() override;

  // Files and folders (folders walked to any depth) into the list; the one
  // way into it. Ends with no file selected and a refresh.
  void AddFiles(const QStringList& paths);
  void UpdateDisplay();

  void setAboutBox(TfAPropos* box) { aboutBox_ = box; }

  // Shows an error that escaped a handler; a message box unless replaced.
  std::function<void(const QString& message)> errorReporter;
  // The file-open dialog: the chosen files, or none when cancelled. A dialog
  // unless replaced.
  std::function<QStringList(const QString& initialDir)> chooseFiles;
  // Asks whether to undo the last run (the question given); a message box
  // unless replaced.
  std::function<bool(const QString& question)> confirmUndo;
  // Told of each file's outcome while a run lasts, after the window's own
  // handling of it (tests act from here while a run is under way).
  std::function<void(const naming::FileResult& result)> fileDone;

  // The list as shown, in order.
  QStringList files() const;
  const naming::TNaming& namingState() const { return *naming_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createActions();
  void createMenus();
  void createToolBar();
  QWidget* createFormatPanel();
  QWidget* createDisplayArea();
  void readSettings();
  void writeSettings();

  void acOuvrirExecute();
  void acSupprimerExecute();
  void acToutSupprimerExecute();
  void acRenommerExecute();
  // While a run lasts only the stop button takes input: the actions, the
  // boxes, the list and the menus are disabled, the progress is shown.
  void setRunning(bool running);
  // The actions that follow the list and its selection.
  void enableListActions(bool anySelected);
  void showProgress(size_t done, size_t total);
  void acAnnulerExecute();
  void refreshUndo();  // the undo action follows the newest journaled run
  void acAjoutFormatExecute();
  void acAProposExecute();
  void acApercuExecute();
  void cbFormatNomChange();
  void sbRetraitHistoriqueFormatClick();
  void cbRetraitHistoriqueTexteClick();

  // Runs a handler; an error that escapes it goes to errorReporter.
  void guarded(const std::function<void()>& handler);
  void reportError(const QString& message);

  std::vector<size_t> selectedRows() const;
  void showFileList();  // the list box from the file list, nothing selected
  void putCaretsHome();
  naming::EditBox editBoxOf(QComboBox* box) const;
  void applyEditBox(QComboBox* box, const naming::EditBox& edit);

  settings::TApplRegistry& store_;
  std::unique_ptr<meta::TimgData> imgData_;
  std::unique_ptr<naming::TNaming> naming_;
  naming::FileList list_;
  QString initialDir_;
  TfAPropos* aboutBox_ = nullptr;
  bool batchRunning_ = false;
  bool stopRequested_ = false;  // "Arrêter" was clicked during the run
  bool undoable_ = false;
  bool closePending_ = false;
  bool settingsWritten_ = false;
  std::vector<QIcon> ilActions_;  // the action images by index (0..7)

  QAction* acOuvrir = nullptr;
  QAction* acQuitter = nullptr;
  QAction* acSupprimer = nullptr;
  QAction* acRenommer = nullptr;
  QAction* acAnnuler = nullptr;
  QAction* acToutSupprimer = nullptr;
  QAction* acAjoutFormat = nullptr;
  QAction* acAPropos = nullptr;
  QAction* acApercu = nullptr;
  TfApercu* fApercu_ = nullptr;  // the table of the whole batch, made when first asked for

  QToolBar* tbPrincipale = nullptr;
  QWidget* pnlFormat = nullptr;
  QComboBox* cbListeFormats = nullptr;
  QComboBox* cbFormatNom = nullptr;
  QComboBox* cbTexteUtilisateur = nullptr;
  QToolButton* sbRetraitHistoriqueFormat = nullptr;
  QToolButton* cbRetraitHistoriqueTexte = nullptr;
  QSpinBox* seNbChiffres = nullptr;
  QCheckBox* cbFichierTexte = nullptr;
  QListWidget* lbFichiers = nullptr;
  PreviewPicture* imgPreview = nullptr;
  QTextEdit* reTexte = nullptr;
  QTextEdit* reNom = nullptr;
  QSplitter* splListe = nullptr;
  QSplitter* splTextes = nullptr;
  QSplitter* splAffichage = nullptr;
  QStatusBar* sbGenerale = nullptr;
  QProgressBar* pbRenommage = nullptr;  // shown while a run lasts
  QToolButton* sbArreter = nullptr;     // stops the run after the current file
};

}  // namespace app
