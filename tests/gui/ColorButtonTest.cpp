#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <optional>

#include "gui/settings/ColorButton.h"

using quillet::Color;
using quillet::TColorButton;

namespace {

QImage Face(TColorButton& button) {
  return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class ColorButtonTest : public QObject {
  Q_OBJECT

 private slots:
  void startsWhiteAndConvertsColours();
  void confirmedChoiceBecomesTheSwatch();
  void cancelledChoiceChangesNothing();
  void paintsTheSwatchOnlyWhileEnabled();
};

void ColorButtonTest::startsWhiteAndConvertsColours() {
  TColorButton button;
  QCOMPARE(button.SwatchColor(), quillet::kWhite);
  QCOMPARE(button.focusPolicy(), Qt::NoFocus);
  QCOMPARE(quillet::ToQColor(0x0000FF), QColor(255, 0, 0));
  QCOMPARE(quillet::FromQColor(QColor(0x12, 0x34, 0x56)), Color(0x563412));
}

void ColorButtonTest::confirmedChoiceBecomesTheSwatch() {
  TColorButton button;
  button.SetSwatchColor(0x00FF00);
  std::optional<Color> offered;
  button.SetColorChooser([&](Color initial, QWidget*) -> std::optional<Color> {
    offered = initial;
    return Color(0x123456);
  });
  QSignalSpy changed(&button, &TColorButton::SwatchColorChanged);
  QTest::mouseClick(&button, Qt::LeftButton);
  QCOMPARE(offered, std::optional<Color>(0x00FF00));
  QCOMPARE(button.SwatchColor(), Color(0x123456));
  QCOMPARE(changed.count(), 1);
  QCOMPARE(changed.at(0).at(0).value<quint32>(), quint32(0x123456));
}

void ColorButtonTest::cancelledChoiceChangesNothing() {
  TColorButton button;
  button.SetSwatchColor(0x0000FF);
  button.SetColorChooser([](Color, QWidget*) -> std::optional<Color> { return std::nullopt; });
  QSignalSpy changed(&button, &TColorButton::SwatchColorChanged);
  QTest::mouseClick(&button, Qt::LeftButton);
  QCOMPARE(button.SwatchColor(), Color(0x0000FF));
  QCOMPARE(changed.count(), 0);
}

void ColorButtonTest::paintsTheSwatchOnlyWhileEnabled() {
  TColorButton button;
  button.SetSwatchColor(0x0000FF);  // red
  const int w = button.width();
  const int h = button.height();
  QImage face = Face(button);
  QCOMPARE(face.pixelColor(w / 2, h / 2), QColor(255, 0, 0));
  // The outline is black and one pixel wide, from (4, 4) to (w - 4, h - 4).
  QCOMPARE(face.pixelColor(4, 4), QColor(0, 0, 0));
  QCOMPARE(face.pixelColor(w - 5, h - 5), QColor(0, 0, 0));
  QCOMPARE(face.pixelColor(5, 5), QColor(255, 0, 0));
  QVERIFY(face.pixelColor(3, h / 2) != QColor(0, 0, 0));
  QVERIFY(face.pixelColor(w - 4, h / 2) != QColor(0, 0, 0));

  button.setEnabled(false);
  face = Face(button);
  QVERIFY(face.pixelColor(w / 2, h / 2) != QColor(255, 0, 0));
  QVERIFY(face.pixelColor(4, h / 2) != QColor(0, 0, 0));
  QCOMPARE(button.SwatchColor(), Color(0x0000FF));
}

QTEST_MAIN(ColorButtonTest)
#include "ColorButtonTest.moc"
