#include "app/open_dialog.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QTranslator>
#include <QVBoxLayout>

#include "app/preview_picture.hpp"
#include "metadata/exif_parser.hpp"
#include "metadata/image_reader.hpp"
#include "naming/file_list.hpp"

namespace app {

PictureOpenDialog::PictureOpenDialog(QWidget* parent, const QString& initialDir)
    : QFileDialog(parent, QString(), initialDir), reader_(std::make_unique<meta::TimgData>()) {
  setObjectName(QStringLiteral("opOuvrir"));
  // The preview needs the toolkit's own dialog: a platform dialog takes no
  // widget beside its list.
  setOption(QFileDialog::DontUseNativeDialog);
  setFileMode(QFileDialog::ExistingFiles);
  // Each label is shown as it stands; the patterns after it do the filtering.
  setNameFilters({
      QStringLiteral("Tous (*.jpg;*.jpeg;*.bmp;*.tif;*.tiff) (*.jpg *.jpeg *.jpe *.jp2 *.j2k *.tif *.tiff)"),
      QStringLiteral("Fichier image JPEG (*.jpg; *.jpeg) (*.jpg *.jpeg *.jpe *.jp2 *.j2k)"),
      QStringLiteral("Fichier image TIFF (*.tif;*.tiff) (*.tif *.tiff)"),
  });
  setOption(QFileDialog::HideNameFilterDetails);
  setSizeGripEnabled(true);
  resize(780, 460);  // room for the names beside the preview

  auto* side = new QWidget(this);
  side->setObjectName(QStringLiteral("pnlApercu"));
  auto* column = new QVBoxLayout(side);
  column->setContentsMargins(6, 0, 0, 0);
  imgApercu = new PreviewPicture(side);
  imgApercu->setObjectName(QStringLiteral("imgApercu"));
  imgApercu->setFixedSize(160, 120);
  lblApercu = new QLabel(side);
  lblApercu->setObjectName(QStringLiteral("lblApercu"));
  lblApercu->setWordWrap(true);
  lblApercu->setFixedWidth(160);
  column->addWidget(imgApercu);
  column->addWidget(lblApercu);
  column->addStretch(1);
  // The toolkit's dialog lays itself out on a grid: the preview takes a new
  // column beside every row of it.
  if (auto* grid = qobject_cast<QGridLayout*>(layout()))
    grid->addWidget(side, 0, grid->columnCount(), grid->rowCount(), 1);
  connect(this, &QFileDialog::currentChanged, this, &PictureOpenDialog::showPreviewOf);
}

PictureOpenDialog::~PictureOpenDialog() = default;

void PictureOpenDialog::showPreviewOf(const QString& path) {
  imgApercu->clearPicture();
  lblApercu->clear();
  const QFileInfo info(path);
  if (!info.isFile()) return;
  const std::string bytes = QFile::encodeName(path).toStdString();
  if (!naming::hasAcceptedExtension(bytes)) return;
  // Only the metadata is read; the picture itself is never decoded.
  meta::TimgData& img = *reader_;
  img.ReadFile(bytes);
  std::optional<meta::RgbImage> picture;
  if (img.HasThumbnail() && img.ExifInfo) {
    img.ExifInfo->ProcessThumbnail();
    picture = img.ThumbnailImage();
  }
  if (!picture) {
    lblApercu->setText(QStringLiteral("Pas d'aperçu"));
    return;
  }
  imgApercu->setPicture(picture);
  const meta::TImageInfo& facts = *img.ExifInfo;
  QStringList lines;
  if (!facts.DateTimeText.empty()) lines << QString::fromStdString(facts.DateTimeText);
  if (facts.Width > 0 && facts.Height > 0)
    lines << QStringLiteral("%1 × %2").arg(facts.Width).arg(facts.Height);
  lblApercu->setText(lines.join(u'\n'));
}

QStringList openPictureDialog(QWidget* parent, const QString& initialDir) {
  PictureOpenDialog dialog(parent, initialDir);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

bool installQtFrench(QCoreApplication& application) {
  auto* translator = new QTranslator(&application);
  if (!translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace app
