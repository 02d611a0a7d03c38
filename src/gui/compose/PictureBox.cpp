#include "gui/compose/PictureBox.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

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
  picture_ = std::move(picture);
  FitToPicture();
  update();
}

void TPictureBox::FitToPicture() {
  if (picture_.Empty()) {
    resize(kEmptySide, kEmptySide);
  } else {
    resize(picture_.Width(), picture_.Height());
  }
}

void TPictureBox::ClearPicture() {
  picture_ = Bitmap();
  FitToPicture();
  update();
}

void TPictureBox::RepaintRect(const Rect& rect) {
  update(QRect(rect.left, rect.top, rect.Width(), rect.Height()));
}

void TPictureBox::paintEvent(QPaintEvent* event) {
  if (picture_.Empty()) return;
  // A view of the bitmap's own buffer: nothing is copied, and at a device
  // pixel ratio of 1 each bitmap pixel is one logical pixel.
  const QImage view(picture_.Data(), picture_.Width(), picture_.Height(),
                    static_cast<qsizetype>(picture_.Stride()), QImage::Format_RGB888);
  QPainter painter(this);
  const QRect dirty = event->rect();
  painter.drawImage(dirty.topLeft(), view, dirty);
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
