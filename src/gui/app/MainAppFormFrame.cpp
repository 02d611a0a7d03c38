// The selection frame: marching ants, cursors and dragging with the mouse.
#include <QApplication>
#include <QCursor>
#include <QScrollArea>
#include <QTimer>

#include "core/compose/FrameInteraction.h"
#include "core/compose/SelectionGeometry.h"
#include "gui/app/Cursors.h"
#include "gui/app/MainAppForm.h"
#include "gui/compose/PictureBox.h"

namespace quillet {

namespace {

QCursor CursorOf(FrameCursorKind kind) {
  switch (kind) {
    case FrameCursorKind::HandFlat:
      return HandFlatCursor();
    case FrameCursorKind::SizeNwse:
      return QCursor(Qt::SizeFDiagCursor);
    case FrameCursorKind::SizeNesw:
      return QCursor(Qt::SizeBDiagCursor);
    case FrameCursorKind::SizeWe:
      return QCursor(Qt::SizeHorCursor);
    case FrameCursorKind::SizeNs:
      return QCursor(Qt::SizeVerCursor);
    case FrameCursorKind::Arrow:
      break;
  }
  return QCursor(Qt::ArrowCursor);
}

void RestoreApplicationCursor() {
  while (QApplication::overrideCursor() != nullptr)
    QApplication::restoreOverrideCursor();
}

}  // namespace

void TMainAppForm::SelFrameTimerTimer() {
  if (!currentSourceImage_ || !SourceImage->HasPicture()) return;
  currentSourceImage_->AdvanceAnts();
  RepaintFrameLines(currentSourceImage_->FrameInView());
}

void TMainAppForm::RepaintFrameLines(const Rect& frame) {
  SourceImage->RepaintRect(Rect{frame.left, frame.top, frame.right, frame.top + 1});
  SourceImage->RepaintRect(Rect{frame.left, frame.bottom - 1, frame.right, frame.bottom});
  SourceImage->RepaintRect(Rect{frame.left, frame.top, frame.left + 1, frame.bottom});
  SourceImage->RepaintRect(Rect{frame.right - 1, frame.top, frame.right, frame.bottom});
}

void TMainAppForm::ImageCursorTimerTimer() {
  const QPoint global = QCursor::pos();
  const bool overPicture = SourceImage->rect().contains(SourceImage->mapFromGlobal(global));
  QWidget* viewport = SourceImageScrollBox->viewport();
  const bool overPane = viewport->rect().contains(viewport->mapFromGlobal(global));
  if (overPicture && overPane) return;
  RestoreApplicationCursor();
  ImageCursorTimer->stop();
}

void TMainAppForm::ApplyFrameCursor(const QCursor& cursor) {
  SourceImage->setCursor(cursor);
  if (QApplication::overrideCursor() != nullptr) {
    QApplication::changeOverrideCursor(cursor);
  } else {
    QApplication::setOverrideCursor(cursor);
  }
}

void TMainAppForm::UpdateFrameCursor(int x, int y) {
  const LogoNode* node = SelectedNode();
  if (node == nullptr || !node->IsLogo() || drag_.Dragging || !currentSourceImage_) return;
  ApplyFrameCursor(CursorOf(FrameCursor(x, y, currentSourceImage_->FrameForHitTest())));
}

void TMainAppForm::SourceImageMouseDown(int x, int y) {
  if (MouseBusy) return;
  MouseBusy = true;
  drag_.Dragging = true;
  UpdateFrameCursor(x, y);
  const LogoNode* node = SelectedNode();
  if (node != nullptr && node->IsLogo() && currentSourceImage_) {
    BeginFrameDrag(drag_, Point{x, y}, *currentSourceImage_);
    // The open hand closes on the frame it moves, until the release.
    if (drag_.DragKind == FrameHit::Inside) ApplyFrameCursor(HandGrabCursor());
  } else {
    drag_.DragKind = FrameHit::None;
  }
  MouseBusy = false;
}

void TMainAppForm::SourceImageMouseMove(int x, int y) {
  if (MouseBusy) return;
  ImageCursorTimer->start();
  MouseBusy = true;
  UpdateFrameCursor(x, y);
  DragStep(x, y);
  UpdateImageStatus();
  MouseBusy = false;
}

void TMainAppForm::SourceImageMouseUp(int x, int y) {
  if (MouseBusy) return;
  MouseBusy = true;
  const LogoNode* node = SelectedNode();
  if (drag_.Dragging && node != nullptr && node->IsLogo() && currentSourceImage_ &&
      !CurrentOptions().showlogochange) {
    RenderTargetLogo();
  }
  drag_.Dragging = false;
  UpdateFrameCursor(x, y);
  UpdateImageStatus();
  MouseBusy = false;
}

void TMainAppForm::DragStep(int x, int y) {
  const LogoNode* node = SelectedNode();
  if (node == nullptr || !node->IsLogo() || !currentSourceImage_) return;
  if (!drag_.Dragging || drag_.DragKind == FrameHit::None) return;
  TSourceImage& image = *currentSourceImage_;
  const Rect before = image.FrameInView();
  const DragBounds bounds{FitRect(image.LogoObject, image), image.LogoObject.keepproportions,
                          image.SpaceSize(), image.ViewSize()};
  StoreFrame(image.LogoObject, quillet::DragStep(drag_.DragKind, drag_.DragStartFrame,
                                                 drag_.DragStartPoint, Point{x, y}, bounds));
  // Only the old and the new frame lines changed.
  RepaintFrameLines(before);
  RepaintFrameLines(currentSourceImage_->FrameInView());
  if (CurrentOptions().showlogochange) RenderTargetLogo();
}

}  // namespace quillet

namespace quillet {

bool TMainAppForm::SourceImageKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  int dx = 0, dy = 0;
  switch (key) {
    case Qt::Key_Left:
      dx = -1;
      break;
    case Qt::Key_Right:
      dx = 1;
      break;
    case Qt::Key_Up:
      dy = -1;
      break;
    case Qt::Key_Down:
      dy = 1;
      break;
    default:
      return false;
  }
  const LogoNode* node = SelectedNode();
  if (node == nullptr || !node->IsLogo() || !currentSourceImage_ || drag_.Dragging) return true;
  const Qt::KeyboardModifiers shiftAlt = Qt::ShiftModifier | Qt::AltModifier;
  const bool resize = (modifiers & shiftAlt) == shiftAlt;
  const int step = !resize && (modifiers & Qt::ShiftModifier) ? 10 : 1;
  TSourceImage& image = *currentSourceImage_;
  const DragBounds bounds{FitRect(image.LogoObject, image), image.LogoObject.keepproportions,
                          image.SpaceSize(), image.ViewSize()};
  const Rect before = image.FrameInView();
  StoreFrame(image.LogoObject, NudgeFrame(resize ? FrameNudge::Resize : FrameNudge::Move,
                                          FrameOf(image.LogoObject), dx * step, dy * step, bounds));
  RepaintFrameLines(before);
  RepaintFrameLines(image.FrameInView());
  const Rect after = image.FrameInView();
  SourceImageScrollBox->ensureVisible((after.left + after.right) / 2,
                                      (after.top + after.bottom) / 2, after.Width() / 2 + 8,
                                      after.Height() / 2 + 8);
  RenderTargetLogo();
  UpdateImageStatus();
  return true;
}

}  // namespace quillet
