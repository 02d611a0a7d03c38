// The screen grab's overlay: the frozen capture, the rectangle dragged over
// it, and the magnifier for pixel-exact corners.
#include "gui/acquire/GrabScreenForm.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace quillet {
namespace {

// Long enough for the windows below the hidden main window to repaint.
constexpr int kRepaintWaitMs = 25;

void WaitForRepaint() {
  QEventLoop loop;
  QTimer::singleShot(kRepaintWaitMs, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

constexpr std::size_t kMaxCursorPlacements = 64;

bool SamePoint(QPointF position, QPoint placed) {
  return std::abs(position.x() - placed.x()) < 0.01 && std::abs(position.y() - placed.y()) < 0.01;
}

int FloorDiv(double value, double scale) {
  return static_cast<int>(std::floor(value / scale));
}

int CeilDiv(double value, double scale) {
  return static_cast<int>(std::ceil(value / scale));
}

}  // namespace

TGrabScreenImage::TGrabScreenImage(TGrabScreenForm& form) : QWidget(&form), form_(form) {
  setObjectName(QStringLiteral("ScreenImage"));
  setCursor(Qt::CrossCursor);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

void TGrabScreenImage::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = event->rect();
  const QImage& shown = form_.shown_;
  const double scale = form_.scale_;
  const QRect pictureArea(0, 0, FloorDiv(shown.width(), scale), FloorDiv(shown.height(), scale));
  if (shown.isNull() || !pictureArea.contains(area)) painter.fillRect(area, Qt::black);
  if (!shown.isNull()) {
    // Capture pixels straight onto device pixels, never scaled.
    const QRect target = area.intersected(pictureArea);
    const QRectF source(target.x() * scale, target.y() * scale, target.width() * scale,
                        target.height() * scale);
    painter.drawImage(QRectF(target), shown, source);
  }
  form_.PaintMagnifier(painter);
}

void TGrabScreenImage::mousePressEvent(QMouseEvent* event) {
  form_.ScreenImageMouseDown(event->position());
}

void TGrabScreenImage::mouseMoveEvent(QMouseEvent* event) {
  form_.ScreenImageMouseMove(event->position());
}

void TGrabScreenImage::mouseReleaseEvent(QMouseEvent*) {
  form_.ScreenImageMouseUp();
}

TGrabScreenForm::TGrabScreenForm(std::unique_ptr<ScreenCapture> capture, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      capture_(capture ? std::move(capture) : LoadScreenCapture()) {
  setObjectName(QStringLiteral("GrabScreenForm"));
  // Never seen (the window has no caption bar), but it names the window to
  // the window system and its tools.
  setWindowTitle(QStringLiteral("Grab from screen"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  ScreenImage = new TGrabScreenImage(*this);
  layout->addWidget(ScreenImage);
}

TGrabScreenForm::~TGrabScreenForm() = default;

TGrabScreenForm::Outcome TGrabScreenForm::Run(QWidget* window) {
  if ((capture_->Capabilities() & ScreenCapture::CanCaptureScreen) == 0)
    return {Outcome::Unavailable, capture_->NotAvailableText(), {}};
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QRect geometry = screen->geometry();

  const bool restore = window != nullptr && window->isVisible();
  if (restore) window->hide();
  WaitForRepaint();
  const ScreenShot shot = capture_->Take(*screen);
  if (shot.outcome == CaptureOutcome::Taken) ShowOver(shot.picture, geometry);
  if (restore) {
    window->show();
    window->raise();
    window->activateWindow();
  }

  switch (shot.outcome) {
    case CaptureOutcome::Failed:
      return {Outcome::Failed,
              QString::fromStdString(CaptureFailedText(shot.detail.toStdString())),
              {}};
    case CaptureOutcome::Cancelled:
      return {Outcome::Cancelled, {}, {}};
    case CaptureOutcome::Taken:
      break;
  }
  Outcome outcome{Outcome::Shown, {}, GrabbedPicture()};
  // A whole screen is not kept between grabs.
  frozen_ = QImage();
  shown_ = QImage();
  return outcome;
}

GrabResult TGrabScreenForm::ShowOver(const QImage& capture, const QRect& geometry) {
  scale_ = capture.devicePixelRatio() > 0 ? capture.devicePixelRatio() : 1.0;
  frozen_ = capture.convertToFormat(QImage::Format_RGB32);
  frozen_.setDevicePixelRatio(scale_);
  shown_ = frozen_.copy();
  shown_.setDevicePixelRatio(scale_);
  pointerKnown_ = false;
  cursorPlacements_.clear();
  magnifier_ = QRect();
  selection_.Show(frozen_.width(), frozen_.height());

  setGeometry(geometry);
  setWindowState(windowState() | Qt::WindowFullScreen);
  exec();
  releaseKeyboard();
  // Closed some other way (the window manager): as Escape.
  if (!selection_.Result()) ApplyChange(selection_.Escape());
  return *selection_.Result();
}

Bitmap TGrabScreenForm::GrabbedPicture() const {
  const GrabRect& rect = selection_.Rectangle();
  if (!rect.Chosen() || frozen_.isNull()) return {};
  const int left = std::clamp(std::min(rect.Left, rect.Right), 0, frozen_.width());
  const int right = std::clamp(std::max(rect.Left, rect.Right), 0, frozen_.width());
  const int top = std::clamp(std::min(rect.Top, rect.Bottom), 0, frozen_.height());
  const int bottom = std::clamp(std::max(rect.Top, rect.Bottom), 0, frozen_.height());
  if (right <= left || bottom <= top) return {};
  Bitmap picture(right - left, bottom - top);
  for (int y = top; y < bottom; ++y) {
    const auto* source = reinterpret_cast<const QRgb*>(frozen_.constScanLine(y)) + left;
    std::uint8_t* target = picture.Row(y - top);
    for (int x = 0; x < right - left; ++x) {
      *target++ = static_cast<std::uint8_t>(qRed(source[x]));
      *target++ = static_cast<std::uint8_t>(qGreen(source[x]));
      *target++ = static_cast<std::uint8_t>(qBlue(source[x]));
    }
  }
  return picture;
}

void TGrabScreenForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  selection_.Show(frozen_.width(), frozen_.height());
  raise();
  activateWindow();
  // Escape and the arrows reach the overlay wherever the keyboard focus
  // was; the grab can only be had once the window is on the screen.
  QTimer::singleShot(0, this, [this] {
    if (isVisible()) grabKeyboard();
  });
}

void TGrabScreenForm::keyPressEvent(QKeyEvent* event) {
  FormKeyDown(event->key());
  event->accept();
}

void TGrabScreenForm::reject() {
  if (!selection_.Result()) ApplyChange(selection_.Escape());
  QDialog::reject();
}

void TGrabScreenForm::ScreenImageMouseDown(QPointF position) {
  const QPoint pointer = AtPlacedCursor(position) ? pointer_ : CapturePointOf(position);
  ApplyChange(selection_.Press(pointer.x(), pointer.y()));
  PointerMoved(pointer);
}

void TGrabScreenForm::ScreenImageMouseMove(QPointF position) {
  if (TakeOwnCursorMove(position)) return;
  cursorPlacements_.clear();
  const QPoint pointer = CapturePointOf(position);
  ApplyChange(selection_.Move(pointer.x(), pointer.y()));
  PointerMoved(pointer);
}

void TGrabScreenForm::ScreenImageMouseUp() {
  ApplyChange(selection_.Release());
}

void TGrabScreenForm::FormKeyDown(int key) {
  QPoint step;
  switch (key) {
    case Qt::Key_Escape:
      ApplyChange(selection_.Escape());
      return;
    case Qt::Key_Left:
      step = QPoint(-1, 0);
      break;
    case Qt::Key_Right:
      step = QPoint(1, 0);
      break;
    case Qt::Key_Up:
      step = QPoint(0, -1);
      break;
    case Qt::Key_Down:
      step = QPoint(0, 1);
      break;
    default:
      return;
  }
  if (frozen_.isNull() || selection_.Result()) return;
  if (!pointerKnown_) pointer_ = CapturePointOf(ScreenImage->mapFromGlobal(QCursor::pos()));
  const QPoint pointer(std::clamp(pointer_.x() + step.x(), 0, frozen_.width() - 1),
                       std::clamp(pointer_.y() + step.y(), 0, frozen_.height() - 1));
  // The rectangle follows at once, as a mouse move would; the move the
  // cursor's new place brings is then our own and is passed over.
  ApplyChange(selection_.Move(pointer.x(), pointer.y()));
  PointerMoved(pointer);
  const QPoint placed(FloorDiv(pointer.x(), scale_), FloorDiv(pointer.y(), scale_));
  // Platforms that cannot place the cursor send no moves back.
  if (cursorPlacements_.size() >= kMaxCursorPlacements) cursorPlacements_.pop_front();
  cursorPlacements_.push_back(placed);
  QCursor::setPos(screen(), ScreenImage->mapToGlobal(placed));
}

void TGrabScreenForm::ApplyChange(const GrabChange& change) {
  if (change.erase) {
    InvertOutline(*change.erase);
    UpdateCaptureRect(*change.erase);
  }
  if (change.draw) {
    InvertOutline(*change.draw);
    UpdateCaptureRect(*change.draw);
  }
  if (change.close) {
    if (selection_.Result() == GrabResult::Ok) {
      QDialog::accept();
    } else {
      QDialog::reject();
    }
  }
}

void TGrabScreenForm::InvertOutline(const Rect& covered) {
  if (shown_.isNull()) return;
  const int width = shown_.width();
  const int height = shown_.height();
  uchar* bits = shown_.bits();
  const qsizetype stride = shown_.bytesPerLine();
  ForEachOutlinePixel(covered, [&](std::int32_t x, std::int32_t y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    auto* pixel = reinterpret_cast<QRgb*>(bits + y * stride) + x;
    *pixel ^= 0x00FFFFFFu;
  });
}

void TGrabScreenForm::UpdateCaptureRect(const Rect& covered) {
  const int left = FloorDiv(covered.left, scale_);
  const int top = FloorDiv(covered.top, scale_);
  const int right = CeilDiv(std::max(covered.right, covered.left + 1), scale_);
  const int bottom = CeilDiv(std::max(covered.bottom, covered.top + 1), scale_);
  const int width = right - left;
  const int height = bottom - top;
  ScreenImage->update(QRect(left, top, width, 1));
  ScreenImage->update(QRect(left, bottom - 1, width, 1));
  ScreenImage->update(QRect(left, top, 1, height));
  ScreenImage->update(QRect(right - 1, top, 1, height));
}

QPoint TGrabScreenForm::CapturePointOf(QPointF position) const {
  return QPoint(CapturePixelOf(position.x(), scale_, frozen_.width()),
                CapturePixelOf(position.y(), scale_, frozen_.height()));
}

bool TGrabScreenForm::TakeOwnCursorMove(QPointF position) {
  for (auto placed = cursorPlacements_.begin(); placed != cursorPlacements_.end(); ++placed) {
    if (!SamePoint(position, *placed)) continue;
    cursorPlacements_.erase(cursorPlacements_.begin(), placed + 1);
    return true;
  }
  return false;
}

bool TGrabScreenForm::AtPlacedCursor(QPointF position) const {
  return !cursorPlacements_.empty() && SamePoint(position, cursorPlacements_.back());
}

void TGrabScreenForm::PointerMoved(QPoint pointer) {
  pointer_ = pointer;
  pointerKnown_ = true;
  if (!magnifier_.isNull()) ScreenImage->update(magnifier_);
  magnifier_ = MagnifierRect();
  ScreenImage->update(magnifier_);
}

QRect TGrabScreenForm::MagnifierRect() const {
  if (!pointerKnown_) return {};
  const int side = kMagnifierPixels * kMagnifierZoom + 2;
  const Rect box = MagnifierBox(FloorDiv(pointer_.x(), scale_), FloorDiv(pointer_.y(), scale_),
                                side, side + kMagnifierCaptionHeight, ScreenImage->width(),
                                ScreenImage->height(), kMagnifierGap);
  return QRect(box.left, box.top, box.Width(), box.Height());
}

QString TGrabScreenForm::MagnifierText() const {
  return QString::fromStdString(MagnifierCaption(selection_, pointer_.x(), pointer_.y()));
}

void TGrabScreenForm::PaintMagnifier(QPainter& painter) const {
  if (!pointerKnown_ || frozen_.isNull()) return;
  const QRect box = MagnifierRect();
  const int half = kMagnifierPixels / 2;
  const int originX = pointer_.x() - half;
  const int originY = pointer_.y() - half;
  // The capture's own pixels, not the overlay's: the outline does not hide
  // the colours under it.
  QImage around(kMagnifierPixels, kMagnifierPixels, QImage::Format_RGB32);
  around.fill(QColor(48, 48, 48));
  for (int dy = 0; dy < kMagnifierPixels; ++dy) {
    const int y = originY + dy;
    if (y < 0 || y >= frozen_.height()) continue;
    const auto* row = reinterpret_cast<const QRgb*>(frozen_.constScanLine(y));
    for (int dx = 0; dx < kMagnifierPixels; ++dx) {
      const int x = originX + dx;
      if (x >= 0 && x < frozen_.width()) around.setPixel(dx, dy, row[x]);
    }
  }

  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(box, QColor(24, 24, 24));
  const int side = kMagnifierPixels * kMagnifierZoom;
  const QRect zoomed(box.left() + 1, box.top() + 1, side, side);
  painter.drawImage(zoomed, around);

  painter.setPen(QColor(128, 128, 128, 110));
  for (int i = 1; i < kMagnifierPixels; ++i) {
    const int at = i * kMagnifierZoom;
    painter.drawLine(zoomed.left() + at, zoomed.top(), zoomed.left() + at, zoomed.bottom());
    painter.drawLine(zoomed.left(), zoomed.top() + at, zoomed.right(), zoomed.top() + at);
  }

  if (selection_.Dragging()) {
    const Rect covered = selection_.Covered();
    const QRect edges(zoomed.left() + (covered.left - originX) * kMagnifierZoom,
                      zoomed.top() + (covered.top - originY) * kMagnifierZoom,
                      std::max(covered.Width(), 1) * kMagnifierZoom,
                      std::max(covered.Height(), 1) * kMagnifierZoom);
    painter.setClipRect(zoomed);
    painter.setPen(QPen(QColor(255, 210, 0), 1, Qt::DashLine));
    painter.drawRect(edges.adjusted(0, 0, -1, -1));
    painter.setClipping(false);
  }

  const QRect centre(zoomed.left() + half * kMagnifierZoom, zoomed.top() + half * kMagnifierZoom,
                     kMagnifierZoom, kMagnifierZoom);
  painter.setPen(Qt::black);
  painter.drawRect(centre.adjusted(-1, -1, 0, 0));
  painter.setPen(Qt::white);
  painter.drawRect(centre.adjusted(0, 0, -1, -1));

  painter.setPen(QColor(200, 200, 200));
  painter.drawRect(box.adjusted(0, 0, -1, -1));
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPixelSize(11);
  painter.setFont(font);
  painter.drawText(QRect(box.left(), zoomed.bottom() + 1, box.width(), kMagnifierCaptionHeight),
                   Qt::AlignCenter, MagnifierText());
  painter.restore();
}

}  // namespace quillet
