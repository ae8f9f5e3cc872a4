// The settings store over a temporary key file: key paths, typed reads with
// silent defaults, rejected writes, and the values the main window keeps.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "settings/appl_registry.hpp"
#include "settings/persisted_settings.hpp"
#include "testkit/fifo_watchdog.hpp"

using settings::EApplRegistry;
using settings::TApplRegistry;

namespace {
const QString kFormat = QStringLiteral("[IYEAR][IMONTH][IDAY]-[IHOUR][IMIN][ISEC]-[NUMBER][TEXT][EXT]");
const QString kAppKey;

void name(TApplRegistry& store) {
  store.SetCompanyName(QStringLiteral("Vellacor (ex Dunmere)"));
  store.SetApplicationName(QStringLiteral("Quillmark"));
}
}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString file() const { return dir_.filePath(QStringLiteral("store.conf")); }
  QString fileText() const {
    QFile f(file());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }

 private slots:
  void init() { QFile::remove(file()); }

  void buildKeyPath_data() {
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("subKey");
    QTest::addColumn<QString>("expected");  // or the message raised
    const QString noCompany = "TApplRegistry: Nom de société non defini/Society name not defined";
    const QString noApp = "TApplRegistry: Nom d'application non defini/Application name not defined";
    QTest::newRow("application key") << "Vellacor (ex Dunmere)"
                                     << "Quillmark"
                                     << ""
                                     << "\\Software\\Vellacor (ex Dunmere)\\Quillmark";
    QTest::newRow("sub-key") << "C"
                             << "A"
                             << "Fenetres\\Principale"
                             << "\\Software\\C\\A\\Fenetres\\Principale";
    QTest::newRow("absolute sub-key needs no names") << ""
                                                     << ""
                                                     << "\\Other\\Key"
                                                     << "\\Other\\Key";
    QTest::newRow("company tested first") << ""
                                          << ""
                                          << "" << noCompany;
    QTest::newRow("company missing") << ""
                                     << "A"
                                     << "x" << noCompany;
    QTest::newRow("application missing") << "C"
                                         << ""
                                         << "" << noApp;
  }
  void buildKeyPath() {
    QFETCH(QString, company);
    QFETCH(QString, application);
    QFETCH(QString, subKey);
    QFETCH(QString, expected);
    TApplRegistry store(file());
    store.SetCompanyName(company);
    store.SetApplicationName(application);
    QString got;
    try {
      got = store.BuildKeyPath(subKey);
    } catch (const EApplRegistry& e) {
      got = QString::fromStdString(e.what());
    }
    QCOMPARE(got, expected);
  }

  void valueOperationsLetTheNameFaultThrough() {
    TApplRegistry store(file());
    store.SetCompanyName("C");
    QVERIFY_THROWS_EXCEPTION(EApplRegistry, store.ReadStringValue(kAppKey, "Format", "d"));
    QVERIFY_THROWS_EXCEPTION(EApplRegistry, store.WriteIntegerValue(kAppKey, "Chiffres", 3));
  }

  void typedReadsFallBackSilently() {
    TApplRegistry store(file());
    name(store);
    // No file at all yet: every read gives its default.
    QCOMPARE(store.ReadStringValue(kAppKey, "Format", "d"), QString("d"));
    QCOMPARE(store.ReadIntegerValue(kAppKey, "Chiffres", 2), 2);
    QCOMPARE(store.ReadBoolValue(kAppKey, "WithTextFile", true), true);

    store.WriteStringValue(kAppKey, "S", "5");
    store.WriteIntegerValue(kAppKey, "I", -7);
    store.WriteIntegerValue(kAppKey, "Big", 3);
    store.WriteBoolValue(kAppKey, "B", true);
    store.WriteBoolValue(kAppKey, "F", false);

    struct {
      const char* name;
      QString asString;  // "<default>" when the read falls back
      int asInteger;     // 99 when it falls back
      int asBool;        // -1 when it falls back
    } const cases[] = {
        {"S", "5", 99, -1},         // a string is no integer, even "5"
        {"I", "<default>", -7, 1},  // any non-zero integer is true
        {"B", "<default>", 1, 1},   // booleans are the integers 1 and 0
        {"F", "<default>", 0, 0},  {"Missing", "<default>", 99, -1},
        {"s", "5", 99, -1},  // names ignore letter case
    };
    for (const auto& c : cases) {
      const QString n = QString::fromLatin1(c.name);
      const bool t = store.ReadBoolValue(kAppKey, n, true), f = store.ReadBoolValue(kAppKey, n, false);
      const QString got = QString("%1: %2 %3 %4")
                              .arg(n, store.ReadStringValue(kAppKey, n, "<default>"))
                              .arg(store.ReadIntegerValue(kAppKey, n, 99))
                              .arg(t == f ? int(t) : -1);
      QCOMPARE(got, QString("%1: %2 %3 %4").arg(n, c.asString).arg(c.asInteger).arg(c.asBool));
    }
    QVERIFY(!store.HasOpenKey());
  }

  void valuesKeepTheirKindsInTheFile() {
    {
      TApplRegistry store(file());
      name(store);
      store.WriteStringValue(kAppKey, "Texte", "Vacances \"été\" \\ C:\\P\r\nfin");
      store.WriteIntegerValue(kAppKey, "Chiffres", 3);
      store.WriteStringValue("Sous\\Cle", "X", "y");
    }
    const QString text = fileText();
    QVERIFY2(text.contains("[Software\\Vellacor (ex Dunmere)\\Quillmark]\n"), qPrintable(text));
    QVERIFY2(text.contains("\"Chiffres\"=dword:00000003\n"), qPrintable(text));
    QVERIFY2(text.contains("[Software\\Vellacor (ex Dunmere)\\Quillmark\\Sous\\Cle]\n\"X\"=\"y\"\n"),
             qPrintable(text));

    TApplRegistry again(file());
    name(again);
    QCOMPARE(again.ReadStringValue(kAppKey, "Texte", ""), QString("Vacances \"été\" \\ C:\\P\r\nfin"));
    QCOMPARE(again.ReadIntegerValue(kAppKey, "Chiffres", 0), 3);
    QCOMPARE(again.ReadStringValue("Sous\\Cle", "X", ""), QString("y"));
    QVERIFY(again.OpenKeyForRead("Sous\\Cle"));
    again.CloseKey();
    QVERIFY(!again.OpenKeyForRead("Absente"));
    QVERIFY(!again.OpenKeyForWrite("Absente", false));
  }

  void damagedLinesAreSkipped() {
    QFile f(file());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(
        "[Software\\C\\A]\n"
        "\"Good\"=\"yes\"\n"
        "\"Open\"=\"no end\n"
        "\"Hex\"=dword:zz\n"
        "garbage line\n"
        "\"Number\"=dword:0000000f\n");
    f.close();
    TApplRegistry store(file());
    store.SetCompanyName("C");
    store.SetApplicationName("A");
    QCOMPARE(store.ReadStringValue(kAppKey, "Good", ""), QString("yes"));
    QCOMPARE(store.ReadStringValue(kAppKey, "Open", "d"), QString("d"));
    QCOMPARE(store.ReadIntegerValue(kAppKey, "Hex", 2), 2);
    QCOMPARE(store.ReadIntegerValue(kAppKey, "Number", 2), 15);
  }

  void rejectedWriteIsReportedEachTime() {
    // The file itself opens for writing, but a name at the file system's
    // length limit leaves no room for the temporary file of the atomic save,
    // so the store rejects the write (as an access error, even for root).
    const QString longName = dir_.filePath(QString(250, u'k'));
    QFile existing(longName);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    TApplRegistry store(longName);
    name(store);
    QStringList messages;
    store.setWriteFailureHandler([&](const QString& m) { messages << m; });
    store.WriteStringValue(kAppKey, "Format", "x");
    store.WriteIntegerValue(kAppKey, "Chiffres", 4);
    QCOMPARE(messages.size(), 2);
    QVERIFY2(messages[0].contains("\"Format\"") && messages[0].contains(longName), qPrintable(messages[0]));
    QCOMPARE(store.ReadIntegerValue(kAppKey, "Chiffres", 2), 2);
  }

  void unopenableKeyIsSkippedSilently() {
    // A folder where the file should be cannot be opened as a key.
    QVERIFY(QDir(dir_.path()).mkpath("folder.conf"));
    TApplRegistry store(dir_.filePath("folder.conf"));
    name(store);
    int failures = 0;
    store.setWriteFailureHandler([&](const QString&) { ++failures; });
    store.WriteStringValue(kAppKey, "Format", "x");
    QCOMPARE(failures, 0);
    QCOMPARE(store.ReadStringValue(kAppKey, "Format", "d"), QString("d"));
  }

  void settingsFileThatIsNoFileIsNeverOpened_data() {
    QTest::addColumn<bool>("perUser");
    QTest::newRow("given file") << false;
    QTest::newRow("per-user file") << true;
  }
  void settingsFileThatIsNoFileIsNeverOpened() {
    // A FIFO where the file should be: opening it would wait for a writer.
    // The per-user file is looked for below XDG_CONFIG_HOME.
    QFETCH(bool, perUser);
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    const bool hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
      if (hadConfig)
        qputenv("XDG_CONFIG_HOME", savedConfig);
      else
        qunsetenv("XDG_CONFIG_HOME");
    });
    const QString config = dir_.filePath("config");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    const QString fifo =
        perUser ? config + "/Vellacor (ex Dunmere)/Quillmark.conf" : dir_.filePath("fifo.conf");
    QVERIFY(QDir().mkpath(QFileInfo(fifo).path()));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const auto removeFifo = qScopeGuard([&] { QFile::remove(fifo); });

    auto store = perUser ? std::make_unique<TApplRegistry>() : std::make_unique<TApplRegistry>(fifo);
    name(*store);
    QStringList messages;
    store->setWriteFailureHandler([&](const QString& m) { messages << m; });
    QString read, location;
    const bool unaided = qmtest::finishesWithoutWaiting(QFile::encodeName(fifo).toStdString(), [&] {
      read = store->ReadStringValue(kAppKey, "Format", "d");
      store->WriteStringValue(kAppKey, "Format", "x");
      location = store->backingLocation();
    });
    QVERIFY2(unaided, "the store waited on the FIFO");
    QCOMPARE(read, QString("d"));
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains("\"Format\"") && messages[0].contains(fifo), qPrintable(messages[0]));
    QCOMPARE(location, fifo);
    QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());  // still the FIFO
  }

  void firstRunGivesDefaultsAndTheCloseCreatesEveryValue() {
    TApplRegistry store(file());
    name(store);
    const settings::PersistedValues v = settings::ReadPersisted(store, kFormat);
    QCOMPARE(v.format, kFormat);
    QCOMPARE(v.text, QString());
    QCOMPARE(v.digits, 2);
    QCOMPARE(v.initialDir, QString());
    QCOMPARE(v.withTextFile, false);
    QVERIFY(v.formatHistory.isEmpty() && v.textHistory.isEmpty());

    settings::WritePersisted(store, v);
    const QString text = fileText();
    for (const char* n :
         {"\"Format\"=", "\"Texte\"=\"\"", "\"Chiffres\"=dword:00000002", "\"WithTextFile\"=dword:00000000",
          "\"HistoriqueFormats10\"=\"\"", "\"HistoriqueTextes1\"=\"\""})
      QVERIFY2(text.contains(n), n);
    QVERIFY(!text.contains("InitialDir"));
  }

  void storedValuesAreClampedAndHistoriesCloseTheirGaps() {
    TApplRegistry store(file());
    name(store);
    store.WriteStringValue(kAppKey, "Chiffres", "7");  // wrong kind
    store.WriteStringValue(kAppKey, "HistoriqueFormats1", "a");
    store.WriteStringValue(kAppKey, "HistoriqueFormats2", "b");
    store.WriteStringValue(kAppKey, "HistoriqueFormats4", "d");
    store.WriteStringValue(kAppKey, "HistoriqueTextes10", "last");
    store.WriteIntegerValue(kAppKey, "HistoriqueTextes3", 5);  // wrong kind: skipped
    settings::PersistedValues v = settings::ReadPersisted(store, kFormat);
    QCOMPARE(v.digits, 2);
    QCOMPARE(v.formatHistory, QStringList({"a", "b", "d"}));
    QCOMPARE(v.textHistory, QStringList({"last"}));

    for (int stored : {15, 0, -3, 9, 1}) {
      store.WriteIntegerValue(kAppKey, "Chiffres", stored);
      QCOMPARE(settings::ReadPersisted(store, kFormat).digits, std::clamp(stored, 1, 9));
    }

    // Written back: 1..3 from the list, 4..10 blanked; a long history keeps ten.
    for (int i = 0; i < 12; ++i) v.textHistory << QString("t%1").arg(i);
    settings::WritePersisted(store, v);
    QCOMPARE(store.ReadStringValue(kAppKey, "HistoriqueFormats3", "?"), QString("d"));
    QCOMPARE(store.ReadStringValue(kAppKey, "HistoriqueFormats4", "?"), QString(""));
    QCOMPARE(store.ReadStringValue(kAppKey, "HistoriqueFormats10", "?"), QString(""));
    QCOMPARE(store.ReadStringValue(kAppKey, "HistoriqueTextes10", "?"), QString("t8"));
    QVERIFY(!fileText().contains("HistoriqueTextes11"));
    QCOMPARE(settings::ReadPersisted(store, kFormat).textHistory.size(), 10);
  }

  void initialDirIsItsOwnWrite() {
    TApplRegistry store(file());
    name(store);
    settings::WriteInitialDir(store, "/photos/2004/");
    QCOMPARE(settings::ReadPersisted(store, kFormat).initialDir, QString("/photos/2004/"));
  }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "test_settings.moc"
