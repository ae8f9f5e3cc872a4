#pragma once
// opOuvrir: the picture-open dialog. Several existing files may be chosen,
// with the three picture filters; beside the file list it shows the embedded
// EXIF preview of the file under the cursor (read from the file's metadata
// only, so it is quick even for large photos).
#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <memory>

class QCoreApplication;
class QLabel;

namespace meta {
class TimgData;
}

namespace app {

class PreviewPicture;

class PictureOpenDialog final : public QFileDialog {
  Q_OBJECT
 public:
  PictureOpenDialog(QWidget* parent, const QString& initialDir);
  ~PictureOpenDialog() override;

  // Shows the preview of `path`, or none (a folder, a file without preview).
  void showPreviewOf(const QString& path);
  const PreviewPicture* preview() const { return imgApercu; }

 private:
  std::unique_ptr<meta::TimgData> reader_;
  PreviewPicture* imgApercu = nullptr;
  QLabel* lblApercu = nullptr;
};

// Shows the dialog; the chosen files, or none when cancelled.
QStringList openPictureDialog(QWidget* parent, const QString& initialDir);

// Qt's own texts (dialog buttons, context menus) in French, from Qt's
// translation folder; false when they are not installed there.
bool installQtFrench(QCoreApplication& application);

}  // namespace app
