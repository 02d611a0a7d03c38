#include "gui/app/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace quillet {

void CentreOnScreen(QWidget& window) {
  QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  QRect frame = window.frameGeometry();
  frame.moveCenter(area.center());
  // A window larger than the screen keeps its title and menus on it.
  window.move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
}

}  // namespace quillet
