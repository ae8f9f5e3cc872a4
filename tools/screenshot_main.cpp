// quillmark-screenshot OUTPUT.png FILE...: lists the files in a new main
// window, selects the first one, opens the table "Aperçu des nouveaux noms"
// and saves a picture of the window with the table over its lower right
// corner, as a window manager would show them. Meant for the offscreen
// platform (QT_QPA_PLATFORM=offscreen); the settings live in a temporary
// file, so the user's own settings are neither read nor changed.
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include "app/main_window.hpp"
#include "app/preview_table.hpp"
#include "settings/appl_registry.hpp"

namespace {

// The window's picture with the table's drawn over it, framed and titled.
QImage composed(QWidget& window, QWidget& table) {
  QImage picture = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage inner = table.grab().toImage();
  const int title = 22;
  const QSize outer(inner.width() + 2, inner.height() + title + 1);
  const QPoint at(picture.width() - outer.width() - 16, picture.height() - outer.height() - 30);
  QPainter p(&picture);
  p.fillRect(QRect(at + QPoint(4, 4), outer), QColor(0, 0, 0, 70));  // shadow
  p.fillRect(QRect(at, outer), QColor(53, 89, 122));
  p.setPen(Qt::white);
  QFont font = table.font();
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRect(at + QPoint(8, 0), QSize(outer.width() - 16, title)), Qt::AlignVCenter | Qt::AlignLeft,
             table.windowTitle());
  p.drawImage(at + QPoint(1, title), inner);
  return picture;
}

}  // namespace

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
  app::TfApercu* table = nullptr;
  if (auto* apercu = window.findChild<QAction*>(QStringLiteral("acApercu"))) {
    apercu->trigger();
    table = window.findChild<app::TfApercu*>();
    if (table) table->resize(640, 250);
  }

  int status = 0;
  QTimer::singleShot(200, &window, [&] {
    const QImage picture = table ? composed(window, *table) : window.grab().toImage();
    if (!picture.save(output)) {
      err << "cannot write " << output << "\n";
      status = 1;
    }
    application.quit();
  });
  application.exec();
  return status;
}
