#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <deque>
#include <memory>
#include <optional>

#include "core/acquire/GrabRectangle.h"
#include "core/codecs/Bitmap.h"
#include "gui/acquire/ScreenCapture.h"

namespace quillet {

class TGrabScreenForm;

// The overlay's picture: the frozen capture 1:1 with the dotted outline,
// the magnifier beside the pointer, the crosshair cursor. Its mouse events
// go to the form's handlers.
class TGrabScreenImage : public QWidget {
  Q_OBJECT

 public:
  explicit TGrabScreenImage(TGrabScreenForm& form);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TGrabScreenForm& form_;
};

// The screen grab's overlay: a borderless window over the whole primary
// screen showing the frozen capture, over which the user drags the
// rectangle to grab. Created once and reused for every grab.
class TGrabScreenForm : public QDialog {
  Q_OBJECT

 public:
  // `capture` reads the screen; nullptr takes the one this session calls
  // for (LoadScreenCapture).
  explicit TGrabScreenForm(std::unique_ptr<ScreenCapture> capture = nullptr,
                           QWidget* parent = nullptr);
  ~TGrabScreenForm() override;

  ScreenCapture& Capture() const { return *capture_; }

  // How the capture and the overlay ended.
  struct Outcome {
    enum Kind {
      NoScreen,     // nothing to capture: the command ends without a word
      Unavailable,  // no capture in this session: `message` says why
      Failed,       // the capture failed: `message` says how
      Cancelled,    // the capture was cancelled (the desktop's own dialog)
      Shown,        // the overlay was shown and closed: see Rectangle()
    } kind = NoScreen;
    QString message;
    // Shown: the rectangle's pixels, cut from the capture (empty when
    // nothing was chosen).
    Bitmap picture;
  };

  // The grab up to the overlay's end: `window` (the main window) is hidden,
  // the screen captured once the windows below have repainted, the overlay
  // shown modally over the primary screen, and `window` shown again. The
  // capture is let go of afterwards.
  Outcome Run(QWidget* window);

  // Shows the overlay modally over `capture` (in the capture's own pixels,
  // its device pixel ratio set) at `geometry` of the screen.
  GrabResult ShowOver(const QImage& capture, const QRect& geometry);

  // The rectangle the overlay closed with, in capture pixels.
  const GrabRect& Rectangle() const { return selection_.Rectangle(); }
  const GrabSelection& Selection() const { return selection_; }
  // The rectangle's pixels, cut from the capture itself: neither the
  // outline nor the magnifier is ever part of them. Empty unless the
  // rectangle is chosen and inside the capture.
  Bitmap GrabbedPicture() const;

  // What the overlay shows now (the capture with the outline), the capture
  // as taken, and the pointer in capture pixels.
  const QImage& ShownPicture() const { return shown_; }
  const QImage& FrozenPicture() const { return frozen_; }
  QPoint Pointer() const { return pointer_; }
  // Where the magnifier is drawn, in the overlay's coordinates; empty while
  // the pointer has not been over the overlay.
  QRect MagnifierRect() const;
  QString MagnifierText() const;

  TGrabScreenImage* ScreenImage = nullptr;

  // Handlers, named as the overlay's events. Positions are the overlay's
  // logical coordinates.
  void ScreenImageMouseDown(QPointF position);
  void ScreenImageMouseMove(QPointF position);
  void ScreenImageMouseUp();
  // Escape cancels; the arrow keys move the pointer by one capture pixel,
  // and the rectangle follows it while dragging. Other keys do nothing.
  void FormKeyDown(int key);

  // The magnifier's look: the pixels around the pointer, each shown as a
  // square of this many logical pixels.
  static constexpr int kMagnifierPixels = 17;
  static constexpr int kMagnifierZoom = 8;
  static constexpr int kMagnifierGap = 24;
  static constexpr int kMagnifierCaptionHeight = 32;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  friend class TGrabScreenImage;
  void ApplyChange(const GrabChange& change);
  void InvertOutline(const Rect& covered);
  void UpdateCaptureRect(const Rect& covered);
  QPoint CapturePointOf(QPointF position) const;
  // Whether a move to `position` is one the arrow keys caused by placing
  // the cursor; it is passed over, as the rectangle has followed already.
  // The moves may come late and several at once.
  bool TakeOwnCursorMove(QPointF position);
  // Whether `position` is where the arrow keys last put the cursor: a press
  // there is at the pointer as the keys left it, which can be finer than a
  // logical pixel.
  bool AtPlacedCursor(QPointF position) const;
  void PointerMoved(QPoint pointer);
  void PaintMagnifier(QPainter& painter) const;

  std::unique_ptr<ScreenCapture> capture_;
  QImage frozen_;
  QImage shown_;
  double scale_ = 1;
  GrabSelection selection_;
  QPoint pointer_;
  bool pointerKnown_ = false;
  std::deque<QPoint> cursorPlacements_;  // oldest first
  QRect magnifier_;
};

}  // namespace quillet
