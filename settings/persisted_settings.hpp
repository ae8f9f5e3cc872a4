#pragma once
// The values the main window keeps between runs, all directly in the
// application key: read once when the window is created, written back when it
// is destroyed ("InitialDir" alone is written after each choice of files).
#include <QString>
#include <QStringList>

#include "settings/appl_registry.hpp"

namespace settings {

inline constexpr int kHistorySlots = 10;  // entries kept between runs, per history
inline constexpr int kDefaultDigits = 2;

struct PersistedValues {
  QString format;               // "Format"
  QString text;                 // "Texte"
  int digits = kDefaultDigits;  // "Chiffres", 1..9
  QString initialDir;           // "InitialDir" (read only here)
  bool withTextFile = false;    // "WithTextFile"
  QStringList formatHistory;    // "HistoriqueFormats1".."10", most recent first
  QStringList textHistory;      // "HistoriqueTextes1".."10"
};

// A digit count brought within 1..9.
int clampDigits(int digits);

// Reads in this order: Format, Texte, Chiffres, InitialDir, WithTextFile, the
// format history from 10 down to 1, the text history from 10 down to 1.
// Empty stored history entries are skipped, the others keep their order.
PersistedValues ReadPersisted(TApplRegistry& store, const QString& defaultFormat);

// Writes Format, Texte, Chiffres, WithTextFile, then the two histories
// pairwise for N = 1..10; slots past a history's end are blanked, entries past
// the tenth are dropped. InitialDir is not written here.
void WritePersisted(TApplRegistry& store, const PersistedValues& values);

void WriteInitialDir(TApplRegistry& store, const QString& folder);

}  // namespace settings
