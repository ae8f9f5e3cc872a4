#pragma once
// TfAPropos: the about box. Its texts come from the version block that the
// program carries, read once when the box is created.
#include <QDialog>
#include <QMap>
#include <QString>
#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;

namespace app {

// A program file's version block: the fixed part and the string entries,
// keyed as "\StringFileInfo\<language and code page>\<entry>".
struct VersionBlock {
  uint32_t fileVersionMS = 0;  // major << 16 | minor
  uint32_t fileVersionLS = 0;  // release << 16 | build
  bool preRelease = false;
  QMap<QString, QString> strings;
};

// The block of the given program file; none when it carries no block. On
// Windows the file's VERSIONINFO resource; elsewhere the block is compiled
// into the program, so only the running program's own file has one.
std::optional<VersionBlock> ReadVersionBlock(const QString& filePath);

struct VersionStrings {
  QString productName;
  QString version;  // major.minor.release
  QString build;
  QString comment;
  QString copyright;
  QString companyName;
  QString description;
};

// Missing block or entries leave the texts empty (the numbers read 0).
VersionStrings GetVersionStrings(const QString& filePath);

class TfAPropos final : public QDialog {
  Q_OBJECT
 public:
  // programPath: the file whose version block is shown; the running program
  // when empty.
  explicit TfAPropos(QWidget* parent = nullptr, const QString& programPath = QString());

 private:
  QLabel* imgLogo;
  QLabel* lblNomProgramme;
  QLabel* lblVersion;
  QLabel* lblDescription;
  QLabel* lblCopyright;
  QLabel* lblCommentaire;
  QPushButton* btnOk;
};

}  // namespace app
