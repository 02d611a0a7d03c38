#include "gui/service/LinkLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace quillet {

TLinkLabel::TLinkLabel(const QString& text, bool underlined, QWidget* parent)
    : QLabel(text, parent) {
  // Addresses come from data files: never read them as markup.
  setTextFormat(Qt::PlainText);
  QFont font = this->font();
  font.setBold(true);
  font.setUnderline(underlined);
  setFont(font);
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
  setPalette(palette);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  // Only the text is the link, not the empty room beside it.
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setAccessibleDescription(QStringLiteral("Link"));
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    event->accept();
    return;
  }
  QLabel::mousePressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && pressed_) {
    pressed_ = false;
    event->accept();
    // A press dragged off the link and released elsewhere opens nothing.
    if (rect().contains(event->position().toPoint())) emit Clicked();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

void TLinkLabel::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        event->accept();
        emit Clicked();
        return;
      }
      break;
    default:
      break;
  }
  QLabel::keyPressEvent(event);
}

void TLinkLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.backgroundColor = palette().color(QPalette::Window);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

}  // namespace quillet
