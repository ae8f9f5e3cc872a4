// Quillmark: renames photographs from the metadata stored inside them.
#include <QApplication>
#include <QStringList>

#include "app/about_box.hpp"
#include "app/error_box.hpp"
#include "app/main_window.hpp"
#include "app/open_dialog.hpp"
#include "settings/appl_registry.hpp"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // The window speaks French; so do the toolkit's own dialogs and menus.
  app::installQtFrench(application);

  // The settings store comes first: the main window reads it when created.
  settings::TApplRegistry Settings;
  Settings.SetCompanyName(QStringLiteral("Vellacor (ex Dunmere)"));
  QApplication::setApplicationName(QString::fromLatin1(app::kApplicationTitle));

  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();  // the program itself
  app::TfPrincipale fPrincipale(Settings, arguments);
  Settings.setWriteFailureHandler(
      [&fPrincipale](const QString& failure) { app::showRegistryProblem(&fPrincipale, failure); });
  app::TfAPropos fAPropos(&fPrincipale);
  fPrincipale.setAboutBox(&fAPropos);

  fPrincipale.show();
  // The window writes the settings back when it is closed; the store is freed
  // after the windows.
  const int status = application.exec();
  Settings.setWriteFailureHandler(nullptr);
  return status;
}
