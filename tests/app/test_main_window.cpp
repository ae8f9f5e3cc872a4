// The main window on the offscreen platform: the file list and its entry
// roads (arguments, dialog, drops), the refresh of both panes and the preview,
// the enabling rules, format editing, a batch rename on real files, the
// persisted values, the error box and the about box.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QtTest>
#include <memory>
#include <stdexcept>

#include "app/about_box.hpp"
#include "app/error_box.hpp"
#include "app/main_window.hpp"
#include "app/preview_picture.hpp"
#include "app/rich_pane_sink.hpp"
#include "naming/format.hpp"
#include "qt_files.hpp"
#include "settings/appl_registry.hpp"
#include "settings/persisted_settings.hpp"
#include "testkit/exif_builder.hpp"
#include "testkit/jpeg_encode.hpp"
#include "testkit/photo_files.hpp"

using app::TfPrincipale;

namespace {

const QString kDefaultFormat = QString::fromStdString(naming::DefaultFormat());

// A photo dated 2004:06:12 14:30:05 with a 16 x 8 JPEG preview.
std::string photoWithPreview() {
  qmtest::TiffBuilder b;
  int ifd0 = b.addIfd(), ifd1 = b.addIfd();
  b.ascii(ifd0, 0x010F, "Quillcam").ascii(ifd0, 0x0132, "2004:06:12 14:30:05").next(ifd0, ifd1);
  const std::string preview = qmtest::encodeJpeg(16, 8, 250, 10, 10);
  int blob = b.blob(preview);
  b.shortValue(ifd1, 0x0103, 6).blobPointer(ifd1, 0x0201, blob);
  b.longValue(ifd1, 0x0202, uint32_t(preview.size()));
  return qmtest::jpegFile({qmtest::exifSegment(b.build())});
}

QTextCharFormat formatOf(QTextEdit* pane, const QString& text) {
  const QTextCursor found = pane->document()->find(text);
  if (found.isNull()) return QTextCharFormat();
  QTextCursor at(pane->document());
  at.setPosition(found.selectionStart() + 1);
  return at.charFormat();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<settings::TApplRegistry> store_;
  std::unique_ptr<TfPrincipale> w_;
  QStringList errors_;

  QString path(const QString& name) const { return dir_->filePath(name); }
  QString write(const QString& name, const std::string& bytes) const {
    return qmtest::writeFileAt(path(name), bytes);
  }
  settings::TApplRegistry& store() {
    if (!store_) {
      store_ = std::make_unique<settings::TApplRegistry>(path("settings.conf"));
      store_->SetCompanyName("Vellacor (ex Dunmere)");
      store_->SetApplicationName("Quillmark");
    }
    return *store_;
  }
  TfPrincipale& open(const QStringList& arguments = {}) {
    w_ = std::make_unique<TfPrincipale>(store(), arguments);
    w_->errorReporter = [this](const QString& m) { errors_ << m; };
    return *w_;
  }
  template <class T>
  T* child(const char* name) const {
    T* c = w_->findChild<T*>(QString::fromLatin1(name));
    if (!c) qFatal("no %s", name);
    return c;
  }
  QAction* action(const char* name) const { return child<QAction>(name); }
  QListWidget* list() const { return child<QListWidget>("lbFichiers"); }
  QTextEdit* reTexte() const { return child<QTextEdit>("reTexte"); }
  QTextEdit* reNom() const { return child<QTextEdit>("reNom"); }
  QComboBox* format() const { return child<QComboBox>("cbFormatNom"); }
  QStringList items(QComboBox* box) const {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
  }
  QString enabling() const {
    QString s;
    for (const char* a :
         {"acOuvrir", "acQuitter", "acSupprimer", "acRenommer", "acToutSupprimer", "acAPropos"})
      s += action(a)->isEnabled() ? u'1' : u'0';
    return s;
  }
  void activate() {
    w_->show();
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_.get()));
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    qputenv("QUILLMARK_STATE_DIR", path("state").toLocal8Bit());
    errors_.clear();
  }
  void cleanup() {
    w_.reset();
    store_.reset();
    dir_.reset();
    QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join(" | ")));
  }

  void startsWithArgumentsFilesAndFolders() {
    const QString single = write("single.jpg", qmtest::photoWithoutExif());
    write("album/a.jpg", qmtest::photoWithoutExif("a"));
    write("album/notes.png", "png");
    write("album/deeper/b.JPG", qmtest::photoWithoutExif("b"));
    write("album/c.Tiff", "II*");
    open({single, path("album"), path("missing.jpg"), single.toUpper()});
    // The folder's own files come before those of its sub-folders.
    QStringList expected{single, path("album/a.jpg"), path("album/c.Tiff"), path("album/deeper/b.JPG")};
    QStringList got = w_->files();
    got.sort();
    expected.sort();
    QCOMPARE(got, expected);
    QCOMPARE(w_->files().last(), path("album/deeper/b.JPG"));
    QCOMPARE(list()->count(), 4);
    QCOMPARE(list()->item(0)->text(), single);
    QVERIFY(list()->selectedItems().isEmpty());
    QVERIFY(reTexte()->document()->isEmpty() && reNom()->document()->isEmpty());
    QCOMPARE(enabling(), QString("110111"));
    // The missing path is not skipped in silence.
    const QString status = w_->statusBar()->currentMessage();
    QVERIFY2(status.contains(path("missing.jpg")) && status.contains("No such file"), qPrintable(status));
  }

  void enablingFollowsTheListAndTheSelection() {
    open();
    QCOMPARE(enabling(), QString("110001"));  // empty list: only open, quit, about
    QVERIFY(action("acAjoutFormat")->isEnabled());
    w_->AddFiles({write("one.jpg", qmtest::photoWithoutExif("1")),
                  write("two.jpg", qmtest::photoWithoutExif("2")),
                  write("three.jpg", qmtest::photoWithoutExif("3"))});
    QCOMPARE(enabling(), QString("110111"));
    list()->item(0)->setSelected(true);
    QCOMPARE(enabling(), QString("111111"));
    QVERIFY(!reNom()->document()->isEmpty());
    list()->item(2)->setSelected(true);  // two selected: panes and picture empty
    QCOMPARE(enabling(), QString("111111"));
    QVERIFY(reTexte()->document()->isEmpty() && reNom()->document()->isEmpty());
    QVERIFY(child<app::PreviewPicture>("imgPreview")->picture().isNull());

    action("acSupprimer")->trigger();
    QCOMPARE(w_->files(), QStringList{path("two.jpg")});
    QCOMPARE(enabling(), QString("110111"));
    action("acToutSupprimer")->trigger();
    QVERIFY(w_->files().isEmpty());
    QCOMPARE(enabling(), QString("110001"));
  }

  void selectionDrivesBothPanesAndThePicture() {
    open({write("IMG_0001.JPG", photoWithPreview())});
    list()->item(0)->setSelected(true);

    const QString nom = reNom()->toPlainText();
    QVERIFY2(nom.startsWith("Nouveau nom du fichier: \n\t20040612-143005-01.jpg\n"), qPrintable(nom));
    QVERIFY2(nom.contains("IYEAR       = '2004'  (Image date Year)"), qPrintable(nom));
    QVERIFY2(nom.contains(QString("NUMBER      = '%1'").arg(QString(5, u'?'))), qPrintable(nom));
    const QString texte = reTexte()->toPlainText();
    QVERIFY2(texte.startsWith("\nEXIF-Data\n\nLittle endian (Intel Byte Order)\n"), qPrintable(texte));
    QVERIFY2(texte.contains("Thumbnail Data"), qPrintable(texte));

    struct Piece {
      QTextEdit* pane;
      const char* text;
      bool bold, italic, fixed;
      int size;
      QColor colour;
    } const pieces[] = {
        {reNom(), "20040612-143005-01.jpg", true, false, false, 12, QColor(0, 0, 255)},
        {reNom(), "Champs", true, false, false, 14, QColor(0, 0, 128)},
        {reNom(), "IYEAR", true, false, true, 10, QColor(0, 0, 0)},
        {reNom(), "(Image date Year)", false, true, false, 10, QColor(0, 0, 0)},
        {reTexte(), "EXIF-Data", true, false, false, 14, QColor(0, 0, 128)},
        {reTexte(), "Little endian", true, false, false, 8, QColor(0, 0, 0)},
        {reTexte(), " (Intel Byte Order)", false, false, false, 8, QColor(0, 0, 0)},
    };
    for (const Piece& p : pieces) {
      const QTextCharFormat f = formatOf(p.pane, p.text);
      const QString got = QString("%1 bold=%2 italic=%3 fixed=%4 size=%5 %6 %7")
                              .arg(p.text)
                              .arg(f.fontWeight() >= QFont::Bold)
                              .arg(f.fontItalic())
                              .arg(f.fontFixedPitch())
                              .arg(f.fontPointSize())
                              .arg(f.foreground().color().name())
                              .arg(f.fontFamilies().toStringList().value(0) == app::kFixedFontFamily);
      const QString want = QString("%1 bold=%2 italic=%3 fixed=%4 size=%5 %6 %7")
                               .arg(p.text)
                               .arg(p.bold)
                               .arg(p.italic)
                               .arg(p.fixed)
                               .arg(p.size)
                               .arg(p.colour.name())
                               .arg(p.fixed);
      QCOMPARE(got, want);
    }
    for (QTextEdit* pane : {reTexte(), reNom()}) {
      QCOMPARE(pane->textCursor().position(), 0);
      QVERIFY(!pane->textCursor().hasSelection());
    }
    const QImage& picture = child<app::PreviewPicture>("imgPreview")->picture();
    QCOMPARE(picture.size(), QSize(16, 8));

    // The companion lines appear with the check box; nothing selected empties all.
    child<QCheckBox>("cbFichierTexte")->setChecked(true);
    QVERIFY(reNom()->toPlainText().contains("Fichier texte associé: \n\t20040612-143005-01.exif.txt\n"));
    list()->clearSelection();
    QVERIFY(reTexte()->document()->isEmpty() && reNom()->document()->isEmpty());
    QVERIFY(child<app::PreviewPicture>("imgPreview")->picture().isNull());
  }

  void ctrlIInsertsThePickedElementAtTheCaret_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("caret");
    QTest::newRow("at the caret") << "AB" << 1 << 0 << "A[IYEAR]B" << 8;
    QTest::newRow("over a selection") << "A-xx-B" << 1 << 4 << "A[IYEAR]B" << 8;
    QTest::newRow("after an accented letter") << "éB" << 1 << 0 << "é[IYEAR]B" << 8;
    QTest::newRow("at the end") << "[NAME]" << 6 << 0 << "[NAME][IYEAR]" << 13;
  }
  void ctrlIInsertsThePickedElementAtTheCaret() {
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, expected);
    QFETCH(int, caret);
    open();
    activate();
    auto* picker = child<QComboBox>("cbListeFormats");
    QCOMPARE(picker->itemText(4), QString("[IYEAR]: Image date Year"));
    picker->setCurrentIndex(4);
    format()->setFocus();
    QTRY_VERIFY(format()->hasFocus());
    format()->setEditText(text);
    format()->lineEdit()->setSelection(selStart, selLength);
    QTest::keyClick(format(), Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(format()->currentText(), expected);
    QCOMPARE(format()->lineEdit()->cursorPosition(), caret);
    QVERIFY(!format()->lineEdit()->hasSelectedText());
    QVERIFY(w_->namingState().Format.ItemCount >= 2);  // re-parsed
  }

  void insertionNeedsTheFocusInTheFormatBox() {
    open();
    activate();
    format()->setFocus();
    QTRY_VERIFY(action("acAjoutFormat")->isEnabled());
    format()->setEditText("AB");
    list()->setFocus();  // the focus moves on: the action is disabled
    QTRY_VERIFY(!action("acAjoutFormat")->isEnabled());
    // A choice in the picker takes the focus from the format box: no insertion.
    auto* picker = child<QComboBox>("cbListeFormats");
    picker->setFocus();
    QTRY_VERIFY(picker->hasFocus());
    emit picker->activated(4);
    QCOMPARE(format()->currentText(), QString("AB"));
  }

  void undoTakesTheLastRunBackAfterAsking() {
    const QString a = write("photos/a.jpg", qmtest::photoWithDate("2004:06:12 14:30:05", "a"));
    const QString b = write("photos/b.jpg", qmtest::photoWithDate("2005:01:01 00:00:00", "b"));
    store().WriteStringValue("", "Format", "[IYEAR][EXT]");
    open({a, b});
    QVERIFY(!action("acAnnuler")->isEnabled());
    child<QCheckBox>("cbFichierTexte")->setChecked(true);
    action("acRenommer")->trigger();
    QVERIFY(QFile::exists(path("photos/2004.jpg")) && QFile::exists(path("photos/2005.exif.txt")));
    QVERIFY(action("acAnnuler")->isEnabled());

    QString asked;
    w_->confirmUndo = [&](const QString& question) {
      asked = question;
      return false;
    };
    action("acAnnuler")->trigger();
    QVERIFY2(asked.contains("(2 fichiers renommés)"), qPrintable(asked));
    QVERIFY(QFile::exists(path("photos/2004.jpg")));  // refused: nothing changes

    w_->confirmUndo = [](const QString&) { return true; };
    action("acAnnuler")->trigger();
    QVERIFY(QFile::exists(a) && QFile::exists(b));
    QVERIFY(!QFile::exists(path("photos/2004.jpg")) && !QFile::exists(path("photos/2005.exif.txt")));
    QStringList listed = w_->files();
    listed.sort();
    QCOMPARE(listed, (QStringList{a, b}));
    const QString log = reTexte()->toPlainText();
    QVERIFY2(log.contains("Ok: " + path("photos/2004.jpg") + " => " + a), qPrintable(log));
    QVERIFY2(log.endsWith("Tout a été rétabli\n\n"), qPrintable(log));
    QVERIFY(!action("acAnnuler")->isEnabled());
  }

  void renameRunsTheBatchWithCompanionsAndHistories() {
    const QString dated = write("photos/IMG_0001.JPG", qmtest::photoWithDate("2004:06:12 14:30:05"));
    const QString scan = write("photos/scan.jpg", qmtest::photoWithoutExif());
    store().WriteStringValue("", "HistoriqueFormats1", "X[iyear]-[number][ext]");
    store().WriteStringValue("", "Format", "x[IYEAR]-[NUMBER][EXT]");
    open({dated, scan});
    child<QCheckBox>("cbFichierTexte")->setChecked(true);

    QVERIFY(action("acRenommer")->isEnabled());
    action("acRenommer")->trigger();

    const QString renamed = path("photos/x2004-01.jpg");
    QVERIFY(QFile::exists(renamed));
    QVERIFY(!QFile::exists(dated));
    QFile companion(path("photos/x2004-01.exif.txt"));
    QVERIFY(companion.open(QIODevice::ReadOnly));
    const QByteArray report = companion.readAll();
    QVERIFY2(report.startsWith("\r\nEXIF-Data\r\n\r\n"), report.constData());
    QVERIFY(!report.contains("Nouveau nom"));

    const QString log = reTexte()->toPlainText();
    QVERIFY2(log.startsWith("\nChangement des noms\n\n"), qPrintable(log));
    QVERIFY2(log.contains("Ok: " + dated + " => " + renamed), qPrintable(log));
    QVERIFY2(log.contains("Fichier texte créé: " + path("photos/x2004-01.exif.txt")), qPrintable(log));
    QVERIFY2(log.contains("ERREUR: " + scan + "\n\t\t ne peut être renommé par manque d'information"),
             qPrintable(log));
    QVERIFY2(log.endsWith("Des erreurs ont été rencontrées\n\n"), qPrintable(log));
    QCOMPARE(formatOf(reTexte(), "ERREUR: ").foreground().color(), QColor(255, 0, 0));
    QVERIFY(reNom()->document()->isEmpty());
    QCOMPARE(w_->files(), QStringList{scan});
    QCOMPARE(list()->count(), 1);
    QVERIFY(w_->statusBar()->currentMessage().isEmpty());
    QVERIFY(child<QProgressBar>("pbRenommage")->isHidden());

    // The format went to the top of its history, replacing its case variant;
    // the empty user text added nothing.
    QCOMPARE(items(format()), QStringList{"x[IYEAR]-[NUMBER][EXT]"});
    QCOMPARE(items(child<QComboBox>("cbTexteUtilisateur")), QStringList());

    // Emptying the histories.
    auto* texte = child<QComboBox>("cbTexteUtilisateur");
    texte->addItems({"vacances", "noel"});
    texte->setEditText("vacances");
    child<QToolButton>("cbRetraitHistoriqueTexte")->click();
    QCOMPARE(texte->currentText(), QString());
    QCOMPARE(items(texte), QStringList());
    child<QToolButton>("sbRetraitHistoriqueFormat")->click();
    QCOMPARE(format()->currentText(), kDefaultFormat);
    QCOMPARE(items(format()), QStringList{kDefaultFormat});
  }

  // Clicks and keys that come while a run lasts are dropped: neither handled
  // during the run (a second run, a refresh that wipes the log) nor replayed
  // after it.
  void inputDuringARunIsDropped() {
    QStringList photos;
    for (int i = 0; i < 12; ++i)
      photos << write(
          QString("run/p%1.jpg").arg(i, 2, 10, QChar('0')),
          qmtest::photoWithDate(QString("2004:06:12 14:30:%1").arg(i, 2, 10, QChar('0')).toStdString(),
                                std::to_string(i)));
    open({path("run")});
    activate();
    auto* texte = child<QComboBox>("cbTexteUtilisateur");
    texte->setEditText("ete");
    QWidget* renameButton = child<QToolBar>("tbPrincipale")->widgetForAction(action("acRenommer"));
    QVERIFY(renameButton);
    int handled = 0;
    QString enabledDuringRun;
    w_->fileDone = [&](const naming::FileResult&) {
      if (++handled != 2) return;
      enabledDuringRun = enabling() + (texte->isEnabled() ? "1" : "0") + (list()->isEnabled() ? "1" : "0");
      QTest::mouseDClick(renameButton, Qt::LeftButton);
      QTest::keyClicks(texte->lineEdit(), "xyz");
      QTest::keyClick(w_.get(), Qt::Key_Q, Qt::ControlModifier);
      // Input still queued when the run ends is not handled afterwards either.
      for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            renameButton,
            new QMouseEvent(type, QPointF(4, 4), renameButton->mapToGlobal(QPointF(4, 4)), Qt::LeftButton,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                            Qt::NoModifier));
      QCoreApplication::postEvent(texte->lineEdit(),
                                  new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
    };
    action("acRenommer")->trigger();
    QTest::qWait(50);  // anything left over would be handled now

    QCOMPARE(handled, photos.size());
    QCOMPARE(enabledDuringRun, QString("00000000"));
    const QString log = reTexte()->toPlainText();
    QCOMPARE(log.count("Changement des noms"), 1);
    QCOMPARE(log.count("Ok: "), photos.size());
    QVERIFY2(log.endsWith("Tout a été renommé\n\n"), qPrintable(log));
    QCOMPARE(texte->currentText(), QString("ete"));
    QCOMPARE(w_->files().size(), photos.size());
    QVERIFY(w_->isVisible());
    QCOMPARE(enabling(), QString("110111"));
    QVERIFY(texte->isEnabled() && list()->isEnabled());
  }

  // "Arrêter" ends the run after the current file; the list keeps the
  // failures and the files not reached.
  void stopEndsTheRunAfterTheCurrentFile() {
    const QString scan = write("stop/a.jpg", qmtest::photoWithoutExif());
    QStringList dated;
    for (char c = 'b'; c <= 'f'; ++c)
      dated << write(QString("stop/%1.jpg").arg(c),
                     qmtest::photoWithDate(std::string("2004:06:12 14:30:0") + char('0' + (c - 'a')),
                                           std::string(1, c)));
    open({path("stop")});
    activate();
    int handled = 0;
    bool shown = false;
    w_->fileDone = [&](const naming::FileResult&) {
      if (++handled != 3) return;
      auto* stop = child<QToolButton>("sbArreter");
      shown = !stop->isHidden() && stop->isEnabled() && !child<QProgressBar>("pbRenommage")->isHidden();
      QTest::mouseClick(stop, Qt::LeftButton);
    };
    action("acRenommer")->trigger();
    QCOMPARE(handled, 3);
    QVERIFY(shown);
    const QString log = reTexte()->toPlainText();
    QVERIFY2(log.endsWith(
                 "Renommage arrêté\n\n2 renommés, 0 inchangés, 1 non renommés, 3 restent dans la liste\n"),
             qPrintable(log));
    QCOMPARE(w_->files(), (QStringList{scan, dated[2], dated[3], dated[4]}));
    QCOMPARE(list()->count(), 4);
    QVERIFY(child<QToolButton>("sbArreter")->isHidden());
  }

  // An empty digit box, or 0, is run as 1: the preview says so at once and
  // the box shows it once the run starts.
  void digitBoxLeftEmptyPreviewsWhatTheRunUses_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << "";
    QTest::newRow("zero") << "0";
  }
  void digitBoxLeftEmptyPreviewsWhatTheRunUses() {
    QFETCH(QString, typed);
    const QString photo = write("digits/IMG_0001.jpg", qmtest::photoWithDate("2004:06:12 14:30:05"));
    store().WriteStringValue("", "Format", "[IYEAR]-[NUMBER][EXT]");
    store().WriteIntegerValue("", "Chiffres", 5);
    open({photo});
    list()->item(0)->setSelected(true);
    QVERIFY(reNom()->toPlainText().contains("\t2004-00001.jpg\n"));
    auto* digits = child<QSpinBox>("seNbChiffres");
    digits->findChild<QLineEdit*>()->setText(typed);
    QVERIFY2(reNom()->toPlainText().contains("\t2004-1.jpg\n"), qPrintable(reNom()->toPlainText()));
    action("acRenommer")->trigger();
    QVERIFY(QFile::exists(path("digits/2004-1.jpg")));
    QCOMPARE(digits->text(), QString("1"));
    QCOMPARE(digits->value(), 1);
  }

  void listEntriesShowTheFileNameAndDeleteRemovesThem() {
    const QString deep = write("a/very/long/folder/name/that/does/not/fit/in/the/list/IMG_0001.jpg",
                               qmtest::photoWithoutExif("1"));
    const QString other = write("b.jpg", qmtest::photoWithoutExif("2"));
    open({deep, other});
    activate();
    QListWidgetItem* entry = list()->item(0);
    QCOMPARE(entry->toolTip(), deep);
    // The entry is as wide as the list, not as its text: elided, no scrolling.
    QVERIFY(list()->viewport()->width() < list()->fontMetrics().horizontalAdvance(deep));
    QVERIFY(list()->visualItemRect(entry).right() < list()->viewport()->width());
    QCOMPARE(list()->horizontalScrollBar()->maximum(), 0);

    list()->setFocus();
    entry->setSelected(true);
    QTest::keyClick(list(), Qt::Key_Delete);
    QCOMPARE(w_->files(), QStringList{other});
  }

  void layoutIsKeptBetweenRunsWithTheDesignedOneFirst() {
    open();
    QCOMPARE(w_->size(), QSize(927, 665));
    activate();
    QCOMPARE(child<QSplitter>("pnlAffichage")->sizes().value(0), 280);
    w_->resize(700, 500);
    child<QSplitter>("pnlAffichage")->setSizes({350, 350});
    child<QSplitter>("pnlTextes")->setSizes({150, 200});
    const QList<int> textSizes = child<QSplitter>("pnlTextes")->sizes();
    QVERIFY(w_->close());
    open();
    activate();
    QCOMPARE(w_->size(), QSize(700, 500));
    QCOMPARE(child<QSplitter>("pnlAffichage")->sizes().value(0), 350);
    QCOMPARE(child<QSplitter>("pnlTextes")->sizes(), textSizes);
    // A stored value that is not a layout leaves the designed one.
    QVERIFY(w_->close());
    store().WriteStringValue("", "Geometrie", "garbage");
    open();
    QCOMPARE(w_->size(), QSize(927, 665));
  }

  void dropAddsEveryPathInDropOrder() {
    const QString first = write("drop/z.jpg", qmtest::photoWithoutExif("z"));
    write("drop/folder/y.jpeg", qmtest::photoWithoutExif("y"));
    const QString last = write("drop/a.tif", "II*");
    open();
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(path("drop/folder")),
                   QUrl::fromLocalFile(first.toUpper()), QUrl::fromLocalFile(last),
                   QUrl("https://example.invalid/p.jpg")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w_.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w_.get(), &drop);
    QVERIFY(drop.isAccepted());
    // Folders are walked after the paths given with them.
    QCOMPARE(w_->files(), QStringList({first, last, path("drop/folder/y.jpeg")}));
    delete mime;
  }

  void storedValuesAreRestoredAndWrittenBack() {
    store().WriteStringValue("", "Format", "[NAME]x");
    store().WriteStringValue("", "Texte", "Vacances");
    store().WriteIntegerValue("", "Chiffres", 15);
    store().WriteBoolValue("", "WithTextFile", true);
    store().WriteStringValue("", "HistoriqueFormats1", "f1");
    store().WriteStringValue("", "HistoriqueFormats2", "f2");
    store().WriteStringValue("", "HistoriqueFormats4", "f4");
    store().WriteStringValue("", "HistoriqueTextes1", "Vacances");
    open();
    QCOMPARE(format()->currentText(), QString("[NAME]x"));
    QCOMPARE(items(format()), QStringList({"f1", "f2", "f4"}));
    QCOMPARE(child<QComboBox>("cbTexteUtilisateur")->currentText(), QString("Vacances"));
    QCOMPARE(child<QSpinBox>("seNbChiffres")->value(), 9);
    QVERIFY(child<QCheckBox>("cbFichierTexte")->isChecked());
    QCOMPARE(w_->namingState().Format.ItemCount, 2);  // parsed at start

    QVERIFY(w_->close());
    const settings::PersistedValues back = settings::ReadPersisted(store(), kDefaultFormat);
    QCOMPARE(back.digits, 9);
    QCOMPARE(back.formatHistory, QStringList({"f1", "f2", "f4"}));
    QCOMPARE(store().ReadStringValue("", "HistoriqueFormats3", "?"), QString("f4"));
    QCOMPARE(store().ReadStringValue("", "HistoriqueFormats4", "?"), QString(""));
    QCOMPARE(back.text, QString("Vacances"));
    QVERIFY(back.withTextFile);
  }

  void firstRunUsesDefaultsAndTheCloseCreatesTheValues() {
    store().WriteStringValue("", "Chiffres", "4");  // a string where a number is expected
    open();
    QCOMPARE(format()->currentText(), kDefaultFormat);
    QCOMPARE(child<QSpinBox>("seNbChiffres")->value(), 2);
    QVERIFY(!child<QCheckBox>("cbFichierTexte")->isChecked());
    QVERIFY(w_->close());
    QCOMPARE(store().ReadIntegerValue("", "Chiffres", 0), 2);
    QCOMPARE(store().ReadStringValue("", "Format", ""), kDefaultFormat);
    QCOMPARE(store().ReadStringValue("", "HistoriqueTextes10", "?"), QString(""));
  }

  void openDialogWritesTheFolderOnlyWhenConfirmed() {
    const QString photo = write("chosen/p.jpg", qmtest::photoWithoutExif());
    store().WriteStringValue("", "InitialDir", "/before/");
    open();
    QStringList offered;
    QStringList answer;
    w_->chooseFiles = [&](const QString& initial) {
      offered << initial;
      return answer;
    };
    action("acOuvrir")->trigger();  // cancelled
    QVERIFY(w_->files().isEmpty());
    QCOMPARE(store().ReadStringValue("", "InitialDir", ""), QString("/before/"));
    answer = {photo};
    action("acOuvrir")->trigger();
    QCOMPARE(w_->files(), QStringList{photo});
    const QString folder = QDir::toNativeSeparators(path("chosen")) + QDir::separator();
    QCOMPARE(store().ReadStringValue("", "InitialDir", ""), folder);
    action("acOuvrir")->trigger();
    QCOMPARE(offered, QStringList({"/before/", "/before/", folder}));
  }

  void errorBoxText_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Disque absent"
                            << "Disque absent.";
    QTest::newRow("full stop") << "Fini."
                               << "Fini.";
    QTest::newRow("question mark is above") << "Quoi?"
                                            << "Quoi?.";
    QTest::newRow("slash is above") << "C:/"
                                    << "C:/.";
    QTest::newRow("accented letter") << "Problème d'accès à é"
                                     << "Problème d'accès à é.";
    QTest::newRow("exclamation mark is below") << "Attention!"
                                               << "Attention!";
    QTest::newRow("hyphen is below") << "a-"
                                     << "a-";
    QTest::newRow("closing parenthesis is below") << "(x)"
                                                  << "(x)";
    QTest::newRow("space is below") << "x "
                                    << "x ";
    QTest::newRow("empty") << ""
                           << "";
  }
  void errorBoxText() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(app::errorBoxText(message), shown);
  }

  void escapedErrorShowsTheBoxAndTheWindowGoesOn() {
    open();
    w_->errorReporter = nullptr;  // the real message box
    w_->chooseFiles = [](const QString&) -> QStringList { throw std::runtime_error("Lecteur indisponible"); };
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, this, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      text = box->text();
      caption = box->windowTitle();
      icon = box->icon();
      box->accept();
    });
    action("acOuvrir")->trigger();
    QCOMPARE(text, QString("Lecteur indisponible."));
    QCOMPARE(caption, QString("Quillmark"));
    QCOMPARE(icon, QMessageBox::Critical);
    w_->AddFiles({write("after.jpg", qmtest::photoWithoutExif())});
    QCOMPARE(w_->files().size(), 1);
  }

  void aboutBoxShowsTheVersionBlock() {
    const app::VersionStrings v = app::GetVersionStrings(QCoreApplication::applicationFilePath());
    QCOMPARE(v.productName, QString("Quillmark"));
    QCOMPARE(v.version, QString("0.4.0"));
    QCOMPARE(v.build, QString("12"));
    QCOMPARE(v.description, QString("Renomme ds fichiers images en fonction des informations EXIF"));
    QVERIFY(!v.copyright.isEmpty() && !v.companyName.isEmpty());
    QCOMPARE(v.comment, QString());

    open();
    app::TfAPropos about(w_.get());
    w_->setAboutBox(&about);
    QCOMPARE(about.findChild<QLabel*>("lblVersion")->text(), QString("Version 0.4.0-12"));
    QCOMPARE(about.findChild<QLabel*>("lblNomProgramme")->text(), QString("Quillmark"));
    QCOMPARE(about.findChild<QLabel*>("lblCommentaire")->text(), QString());
    QCOMPARE(about.windowTitle(), QString("A propos..."));

    bool shownModally = false;
    QTimer::singleShot(0, this, [&] {
      shownModally = QApplication::activeModalWidget() == &about;
      if (auto* ok = about.findChild<QPushButton*>("btnOk")) ok->click();
    });
    action("acAPropos")->trigger();
    QVERIFY(shownModally);

    // Another file carries no block: empty texts, zero numbers.
    app::TfAPropos none(nullptr, write("other.exe", "MZ"));
    QCOMPARE(none.findChild<QLabel*>("lblVersion")->text(), QString("Version 0.0.0-0"));
    QCOMPARE(none.findChild<QLabel*>("lblNomProgramme")->text(), QString());
  }

  void reportTextDecoding_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("Make = Canon") << "Make = Canon";
    QTest::newRow("utf-8") << QByteArray("Cr\xC3\xA9mieux") << QString::fromUtf8("Crémieux");
    QTest::newRow("windows-1252 letter") << QByteArray("Cr\xE9mieux") << QString::fromUtf8("Crémieux");
    QTest::newRow("windows-1252 punctuation") << QByteArray("\x93x\x94 \x80") << QString::fromUtf8("“x” €");
    QTest::newRow("unassigned byte kept") << QByteArray("\x81") << QString(QChar(0x81));
  }
  void reportTextDecoding() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(app::decodeReportText(bytes.toStdString()), text);
  }

  void paneSinkBreaksLinesAndKeepsPiecesApart() {
    QTextEdit pane;
    pane.setFont(QFont("MS Sans Serif", 8));
    app::RichPaneSink sink(&pane);
    sink.WriteRich("NAME        ", output::styleOf(true, false, 10, output::kBlack, true));
    sink.WriteRich("= 'x'\r\nnext\rlast", output::styleOf(false, false, 8, output::kRed));
    QCOMPARE(pane.document()->blockCount(), 3);
    QCOMPARE(pane.document()->lastBlock().text(), QString("last"));
    const QTextCharFormat after = formatOf(&pane, "= 'x'");
    QVERIFY(!after.fontFixedPitch());
    QCOMPARE(after.fontFamilies().toStringList().value(0), pane.font().family());
    QCOMPARE(after.foreground().color(), QColor(255, 0, 0));

    // Kept and flushed in one edit, the same pieces give the same document.
    QTextEdit buffered;
    buffered.setFont(pane.font());
    {
      app::BufferedPaneSink later(&buffered);
      later.WriteRich("NAME        ", output::styleOf(true, false, 10, output::kBlack, true));
      later.flush();
      later.WriteRich("= 'x'\r\nnext\rlast", output::styleOf(false, false, 8, output::kRed));
      QCOMPARE(buffered.document()->blockCount(), 1);
    }
    QCOMPARE(buffered.toHtml(), pane.toHtml());
  }

  void previewFitsKeepingItsShape_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<QRect>("placed");
    QTest::newRow("wide") << QSize(160, 120) << QSize(280, 169) << QRect(0, 0, 225, 169);
    QTest::newRow("tall") << QSize(120, 160) << QSize(280, 169) << QRect(0, 0, 126, 169);
    QTest::newRow("small is enlarged") << QSize(16, 8) << QSize(64, 64) << QRect(0, 0, 64, 32);
    QTest::newRow("no area") << QSize(16, 8) << QSize(0, 0) << QRect();
  }
  void previewFitsKeepingItsShape() {
    QFETCH(QSize, picture);
    QFETCH(QSize, area);
    QFETCH(QRect, placed);
    QCOMPARE(app::fittedRect(picture, area), placed);
  }

  void previewPixelsBecomeAnImage() {
    meta::RgbImage rgb{3, 2, std::vector<uint8_t>(3 * 2 * 3, 0)};
    rgb.pixels[3 * 4 + 0] = 255;  // pixel (1, 1) red: rows are unpadded
    const QImage image = app::toQImage(rgb);
    QCOMPARE(image.size(), QSize(3, 2));
    QCOMPARE(image.pixelColor(1, 1), QColor(255, 0, 0));
    QCOMPARE(image.pixelColor(0, 0), QColor(0, 0, 0));
    rgb.pixels.pop_back();
    QVERIFY(app::toQImage(rgb).isNull());
  }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
