#pragma once
// Message boxes of the application: an error that escaped a handler, and a
// settings value that could not be written.
#include <QString>

class QWidget;

namespace app {

inline constexpr const char* kApplicationTitle = "Quillmark";

// The error's message with a full stop appended when its last character's
// code is above that of the full stop (so "!", ")" or " " get none).
QString errorBoxText(const QString& message);

// Error icon, OK button, caption the application title.
void showErrorBox(QWidget* parent, const QString& message);

// "Problème de base de registre", captioned with the failure's own message.
void showRegistryProblem(QWidget* parent, const QString& failure);

}  // namespace app
