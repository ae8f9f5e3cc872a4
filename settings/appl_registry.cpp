#include "settings/appl_registry.hpp"

#include <QByteArray>
#include <QFileInfo>
#include <QIODevice>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace settings {

namespace {

// ---------------------------------------------------------------------------
// The key file: a text rendering of a registry hive, so that the store keeps
// value kinds where the platform has no registry. One section per key path,
// one line per value:
//
//   [Software\Vellacor (ex Dunmere)\Quillmark]
//   "Format"="[IYEAR][IMONTH][IDAY]-[IHOUR][IMIN][ISEC]-[NUMBER][TEXT][EXT]"
//   "Chiffres"=dword:00000002
//
// Strings are quoted with \\, \", \r and \n escaped; 32-bit integers are
// "dword:" and eight hexadecimal digits. Lines that do not parse are skipped,
// so a damaged file gives defaults rather than a failed read.
// ---------------------------------------------------------------------------

QString quoted(const QString& text) {
  QString out;
  out.reserve(text.size() + 2);
  out += u'"';
  for (QChar c : text) {
    switch (c.unicode()) {
      case '\\':
        out += u"\\\\";
        break;
      case '"':
        out += u"\\\"";
        break;
      case '\r':
        out += u"\\r";
        break;
      case '\n':
        out += u"\\n";
        break;
      default:
        out += c;
    }
  }
  out += u'"';
  return out;
}

// Reads a quoted string starting at line[pos] == '"'; pos ends after the
// closing quote. False when the quote is not closed.
bool unquote(const QString& line, qsizetype& pos, QString& out) {
  out.clear();
  ++pos;
  while (pos < line.size()) {
    QChar c = line[pos++];
    if (c == u'"') return true;
    if (c == u'\\' && pos < line.size()) {
      QChar e = line[pos++];
      if (e == u'r')
        out += u'\r';
      else if (e == u'n')
        out += u'\n';
      else
        out += e;
    } else {
      out += c;
    }
  }
  return false;
}

bool isInteger(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
      return true;
    default:
      return false;
  }
}

bool readKeyFile(QIODevice& device, QSettings::SettingsMap& map) {
  const QString all = QString::fromUtf8(device.readAll());
  QString section;
  for (QString line : all.split(u'\n')) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith(u';')) continue;
    if (line.startsWith(u'[') && line.endsWith(u']')) {
      section = line.mid(1, line.size() - 2);
      section.replace(u'\\', u'/');
      continue;
    }
    if (!line.startsWith(u'"')) continue;
    qsizetype pos = 0;
    QString name;
    if (!unquote(line, pos, name) || name.isEmpty() || pos >= line.size() || line[pos] != u'=') continue;
    ++pos;
    QVariant value;
    if (pos < line.size() && line[pos] == u'"') {
      QString text;
      if (!unquote(line, pos, text)) continue;
      value = text;
    } else if (line.mid(pos, 6).compare(u"dword:", Qt::CaseInsensitive) == 0) {
      bool ok = false;
      const QString digits = line.mid(pos + 6).trimmed();
      const uint number = digits.toUInt(&ok, 16);
      if (!ok || digits.size() > 8) continue;
      value = static_cast<int>(number);  // the 32 bits as stored
    } else {
      continue;
    }
    map.insert(section.isEmpty() ? name : section + u'/' + name, value);
  }
  return true;
}

