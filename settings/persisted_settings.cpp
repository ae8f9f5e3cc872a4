#include "settings/persisted_settings.hpp"

#include <algorithm>

namespace settings {

namespace {

const QString kAppKey;  // the application key itself

QString slotName(const char* stem, int n) { return QString::fromLatin1(stem) + QString::number(n); }

QStringList readHistory(TApplRegistry& store, const char* stem) {
  QStringList list;
  for (int n = kHistorySlots; n >= 1; --n) {
    const QString entry = store.ReadStringValue(kAppKey, slotName(stem, n), QString());
    if (!entry.isEmpty()) list.prepend(entry);
  }
  return list;
}

}  // namespace

int clampDigits(int digits) { return std::clamp(digits, 1, 9); }

PersistedValues ReadPersisted(TApplRegistry& store, const QString& defaultFormat) {
  PersistedValues v;
  v.format = store.ReadStringValue(kAppKey, QStringLiteral("Format"), defaultFormat);
  v.text = store.ReadStringValue(kAppKey, QStringLiteral("Texte"), QString());
  v.digits = clampDigits(store.ReadIntegerValue(kAppKey, QStringLiteral("Chiffres"), kDefaultDigits));
  v.initialDir = store.ReadStringValue(kAppKey, QStringLiteral("InitialDir"), QString());
  v.withTextFile = store.ReadBoolValue(kAppKey, QStringLiteral("WithTextFile"), false);
  v.formatHistory = readHistory(store, "HistoriqueFormats");
  v.textHistory = readHistory(store, "HistoriqueTextes");
  return v;
}

void WritePersisted(TApplRegistry& store, const PersistedValues& v) {
  store.WriteStringValue(kAppKey, QStringLiteral("Format"), v.format);
  store.WriteStringValue(kAppKey, QStringLiteral("Texte"), v.text);
  store.WriteIntegerValue(kAppKey, QStringLiteral("Chiffres"), v.digits);
  store.WriteBoolValue(kAppKey, QStringLiteral("WithTextFile"), v.withTextFile);
  for (int n = 1; n <= kHistorySlots; ++n) {
    store.WriteStringValue(kAppKey, slotName("HistoriqueFormats", n), v.formatHistory.value(n - 1));
    store.WriteStringValue(kAppKey, slotName("HistoriqueTextes", n), v.textHistory.value(n - 1));
  }
}

void WriteInitialDir(TApplRegistry& store, const QString& folder) {
  store.WriteStringValue(kAppKey, QStringLiteral("InitialDir"), folder);
}

}  // namespace settings
