#pragma once

#include <QAbstractButton>
#include <functional>
#include <optional>

#include "core/codecs/Bitmap.h"

namespace quillet {

// Asks the user for a colour, starting from `initial`; nullopt when the user
// cancels. The program shows the system's colour dialog; tests answer
// without one.
using ColorChooser = std::function<std::optional<Color>(Color initial, QWidget* parent)>;

// The colour dialog of the running program.
std::optional<Color> ChooseColorWithDialog(Color initial, QWidget* parent);

QColor ToQColor(Color color);
Color FromQColor(const QColor& color);

// A flat push button that shows a colour swatch while it is enabled and lets
// the user pick that colour with a click. It never takes the focus.
class TColorButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit TColorButton(QWidget* parent = nullptr);

  Color SwatchColor() const { return swatchColor_; }
  void SetSwatchColor(Color color);

  void SetColorChooser(ColorChooser chooser) { chooser_ = std::move(chooser); }

  QSize sizeHint() const override { return QSize(38, 20); }

 signals:
  // Emitted whenever the swatch takes a new colour, by the user or not.
  void SwatchColorChanged(quint32 color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ButtonClick();

  Color swatchColor_ = kWhite;
  ColorChooser chooser_ = ChooseColorWithDialog;
};

}  // namespace quillet
