// The table of new names: what it shows for a list is what the run then does
// on disk, running numbers past an existing file and a name that an earlier
// file of the same run takes included; it follows a change of the format and
// starts the run itself. And the open dialog's preview of the file under the
// cursor.
#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <memory>

#include "app/main_window.hpp"
#include "app/open_dialog.hpp"
#include "app/preview_picture.hpp"
#include "app/preview_table.hpp"
#include "qt_files.hpp"
#include "settings/appl_registry.hpp"
#include "testkit/jpeg_encode.hpp"
#include "testkit/photo_files.hpp"

class PreviewTableTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;

  QString path(const QString& name) const { return dir_->filePath(name); }
  QString write(const QString& name, const std::string& bytes) const {
    return qmtest::writeFileAt(path(name), bytes);
  }
  static QByteArray contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  // Every row as shown: folder | old name | new name | status.
  static QStringList shown(const QAbstractItemModel& model) {
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r) {
      QStringList cells;
      for (int c = app::PreviewModel::colFolder; c <= app::PreviewModel::colStatus; ++c)
        cells << model.index(r, c).data().toString();
      rows << cells.join(" | ");
    }
    return rows;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    qputenv("QUILLMARK_STATE_DIR", path("state").toLocal8Bit());
  }

  void tableShowsWhatTheRunThenDoes() {
    const std::string first = qmtest::photoWithDate("2004:07:14 10:00:00", "a");
    const QString a = write("photos/a.jpg", first);
    const QString b = write("photos/b.jpg", qmtest::photoWithDate("2004:07:14 10:00:00", "b"));
    const QString scan = write("photos/scan.jpg", qmtest::photoWithoutExif());
    const QString c = write("other/c.jpg", qmtest::photoWithDate("2004:06:12 08:00:00", "c"));
    write("photos/20040714-01.jpg", qmtest::photoWithoutExif("taken"));  // not listed, but in the way

    settings::TApplRegistry store(path("settings.conf"));
    store.SetCompanyName("Vellacor (ex Dunmere)");
    store.SetApplicationName("Quillmark");
    app::TfPrincipale w(store, {a, b, scan, c});
    QStringList errors;
    w.errorReporter = [&errors](const QString& m) { errors << m; };
    w.findChild<QComboBox*>("cbFormatNom")->setEditText("[IYEAR][IMONTH][IDAY]-[NUMBER][EXT]");
    w.findChild<QSpinBox*>("seNbChiffres")->setValue(2);

    w.findChild<QAction*>("acApercu")->trigger();
    auto* table = w.findChild<app::TfApercu*>();
    QVERIFY(table && table->isVisible());
    const QAbstractItemModel& model = *table->model();
    const QString photos = QDir::toNativeSeparators(path("photos/"));
    const QString other = QDir::toNativeSeparators(path("other/"));
    // Each running number is the run's: the first free one, after the file in
    // the way and after the earlier file of the run. Each folder once.
    QCOMPARE(shown(model),
             QStringList({photos + " | a.jpg | 20040714-02.jpg | À renommer",
                          " | b.jpg | 20040714-03.jpg | À renommer", " | scan.jpg |  | Incomplet",
                          other + " | c.jpg | 20040612-01.jpg | À renommer"}));

    // Without a running number, b's name is the one a takes in the same run.
    w.findChild<QComboBox*>("cbFormatNom")->setEditText("[IYEAR][IMONTH][IDAY][EXT]");
    const QStringList planned = {photos + " | a.jpg | 20040714.jpg | À renommer",
                                 " | b.jpg | 20040714.jpg | Nom déjà pris", " | scan.jpg |  | Incomplet",
                                 other + " | c.jpg | 20040612.jpg | À renommer"};
    QTRY_COMPARE(shown(model), planned);

    // The table's button runs the batch, which does what the table said.
    auto* button = table->findChild<QToolButton*>("sbRenommer");
    QVERIFY(button && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(contents(path("photos/20040714.jpg")), QByteArray::fromStdString(first));
    QVERIFY(!QFile::exists(a));
    QVERIFY(QFile::exists(b));
    QVERIFY(QFile::exists(scan));
    QVERIFY(QFile::exists(path("other/20040612.jpg")));
    QVERIFY(!QFile::exists(c));
    QCOMPARE(w.files(), QStringList({b, scan}));
    // It then shows the list the run left: the two files not renamed.
    QTRY_COMPARE(shown(model), QStringList({photos + " | b.jpg | 20040714.jpg | Nom déjà pris",
                                            " | scan.jpg |  | Incomplet"}));
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(" | ")));
  }

  // The preview directory must be walked before its picture is known to be
  // a JPEG one: the dialog shows what the window shows, for the file under
  // the cursor, and nothing for a file without a preview.
  void openDialogShowsThePreviewUnderTheCursor() {
    qmtest::TiffBuilder builder;
    const int ifd0 = builder.addIfd(), ifd1 = builder.addIfd();
    builder.ascii(ifd0, 0x010F, "Quillcam").ascii(ifd0, 0x0132, "2004:06:12 14:30:05").next(ifd0, ifd1);
    const std::string jpeg = qmtest::encodeJpeg(16, 8, 250, 10, 10);
    const int blob = builder.blob(jpeg);
    builder.shortValue(ifd1, 0x0103, 6).blobPointer(ifd1, 0x0201, blob);
    builder.longValue(ifd1, 0x0202, uint32_t(jpeg.size()));
    const QString withPreview =
        write("pick/with.jpg", qmtest::jpegFile({qmtest::exifSegment(builder.build())}));
    const QString without = write("pick/without.jpg", qmtest::photoWithoutExif());

    app::PictureOpenDialog dialog(nullptr, path("pick"));
    dialog.show();
    auto* files = dialog.findChild<QFileSystemModel*>();
    auto* view = dialog.findChild<QTreeView*>("treeView");
    QVERIFY(files && view);
    // The cursor moves as under the arrow keys.
    auto cursorTo = [&](const QString& file) { view->setCurrentIndex(files->index(file)); };
    QTRY_VERIFY(files->index(withPreview).isValid());
    cursorTo(withPreview);
    QCOMPARE(dialog.preview()->picture().size(), QSize(16, 8));
    cursorTo(without);
    QVERIFY(dialog.preview()->picture().isNull());
    cursorTo(withPreview);
    dialog.showPreviewOf(path("pick"));  // a folder
    QVERIFY(dialog.preview()->picture().isNull());
  }
};

QTEST_MAIN(PreviewTableTest)
#include "test_preview_table.moc"
