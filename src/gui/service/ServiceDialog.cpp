#include "gui/service/ServiceDialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "gui/app/WindowPlacement.h"

namespace quillet {

TServiceDialog::TServiceDialog(QWidget* parent) : QDialog(parent) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void TServiceDialog::showEvent(QShowEvent* event) {
  // The size is final here: the layout has fitted the window to what it
  // shows this time.
  if (layout() != nullptr) layout()->activate();
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}

namespace servicedialog {

namespace {

constexpr QSize kButtonSize(75, 25);

}  // namespace

QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent) {
  auto* button = Named(new QPushButton(caption, parent), name);
  const QSize hint = button->sizeHint();
  button->setFixedSize(std::max(kButtonSize.width(), hint.width()),
                       std::max(kButtonSize.height(), hint.height()));
  return button;
}

QLabel* NewBoldLabel(const QString& text, const char* name, QWidget* parent) {
  auto* label = Named(new QLabel(text, parent), name);
  label->setTextFormat(Qt::PlainText);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

QLineEdit* NewPasswordEdit(const char* name, QWidget* parent) {
  auto* edit = Named(new QLineEdit(parent), name);
  edit->setEchoMode(QLineEdit::Password);
  // A star for every character typed, whatever the style draws by default.
  edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
  return edit;
}

int TextWidth(const QWidget& widget, int characters) {
  return widget.fontMetrics().averageCharWidth() * characters;
}

}  // namespace servicedialog

}  // namespace quillet
