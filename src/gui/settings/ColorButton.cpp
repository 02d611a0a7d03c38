#include "gui/settings/ColorButton.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace quillet {

QColor ToQColor(Color color) {
  return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

Color FromQColor(const QColor& color) {
  QColor rgb = color.toRgb();
  return MakeColor(static_cast<std::uint8_t>(rgb.red()), static_cast<std::uint8_t>(rgb.green()),
                   static_cast<std::uint8_t>(rgb.blue()));
}

std::optional<Color> ChooseColorWithDialog(Color initial, QWidget* parent) {
  QColor chosen = QColorDialog::getColor(ToQColor(initial), parent);
  if (!chosen.isValid()) return std::nullopt;
  return FromQColor(chosen);
}

TColorButton::TColorButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(38, 20);
  connect(this, &QAbstractButton::clicked, this, [this] { ButtonClick(); });
}

void TColorButton::SetSwatchColor(Color color) {
  color &= 0xFFFFFF;
  if (color == swatchColor_) return;
  swatchColor_ = color;
  update();
  emit SwatchColorChanged(swatchColor_);
}

void TColorButton::ButtonClick() {
  if (!chooser_) return;
  std::optional<Color> chosen = chooser_(swatchColor_, this);
  if (chosen) SetSwatchColor(*chosen);
}

void TColorButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton face;
  face.initFrom(this);
  if (isDown())
    face.state |= QStyle::State_Sunken;
  else
    face.state |= QStyle::State_Raised;
  painter.drawControl(QStyle::CE_PushButtonBevel, face);
  if (!isEnabled()) return;
  // The swatch spans (4, 4) to (width - 4, height - 4), outline included.
  QRect swatch(4, 4, width() - 8, height() - 8);
  if (swatch.width() <= 0 || swatch.height() <= 0) return;
  painter.setPen(QPen(Qt::black, 0));
  painter.setBrush(ToQColor(swatchColor_));
  painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}

}  // namespace quillet
