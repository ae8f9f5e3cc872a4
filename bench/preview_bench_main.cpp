// quillmark-preview-bench FOLDER...: times the table "Aperçu des nouveaux
// noms" over the photos of the folders. Lists them in a new main window
// (settings in a temporary file), then prints in milliseconds, best of
// three: opening the table until it is filled and painted; a change of the
// format until the table has followed it (the refresh delay taken off); a
// sort by new name. Meant for the offscreen platform; bench/preview_bench.sh
// makes the photos and runs it.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

#include "app/main_window.hpp"
#include "app/preview_table.hpp"
#include "settings/appl_registry.hpp"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QStringList arguments = QApplication::arguments();
  QTextStream out(stdout);
  QTextStream err(stderr);
  if (arguments.size() < 2) {
    err << "usage: quillmark-preview-bench FOLDER...\n";
    return 2;
  }
  QTemporaryDir scratch;
  settings::TApplRegistry store(scratch.filePath(QStringLiteral("settings.conf")));
  store.SetCompanyName(QStringLiteral("Vellacor (ex Dunmere)"));
  app::TfPrincipale window(store, arguments.mid(1));
  window.show();
  QApplication::processEvents();

  auto* apercu = window.findChild<QAction*>(QStringLiteral("acApercu"));
  auto* format = window.findChild<QComboBox*>(QStringLiteral("cbFormatNom"));
  if (!apercu || !format) {
    err << "the window has no preview table\n";
    return 1;
  }
  const int files = static_cast<int>(window.files().size());
  const QStringList formats = {QStringLiteral("[IYEAR][IMONTH][IDAY]-[NUMBER][EXT]"),
                               QStringLiteral("[MAKER]-[IYEAR]-[NUMBER][TEXT][EXT]")};
  qint64 openBest = -1, changeBest = -1, sortBest = -1, planBest = -1;
  size_t changes = 0;
  for (int round = 0; round < 3; ++round) {
    QElapsedTimer clock;
    clock.start();
    apercu->trigger();
    auto* table = window.findChild<app::TfApercu*>();
    table->table()->grab();  // painted once
    const qint64 open = clock.elapsed();
    if (table->model()->rowCount() != files) {
      err << "the table shows " << table->model()->rowCount() << " rows for " << files << " files\n";
      return 1;
    }

    // A change of the format: the table follows after its delay.
    bool followed = false;
    QMetaObject::Connection watch =
        QObject::connect(table->model(), &QAbstractItemModel::modelReset, [&] { followed = true; });
    format->setEditText(formats.at(static_cast<qsizetype>(changes++ % 2)));
    clock.restart();
    while (!followed) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    table->table()->grab();
    const qint64 change = clock.elapsed() - app::TfApercu::kRefreshDelayMs;
    QObject::disconnect(watch);

    clock.restart();
    table->table()->sortByColumn(app::PreviewModel::colNewName, Qt::AscendingOrder);
    table->table()->grab();
    const qint64 sort = clock.elapsed();
    table->table()->sortByColumn(app::PreviewModel::colOrder, Qt::AscendingOrder);
    table->hide();

    // The engine's share: the plan alone, without the table.
    std::vector<std::string> paths;
    for (const QString& f : window.files()) paths.push_back(QFile::encodeName(f).toStdString());
    clock.restart();
    app::PlanRun(window.namingState(), paths, false);
    const qint64 plan = clock.elapsed();

    auto best = [](qint64& b, qint64 v) { b = b < 0 ? v : std::min(b, v); };
    best(planBest, plan);
    best(openBest, open);
    best(changeBest, change);
    best(sortBest, sort);
  }
  out << "files " << files << "\n"
      << "open_ms " << openBest << "\n"
      << "format_change_ms " << changeBest << "\n"
      << "sort_ms " << sortBest << "\n"
      << "plan_alone_ms " << planBest << "\n";
  return 0;
}