bool writeKeyFile(QIODevice& device, const QSettings::SettingsMap& map) {
  QMap<QString, QStringList> sections;
  for (auto it = map.cbegin(); it != map.cend(); ++it) {
    const qsizetype cut = it.key().lastIndexOf(u'/');
    QString section = cut < 0 ? QString() : it.key().left(cut);
    const QString name = it.key().mid(cut + 1);
    section.replace(u'/', u'\\');
    QString line = quoted(name) + u'=';
    const QVariant& v = it.value();
    if (isInteger(v)) {
      line += QStringLiteral("dword:%1").arg(static_cast<uint>(v.toLongLong()), 8, 16, QChar(u'0'));
    } else {
      line += quoted(v.toString());
    }
    sections[section].append(line);
  }
  QByteArray out = "; Per-user settings: key paths, value names and kinds (string, dword)\n";
  for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
    out += "\n[" + it.key().toUtf8() + "]\n";
    for (const QString& line : it.value()) out += line.toUtf8() + '\n';
  }
  return device.write(out) == out.size();
}

QSettings::Format keyFileFormat() {
  static const QSettings::Format format =
      QSettings::registerFormat(QStringLiteral("conf"), readKeyFile, writeKeyFile);
  return format;
}

// Value names ignore letter case, as in the registry: the stored spelling of
// `name`, or `name` itself when no such value exists.
QString storedName(QSettings& store, const QString& name) {
  if (store.contains(name)) return name;
  for (const QString& key : store.childKeys())
    if (key.compare(name, Qt::CaseInsensitive) == 0) return key;
  return name;
}

#ifdef Q_OS_WIN
const QString kRootKeyName = QStringLiteral("HKEY_CURRENT_USER");
#endif

// What stands where the settings file should be. Anything but a regular file
// (a FIFO, a device, a socket, a folder) is never opened: opening a FIFO
// would keep the program waiting for a writer, for ever.
enum class Backing { Usable, Folder, NoFile };

Backing examine(const QString& path) {
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists() || info.isFile()) return Backing::Usable;
  return info.isDir() ? Backing::Folder : Backing::NoFile;
}

}  // namespace

struct TApplRegistry::OpenKey {
  std::unique_ptr<QSettings> store;
  bool forWrite = false;
};

TApplRegistry::TApplRegistry() = default;

TApplRegistry::TApplRegistry(const QString& backingFile) : backingFile_(backingFile) {}

TApplRegistry::~TApplRegistry() { CloseKey(); }

void TApplRegistry::SetCompanyName(const QString& name) {
  if (name == companyName_) return;
  CloseKey();
  companyName_ = name;
}

void TApplRegistry::SetApplicationName(const QString& name) {
  if (name == applicationName_) return;
  CloseKey();
  applicationName_ = name;
}

QString TApplRegistry::BuildKeyPath(const QString& subKey) const {
  if (subKey.startsWith(u'\\')) return subKey;
  // The company is tested first: it comes first in the path.
  if (companyName_.isEmpty())
    throw EApplRegistry("TApplRegistry: Nom de société non defini/Society name not defined");
  if (applicationName_.isEmpty())
    throw EApplRegistry("TApplRegistry: Nom d'application non defini/Application name not defined");
  QString path = QStringLiteral("\\Software\\") + companyName_ + u'\\' + applicationName_;
  if (!subKey.isEmpty()) path += u'\\' + subKey;
  return path;
}

QString TApplRegistry::backingPath() const {
  if (!backingFile_.isEmpty()) return backingFile_;
#ifdef Q_OS_WIN
  return QString();
#else
  // The per-user file alone: "<config folder>/<company>/<application>.conf".
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + companyName_ +
         u'/' + applicationName_ + QStringLiteral(".conf");
#endif
}

std::unique_ptr<QSettings> TApplRegistry::openBacking() const {
#ifdef Q_OS_WIN
  if (backingFile_.isEmpty()) return std::make_unique<QSettings>(kRootKeyName, QSettings::NativeFormat);
#endif
  return std::make_unique<QSettings>(backingPath(), keyFileFormat());
}

QString TApplRegistry::backingLocation() const {
#ifdef Q_OS_WIN
  if (backingFile_.isEmpty()) return kRootKeyName + BuildKeyPath(QString());
#endif
  return backingPath();
}

