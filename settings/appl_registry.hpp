#pragma once
// TApplRegistry: the per-user settings store. Every value operation opens the
// application key, does its one read or write and closes the key again, so
// nothing is cached between operations. Reads never fail (a missing value or
// one of another kind gives the default); a rejected write is reported
// through a handler that the desktop application turns into a message box.
//
// Backing: on Windows the current user's registry hive; elsewhere (and
// whenever an explicit file is given) a per-user text file that keeps the key
// paths, value names and value kinds (string or 32-bit integer) of the hive.
// A file in its place that is no regular file (a FIFO, a device) is never
// opened: reads give their defaults and writes fail.
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class QSettings;

namespace settings {

// A store used before its company or application name is set.
class EApplRegistry : public std::runtime_error {
 public:
  explicit EApplRegistry(const std::string& message) : std::runtime_error(message) {}
};

class TApplRegistry {
 public:
  // Called with the failure's own message when a value could not be written.
  using WriteFailureHandler = std::function<void(const QString& message)>;

  // The machine's per-user store.
  TApplRegistry();
  // A store kept in the given file (tests, portable use); created on the
  // first write.
  explicit TApplRegistry(const QString& backingFile);
  ~TApplRegistry();
  TApplRegistry(const TApplRegistry&) = delete;
  TApplRegistry& operator=(const TApplRegistry&) = delete;

  void SetCompanyName(const QString& name);
  void SetApplicationName(const QString& name);
  const QString& CompanyName() const { return companyName_; }

  // "\Software\<company>\<application>[\<sub-key>]", or the sub-key itself
  // when it begins with "\". Raises EApplRegistry when a name is missing.
  QString BuildKeyPath(const QString& subKey) const;

  // Open the key of the sub-key as the current key; false when it cannot be
  // opened (missing for reading, or not writable).
  bool OpenKeyForWrite(const QString& subKey, bool canCreate);
  bool OpenKeyForRead(const QString& subKey);
  void CloseKey();
  bool HasOpenKey() const { return current_ != nullptr; }

  void WriteStringValue(const QString& subKey, const QString& name, const QString& value);
  void WriteIntegerValue(const QString& subKey, const QString& name, int32_t value);
  void WriteBoolValue(const QString& subKey, const QString& name, bool value);
  QString ReadStringValue(const QString& subKey, const QString& name, const QString& fallback);
  int32_t ReadIntegerValue(const QString& subKey, const QString& name, int32_t fallback);
  bool ReadBoolValue(const QString& subKey, const QString& name, bool fallback);

  void setWriteFailureHandler(WriteFailureHandler handler) { onWriteFailure_ = std::move(handler); }

  // Where the values are kept: a file path, or the registry path on Windows.
  QString backingLocation() const;

 private:
  struct OpenKey;
  // The file the values are kept in; empty for the Windows registry.
  QString backingPath() const;
  std::unique_ptr<QSettings> openBacking() const;
  bool openKey(const QString& subKey, bool forWrite, bool canCreate);
  void writeValue(const QString& subKey, const QString& name, const QVariant& value);
  bool readValue(const QString& subKey, const QString& name, QVariant& value);
  void reportWriteFailure(const QString& name, const QString& where) const;

  QString backingFile_;  // empty: the machine's per-user store
  QString applicationName_;
  QString companyName_;
  std::unique_ptr<OpenKey> current_;
  WriteFailureHandler onWriteFailure_;
};

}  // namespace settings
