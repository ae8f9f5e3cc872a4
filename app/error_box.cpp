#include "app/error_box.hpp"

#include <QMessageBox>

namespace app {

QString errorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

void showErrorBox(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), errorBoxText(message),
                  QMessageBox::Ok, parent);
  box.exec();
}

void showRegistryProblem(QWidget* parent, const QString& failure) {
  QMessageBox box(QMessageBox::Question, failure, QStringLiteral("Problème de base de registre"),
                  QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace app
