#include "gui/compose/PictureBox.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace quillet {

namespace {

constexpr int kEmptySide = 10;

QPoint PositionOf(const QMouseEvent* event) {
  return event->position().toPoint();
}

}  // namespace

TPictureBox::TPictureBox(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  resize(kEmptySide, kEmptySide);
}

void TPictureBox::SetPicture(Bitmap picture) {
  drawer_ = nullptr;
  picture_ = std::move(picture);
  FitToPicture();
  update();
}

void TPictureBox::FitToPicture() {
  if (drawer_) return;
  scale_ = 1.0;
  if (picture_.Empty()) {
    resize(kEmptySide, kEmptySide);
    return;
  }
  if (room_.width() > 0 && room_.height() > 0 &&
      (picture_.Width() > room_.width() || picture_.Height() > room_.height())) {
    scale_ = std::min(static_cast<double>(room_.width()) / picture_.Width(),
                      static_cast<double>(room_.height()) / picture_.Height());
  }
  resize(std::max(1, static_cast<int>(picture_.Width() * scale_)),
         std::max(1, static_cast<int>(picture_.Height() * scale_)));
}

void TPictureBox::ShrinkToFit(QSize room) {
  room_ = room;
  FitToPicture();
  update();
}

void TPictureBox::SetTiled(int width, int height, TileDrawer drawer) {
  picture_ = Bitmap();
  scale_ = 1.0;
  drawer_ = std::move(drawer);
  resize(std::max(1, width), std::max(1, height));
  update();
}

Color TPictureBox::PixelAt(int x, int y) const {
  if (drawer_) {
    Bitmap tile(1, 1);
    drawer_(tile, x, y);
    return tile.Pixel(0, 0);
  }
  return picture_.Pixel(x, y);
}

void TPictureBox::ClearPicture() {
  drawer_ = nullptr;
  picture_ = Bitmap();
  FitToPicture();
  update();
}

void TPictureBox::RepaintRect(const Rect& rect) {
  update(QRect(rect.left, rect.top, rect.Width(), rect.Height()));
}

void TPictureBox::paintEvent(QPaintEvent* event) {
  if (drawer_) {
    const QRect dirty = event->rect().intersected(rect());
    if (dirty.isEmpty()) return;
    Bitmap tile = Bitmap::Uninitialized(dirty.width(), dirty.height());
    drawer_(tile, dirty.x(), dirty.y());
    const QImage view(tile.Data(), tile.Width(), tile.Height(),
                      static_cast<qsizetype>(tile.Stride()), QImage::Format_RGB888);
    QPainter painter(this);
    painter.drawImage(dirty.topLeft(), view);
    return;
  }
  if (picture_.Empty()) return;
  // A view of the bitmap's own buffer: nothing is copied, and at a device
  // pixel ratio of 1 each bitmap pixel is one logical pixel.
  const QImage view(picture_.Data(), picture_.Width(), picture_.Height(),
                    static_cast<qsizetype>(picture_.Stride()), QImage::Format_RGB888);
  QPainter painter(this);
  if (scale_ != 1.0) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), view);
    return;
  }
  const QRect dirty = event->rect();
  painter.drawImage(dirty.topLeft(), view, dirty);
}

void TPictureBox::mouseDoubleClickEvent(QMouseEvent*) {
  emit DoubleClicked();
}

void TPictureBox::mousePressEvent(QMouseEvent* event) {
  const QPoint point = PositionOf(event);
  emit MousePressed(point.x(), point.y());
}

void TPictureBox::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = PositionOf(event);
  emit MouseMoved(point.x(), point.y());
}

void TPictureBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint point = PositionOf(event);
  emit MouseReleased(point.x(), point.y());
}

}  // namespace quillet
