// quillmark-screenshot OUTPUT.png FILE...: lists the files in a new main
// window, selects the first one and saves a picture of the window. Meant for
// the offscreen platform (QT_QPA_PLATFORM=offscreen); the settings live in a
// temporary file, so the user's own settings are neither read nor changed.
#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include "app/main_window.hpp"
#include "settings/appl_registry.hpp"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QStringList arguments = QApplication::arguments();
  QTextStream err(stderr);
  if (arguments.size() < 3) {
    err << "usage: quillmark-screenshot OUTPUT.png FILE...\n";
    return 2;
  }
  const QString output = arguments.at(1);
  const QStringList files = arguments.mid(2);

  QTemporaryDir scratch;
  settings::TApplRegistry store(scratch.filePath(QStringLiteral("settings.conf")));
  store.SetCompanyName(QStringLiteral("Vellacor (ex Dunmere)"));
  app::TfPrincipale window(store, files);
  window.show();
  if (auto* list = window.findChild<QListWidget*>(QStringLiteral("lbFichiers")); list && list->count() > 0)
    list->setCurrentRow(0);

  int status = 0;
  QTimer::singleShot(200, &window, [&] {
    if (!window.grab().save(output)) {
      err << "cannot write " << output << "\n";
      status = 1;
    }
    application.quit();
  });
  application.exec();
  return status;
}
