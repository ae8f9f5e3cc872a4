#pragma once
// Files for the Qt tests: written whole, with their folders, or the test stops.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtGlobal>
#include <string>

namespace qmtest {

inline QString writeFileAt(const QString& full, const std::string& bytes) {
  QDir().mkpath(QFileInfo(full).absolutePath());
  QFile f(full);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
    qFatal("cannot write %s", qPrintable(full));
  return full;
}

}  // namespace qmtest
