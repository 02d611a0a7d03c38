#include "gui/app/QtPrompts.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillet {

namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon IconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error:
    case MessageKind::ErrorReport:
      return QMessageBox::Critical;
    case MessageKind::Warning:
      return QMessageBox::Warning;
    case MessageKind::Information:
      return QMessageBox::Information;
    case MessageKind::Confirm:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QPushButton* AddButton(QMessageBox& box, const char* caption, QMessageBox::ButtonRole role) {
  return box.addButton(QString::fromUtf8(caption), role);
}

}  // namespace

Answer QtPrompts::Message(MessageKind kind, std::string_view text, Buttons buttons) {
  QMessageBox box(IconOf(kind), ToQString(CaptionOf(kind)), ToQString(text), QMessageBox::NoButton,
                  parent_.data());
  box.setTextFormat(Qt::PlainText);
  if (buttons == Buttons::Ok) {
    QPushButton* ok = AddButton(box, "OK", QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return Answer::Ok;
  }
  QPushButton* yes = AddButton(box, "&Yes", QMessageBox::YesRole);
  QPushButton* no = AddButton(box, "&No", QMessageBox::NoRole);
  QPushButton* cancel = nullptr;
  if (buttons == Buttons::YesNoCancel) cancel = AddButton(box, "Cancel", QMessageBox::RejectRole);
  box.setDefaultButton(yes);
  // Escape and the close box mean "Cancel" where there is one, else "No".
  box.setEscapeButton(cancel != nullptr ? cancel : no);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == yes) return Answer::Yes;
  if (clicked == no) return Answer::No;
  return cancel != nullptr ? Answer::Cancel : Answer::No;
}

std::optional<std::string> QtPrompts::Input(std::string_view caption, std::string_view prompt,
                                            std::string_view initial) {
  QDialog dialog(parent_.data());
  dialog.setWindowTitle(ToQString(caption));
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(ToQString(prompt), &dialog);
  label->setTextFormat(Qt::PlainText);
  auto* field = new QLineEdit(ToQString(initial), &dialog);
  field->selectAll();
  label->setBuddy(field);
  auto* buttons = new QDialogButtonBox(&dialog);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(label);
  layout->addWidget(field);
  layout->addWidget(buttons);
  dialog.setMinimumWidth(320);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return field->text().toStdString();
}

}  // namespace quillet
