#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "gui/app/QtPrompts.h"

using quillet::Answer;
using quillet::Buttons;
using quillet::MessageKind;

Q_DECLARE_METATYPE(MessageKind)
Q_DECLARE_METATYPE(Buttons)
Q_DECLARE_METATYPE(Answer)

namespace {

// Acts on the modal box once it is up: Qt Test cannot reach into exec().
void WhenShown(std::function<void(QDialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      QTimer::singleShot(10, [act] { WhenShown(act); });
      return;
    }
    act(*box);
  });
}

QStringList ButtonTexts(QDialog& box) {
  QStringList texts;
  for (auto* button : box.findChildren<QPushButton*>())
    texts << button->text();
  texts.sort();
  return texts;
}

QPushButton* ButtonNamed(QDialog& box, const QString& text) {
  for (auto* button : box.findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

}  // namespace

class QtPromptsTest : public QObject {
  Q_OBJECT

 private slots:
  void messageBoxesCarryCaptionsAndButtons_data();
  void messageBoxesCarryCaptionsAndButtons();
  void escapeMeansCancelOrNo_data();
  void escapeMeansCancelOrNo();
  void inputBoxReturnsTheTextOrNothing();
};

void QtPromptsTest::messageBoxesCarryCaptionsAndButtons_data() {
  QTest::addColumn<MessageKind>("kind");
  QTest::addColumn<Buttons>("buttons");
  QTest::addColumn<QString>("click");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QStringList>("texts");
  QTest::addColumn<Answer>("answer");
  QTest::newRow("error") << MessageKind::Error << Buttons::Ok << "OK"
                         << "Error" << QStringList{"OK"} << Answer::Ok;
  QTest::newRow("warning") << MessageKind::Warning << Buttons::Ok << "OK"
                           << "Warning" << QStringList{"OK"} << Answer::Ok;
  QTest::newRow("information") << MessageKind::Information << Buttons::Ok << "OK"
                               << "Information" << QStringList{"OK"} << Answer::Ok;
  QTest::newRow("error report") << MessageKind::ErrorReport << Buttons::Ok << "OK"
                                << "Quillet" << QStringList{"OK"} << Answer::Ok;
  QTest::newRow("confirm yes") << MessageKind::Confirm << Buttons::YesNo << "&Yes"
                               << "Confirm" << QStringList{"&No", "&Yes"} << Answer::Yes;
  QTest::newRow("confirm no") << MessageKind::Confirm << Buttons::YesNo << "&No"
                              << "Confirm" << QStringList{"&No", "&Yes"} << Answer::No;
  QTest::newRow("three ways, cancel")
      << MessageKind::Confirm << Buttons::YesNoCancel << "Cancel"
      << "Confirm" << QStringList{"&No", "&Yes", "Cancel"} << Answer::Cancel;
}

void QtPromptsTest::messageBoxesCarryCaptionsAndButtons() {
  QFETCH(MessageKind, kind);
  QFETCH(Buttons, buttons);
  QFETCH(QString, click);
  QFETCH(QString, caption);
  QFETCH(QStringList, texts);
  QFETCH(Answer, answer);
  QString seenCaption, seenText;
  QStringList seenButtons;
  WhenShown([&](QDialog& box) {
    seenCaption = box.windowTitle();
    seenText = static_cast<QMessageBox&>(box).text();
    seenButtons = ButtonTexts(box);
    ButtonNamed(box, click)->click();
  });
  quillet::QtPrompts prompts;
  QCOMPARE(prompts.Message(kind, "Picture <b>1</b> is gone", buttons), answer);
  QCOMPARE(seenCaption, caption);
  QCOMPARE(seenText, QStringLiteral("Picture <b>1</b> is gone"));
  QCOMPARE(seenButtons, texts);
}

void QtPromptsTest::escapeMeansCancelOrNo_data() {
  QTest::addColumn<Buttons>("buttons");
  QTest::addColumn<Answer>("answer");
  QTest::newRow("yes or no") << Buttons::YesNo << Answer::No;
  QTest::newRow("yes, no or cancel") << Buttons::YesNoCancel << Answer::Cancel;
}

void QtPromptsTest::escapeMeansCancelOrNo() {
  QFETCH(Buttons, buttons);
  QFETCH(Answer, answer);
  WhenShown([](QDialog& box) { QTest::keyClick(&box, Qt::Key_Escape); });
  quillet::QtPrompts prompts;
  QCOMPARE(prompts.Message(MessageKind::Confirm, "Delete?", buttons), answer);
}

void QtPromptsTest::inputBoxReturnsTheTextOrNothing() {
  quillet::QtPrompts prompts;
  QString caption, prompt, initial;
  WhenShown([&](QDialog& box) {
    caption = box.windowTitle();
    prompt = box.findChild<QLabel*>()->text();
    auto* field = box.findChild<QLineEdit*>();
    initial = field->text();
    field->setText(QStringLiteral("Holidays"));
    ButtonNamed(box, QStringLiteral("OK"))->click();
  });
  QCOMPARE(prompts.Input("New folder", "Folder name:", "New Folder"),
           std::optional<std::string>("Holidays"));
  QCOMPARE(caption, QStringLiteral("New folder"));
  QCOMPARE(prompt, QStringLiteral("Folder name:"));
  QCOMPARE(initial, QStringLiteral("New Folder"));

  WhenShown([](QDialog& box) { ButtonNamed(box, QStringLiteral("Cancel"))->click(); });
  QCOMPARE(prompts.Input("Rename", "New name:", "a.jpg"), std::optional<std::string>());
}

QTEST_MAIN(QtPromptsTest)
#include "QtPromptsTest.moc"
