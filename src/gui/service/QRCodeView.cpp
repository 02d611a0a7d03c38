#include "gui/service/QRCodeView.h"

#include <qrencode.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <memory>

namespace quillet {

namespace {

// Long enough to read, short enough not to stand in the way.
constexpr int kCopiedHintMilliseconds = 1500;
// How a side of the empty view compares to a small code's.
constexpr int kEmptySideModules = 29;

}  // namespace

QRCodeModules EncodeQRCode(const QString& text) {
  QRCodeModules modules;
  if (text.isEmpty()) return modules;
  const QByteArray bytes = text.toUtf8();
  // The bytes as they are, in 8-bit mode: no NUL ends the text early and no
  // other mode second-guesses the letter case of an address.
  std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
      QRcode_encodeData(static_cast<int>(bytes.size()),
                        reinterpret_cast<const unsigned char*>(bytes.constData()), 0, QR_ECLEVEL_M),
      &QRcode_free);
  // Too long for the largest code, or out of memory: no code rather than a
  // wrong one.
  if (code == nullptr || code->width <= 0) return modules;
  modules.size = code->width;
  modules.dark.resize(static_cast<std::size_t>(code->width) * code->width);
  for (std::size_t i = 0; i < modules.dark.size(); ++i)
    modules.dark[i] = (code->data[i] & 1) != 0;
  return modules;
}

TQRCodeView::TQRCodeView(QWidget* parent) : QWidget(parent) {
  setAccessibleName(QStringLiteral("QR code"));
}

void TQRCodeView::SetText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  modules_ = EncodeQRCode(text);
  if (HasCode()) {
    setToolTip(QStringLiteral("Click to copy the address"));
    setCursor(Qt::PointingHandCursor);
  } else {
    setToolTip(QString());
    unsetCursor();
  }
  updateGeometry();
  update();
}

void TQRCodeView::SetPreferredModuleSize(int pixels) {
  preferredModuleSize_ = std::max(1, pixels);
  updateGeometry();
}

int TQRCodeView::SideInModules() const {
  return (HasCode() ? modules_.size : kEmptySideModules) + 2 * kQuietZone;
}

QSize TQRCodeView::sizeHint() const {
  const int side = SideInModules() * preferredModuleSize_;
  return QSize(side, side);
}

QSize TQRCodeView::minimumSizeHint() const {
  const int side = SideInModules();
  return QSize(side, side);
}

void TQRCodeView::paintEvent(QPaintEvent*) {
  if (!HasCode()) return;
  QPainter painter(this);
  // Where the widget lies in device pixels: the pixel density of the
  // screen, or of the picture it is rendered into, is in this transform.
  const QTransform toDevice = painter.deviceTransform();
  if (toDevice.type() > QTransform::TxScale || !toDevice.isInvertible()) return;
  const QRectF area = toDevice.mapRect(QRectF(rect()));
  const int side = SideInModules();
  // A whole number of device pixels a module, never a blurred fraction.
  const int available = static_cast<int>(std::floor(std::min(area.width(), area.height()) + 1e-6));
  const int pixels = std::max(1, available / side);
  const int extent = pixels * side;
  const int left = static_cast<int>(std::floor(area.left() + (area.width() - extent) / 2 + 1e-6));
  const int top = static_cast<int>(std::floor(area.top() + (area.height() - extent) / 2 + 1e-6));

  // Paint in device pixels from here on.
  painter.setWorldTransform(toDevice.inverted() * painter.worldTransform());
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(QRect(left, top, extent, extent), Qt::white);
  const int origin = kQuietZone * pixels;
  for (int y = 0; y < modules_.size; ++y) {
    // Runs of dark modules as one rectangle each.
    int x = 0;
    while (x < modules_.size) {
      if (!modules_.Dark(x, y)) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < modules_.size && modules_.Dark(x, y))
        ++x;
      painter.fillRect(QRect(left + origin + start * pixels, top + origin + y * pixels,
                             (x - start) * pixels, pixels),
                       Qt::black);
    }
  }
}

void TQRCodeView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && HasCode()) {
    pressed_ = true;
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void TQRCodeView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  pressed_ = false;
  event->accept();
  if (!HasCode() || !rect().contains(event->position().toPoint())) return;
  QGuiApplication::clipboard()->setText(text_);
  QToolTip::showText(event->globalPosition().toPoint(), QStringLiteral("Copied"), this, QRect(),
                     kCopiedHintMilliseconds);
  emit Copied();
}

}  // namespace quillet
