#pragma once
// imgPreview: the embedded preview of the selected file, scaled to the
// largest size that fits with its aspect ratio kept (small pictures are
// enlarged too), anchored at the top-left corner.
#include <QImage>
#include <QWidget>
#include <optional>

#include "metadata/image_reader.hpp"

namespace app {

// The decoder's RGB rows as an image; a null image when the sizes and the
// pixel bytes disagree.
QImage toQImage(const meta::RgbImage& picture);

// Where a picture of `picture` size goes in an area of `area` size.
QRect fittedRect(const QSize& picture, const QSize& area);

class PreviewPicture final : public QWidget {
  Q_OBJECT
 public:
  explicit PreviewPicture(QWidget* parent = nullptr);
  void setPicture(const std::optional<meta::RgbImage>& picture);
  void clearPicture();
  const QImage& picture() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

}  // namespace app
