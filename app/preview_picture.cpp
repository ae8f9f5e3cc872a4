#include "app/preview_picture.hpp"

#include <QPainter>
#include <cstring>

namespace app {

QImage toQImage(const meta::RgbImage& picture) {
  const int w = picture.width, h = picture.height;
  if (w <= 0 || h <= 0 || picture.pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h) * 3)
    return QImage();
  QImage image(w, h, QImage::Format_RGB888);
  if (image.isNull()) return image;
  // QImage rows are padded to 32 bits; the decoder's rows are not.
  const size_t row = static_cast<size_t>(w) * 3;
  for (int y = 0; y < h; ++y) std::memcpy(image.scanLine(y), picture.pixels.data() + row * y, row);
  return image;
}

QRect fittedRect(const QSize& picture, const QSize& area) {
  if (picture.isEmpty() || area.isEmpty()) return QRect();
  return QRect(QPoint(0, 0), picture.scaled(area, Qt::KeepAspectRatio));
}

PreviewPicture::PreviewPicture(QWidget* parent) : QWidget(parent) {}

void PreviewPicture::setPicture(const std::optional<meta::RgbImage>& picture) {
  image_ = picture ? toQImage(*picture) : QImage();
  update();
}

void PreviewPicture::clearPicture() {
  image_ = QImage();
  update();
}

void PreviewPicture::paintEvent(QPaintEvent*) {
  if (image_.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(fittedRect(image_.size(), size()), image_);
}

}  // namespace app
