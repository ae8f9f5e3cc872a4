// quillmark-window-bench [-f FORMAT] [-t TEXT] [-d DIGITS] [--text-file] [--log-html FILE] PATH...
// Lists the files and folders in a new main window, shows it, runs "Renommer
// les fichiers listés" once and exits when the run is over: the time of a
// whole batch in the window, for bench/window_bench.sh. Meant for the
// offscreen platform (QT_QPA_PLATFORM=offscreen); the settings live in a
// temporary file, so the user's own settings are neither read nor changed.
// Prints the last line of the log and the times of the listing, the run and
// the closing (--log-html: the log pane's document goes to FILE); exits 0
// when everything was renamed, 1 otherwise, 2 on a usage error.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextStream>
#include <QTimer>
#include <optional>

#include "app/main_window.hpp"
#include "settings/appl_registry.hpp"

namespace {
constexpr const char* kUsage =
    "usage: quillmark-window-bench [-f FORMAT] [-t TEXT] [-d DIGITS] [--text-file] [--log-html FILE] "
    "PATH...\n";
}

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  QTextStream out(stdout);
  QTextStream err(stderr);

  QTemporaryDir scratch;
  settings::TApplRegistry store(scratch.filePath(QStringLiteral("settings.conf")));
  store.SetCompanyName(QStringLiteral("Vellacor (ex Dunmere)"));
  store.SetApplicationName(QStringLiteral("Quillmark"));
  QStringList paths;
  QString logHtml;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments.at(i);
    const bool hasValue = i + 1 < arguments.size();
    if (a == QLatin1String("-f") && hasValue) {
      store.WriteStringValue(QString(), QStringLiteral("Format"), arguments.at(++i));
    } else if (a == QLatin1String("-t") && hasValue) {
      store.WriteStringValue(QString(), QStringLiteral("Texte"), arguments.at(++i));
    } else if (a == QLatin1String("-d") && hasValue) {
      store.WriteIntegerValue(QString(), QStringLiteral("Chiffres"), arguments.at(++i).toInt());
    } else if (a == QLatin1String("--log-html") && hasValue) {
      logHtml = arguments.at(++i);
    } else if (a == QLatin1String("--text-file")) {
      store.WriteBoolValue(QString(), QStringLiteral("WithTextFile"), true);
    } else if (a.startsWith(u'-') && a.size() > 1) {
      err << kUsage;
      return 2;
    } else {
      paths << a;
    }
  }
  if (paths.isEmpty()) {
    err << kUsage;
    return 2;
  }

  QElapsedTimer sinceStart;
  sinceStart.start();
  std::optional<app::TfPrincipale> held(std::in_place, store, paths);
  app::TfPrincipale& window = *held;
  const qint64 listedMs = sinceStart.elapsed();
  window.errorReporter = [&err](const QString& message) { err << message << "\n"; };
  window.show();
  auto* rename = window.findChild<QAction*>(QStringLiteral("acRenommer"));
  auto* log = window.findChild<QTextEdit*>(QStringLiteral("reTexte"));
  if (!rename || !log) return 2;

  int status = 1;
  QTimer::singleShot(0, &window, [&] {
    QElapsedTimer clock;
    clock.start();
    rename->trigger();  // returns when the run is over
    const qint64 ms = clock.elapsed();
    // The last non-empty line of the log: the closing title.
    QString last;
    for (QTextBlock b = log->document()->lastBlock(); b.isValid() && last.isEmpty(); b = b.previous())
      last = b.text();
    out << last << "\n"
        << "listed " << listedMs << " ms, run " << ms << " ms, " << log->document()->blockCount()
        << " log lines";
    status = last == QStringLiteral("Tout a été renommé") ? 0 : 1;
    if (!logHtml.isEmpty()) {
      QFile file(logHtml);
      if (!file.open(QIODevice::WriteOnly) || file.write(log->document()->toHtml().toUtf8()) < 0) {
        err << "cannot write " << logHtml << "\n";
        status = 2;
      }
    }
    application.quit();
  });
  application.exec();
  QElapsedTimer closing;
  closing.start();
  held.reset();  // writes the settings back
  out << ", closed " << closing.elapsed() << " ms\n";
  return status;
}
