#include "gui/app/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quillet {

void CentreOnScreen(QWidget& window) {
  QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  QRect frame = window.frameGeometry();
  frame.moveCenter(area.center());
  window.move(frame.topLeft());
}

}  // namespace quillet
