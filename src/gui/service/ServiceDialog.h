#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillet {

// The look the service windows share: a fixed size that fits the contents in
// the fonts of this desktop, no context-help button, and placement in the
// middle of the screen each time the window opens.
class TServiceDialog : public QDialog {
  Q_OBJECT

 protected:
  explicit TServiceDialog(QWidget* parent);

  void showEvent(QShowEvent* event) override;
};

namespace servicedialog {

// The program's button size; wider where a caption needs more room.
QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent);
QLabel* NewBoldLabel(const QString& text, const char* name, QWidget* parent);
// A field that shows "*" for every character typed.
QLineEdit* NewPasswordEdit(const char* name, QWidget* parent);
// The width of `characters` average characters of the widget's font.
int TextWidth(const QWidget& widget, int characters);

template <class Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace servicedialog

}  // namespace quillet