bool TApplRegistry::openKey(const QString& subKey, bool forWrite, bool canCreate) {
  QString group = BuildKeyPath(subKey).mid(1);  // below the root key
  group.replace(u'\\', u'/');
  CloseKey();
  if (examine(backingPath()) != Backing::Usable) return false;
  auto store = openBacking();
  store->beginGroup(group);
  const bool exists = !store->childKeys().isEmpty() || !store->childGroups().isEmpty();
  if (forWrite) {
    if (!store->isWritable() || (!canCreate && !exists)) return false;
  } else if (store->status() != QSettings::NoError || !exists) {
    return false;
  }
  current_ = std::make_unique<OpenKey>();
  current_->store = std::move(store);
  current_->forWrite = forWrite;
  return true;
}

bool TApplRegistry::OpenKeyForWrite(const QString& subKey, bool canCreate) {
  return openKey(subKey, true, canCreate);
}

bool TApplRegistry::OpenKeyForRead(const QString& subKey) { return openKey(subKey, false, false); }

void TApplRegistry::CloseKey() {
  if (!current_) return;
  if (current_->forWrite) current_->store->sync();
  current_.reset();
}

void TApplRegistry::writeValue(const QString& subKey, const QString& name, const QVariant& value) {
  if (!OpenKeyForWrite(subKey, true)) {
    // A key that cannot be opened is skipped silently, a folder in the
    // file's place included; a FIFO or a device cannot take the value.
    if (examine(backingPath()) == Backing::NoFile) reportWriteFailure(name, backingPath());
    return;
  }
  QSettings& store = *current_->store;
  const QString stored = storedName(store, name);
  if (stored != name) store.remove(stored);  // replaced whatever its spelling or kind
  store.setValue(name, value);
  store.sync();
  const bool failed = store.status() != QSettings::NoError;
#ifdef Q_OS_WIN
  const QString where = backingFile_.isEmpty() ? kRootKeyName + BuildKeyPath(subKey) : store.fileName();
#else
  const QString where = store.fileName();
#endif
  CloseKey();
  if (failed) reportWriteFailure(name, where);
}

void TApplRegistry::reportWriteFailure(const QString& name, const QString& where) const {
  if (onWriteFailure_)
    onWriteFailure_(QStringLiteral("Écriture impossible de la valeur \"%1\" dans %2").arg(name, where));
}

bool TApplRegistry::readValue(const QString& subKey, const QString& name, QVariant& value) {
  if (!OpenKeyForRead(subKey)) return false;
  QSettings& store = *current_->store;
  const QString stored = storedName(store, name);
  const bool found = store.contains(stored);
  if (found) value = store.value(stored);
  CloseKey();
  return found;
}

void TApplRegistry::WriteStringValue(const QString& subKey, const QString& name, const QString& value) {
  writeValue(subKey, name, QVariant(value));
}

void TApplRegistry::WriteIntegerValue(const QString& subKey, const QString& name, int32_t value) {
  writeValue(subKey, name, QVariant(static_cast<int>(value)));
}

void TApplRegistry::WriteBoolValue(const QString& subKey, const QString& name, bool value) {
  writeValue(subKey, name, QVariant(value ? 1 : 0));
}

QString TApplRegistry::ReadStringValue(const QString& subKey, const QString& name, const QString& fallback) {
  QVariant v;
  if (!readValue(subKey, name, v) || v.typeId() != QMetaType::QString) return fallback;
  return v.toString();
}

int32_t TApplRegistry::ReadIntegerValue(const QString& subKey, const QString& name, int32_t fallback) {
  QVariant v;
  if (!readValue(subKey, name, v) || !isInteger(v)) return fallback;
  return static_cast<int32_t>(v.toLongLong());
}

bool TApplRegistry::ReadBoolValue(const QString& subKey, const QString& name, bool fallback) {
  QVariant v;
  if (!readValue(subKey, name, v) || !isInteger(v)) return fallback;
  return v.toLongLong() != 0;
}

}  // namespace settings
