#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QToolTip>

#include "gui/service/QRCodeView.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

using quillet::TQRCodeView;
using quillet::testing::RunProcess;
using quillet::testing::TempDir;

Q_DECLARE_METATYPE(QSize)

namespace {

const QRgb kUnpainted = qRgb(255, 0, 0);

// The view as the screen shows it at `scale` device pixels a logical pixel,
// over a colour that tells what it left unpainted.
QImage Render(TQRCodeView& view, qreal scale) {
  QImage image(QSize(qRound(view.width() * scale), qRound(view.height() * scale)),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(scale);
  image.fill(kUnpainted);
  view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

// Where the white square of the code lies; empty when nothing was painted.
QRect PaintedArea(const QImage& image) {
  QRect area;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != kUnpainted) area |= QRect(x, y, 1, 1);
  return area;
}

// What zbarimg reads from the picture; its own error output when it reads
// nothing.
std::string Decode(const QImage& image) {
  TempDir dir;
  const std::string path = dir.Path() + "code.png";
  if (!image.save(QString::fromStdString(path), "PNG")) return "<not saved>";
  const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
  if (zbarimg.isEmpty()) return "<zbarimg is not installed (zbar-tools)>";
  const auto result = RunProcess(zbarimg.toStdString(), {"--raw", "-q", path});
  if (result.exitCode != 0) return "<zbarimg " + std::to_string(result.exitCode) + result.err + ">";
  std::string text = result.out;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

class QRCodeViewTest : public QObject {
  Q_OBJECT

 private slots:
  void decodesBackAtEveryScale_data();
  void decodesBackAtEveryScale();
  void emptyOrOversizedTextShowsNothing();
  void clickCopiesTheText();
};

void QRCodeViewTest::decodesBackAtEveryScale_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QSize>("size");
  QTest::addColumn<qreal>("scale");
  const QString login =
      QStringLiteral("http://wap.quillet-logos.com/?login=Ann.Smith&password=S3cret%26x");
  const QString upload = QStringLiteral("http://127.0.0.1:8080/?id=4711");
  QTest::newRow("hint, scale 1") << login << QSize(200, 200) << 1.0;
  QTest::newRow("hint, scale 2") << login << QSize(200, 200) << 2.0;
  QTest::newRow("hint, scale 1.5") << login << QSize(200, 200) << 1.5;
  QTest::newRow("panel, scale 1") << upload << QSize(100, 100) << 1.0;
  QTest::newRow("panel, scale 2") << upload << QSize(100, 100) << 2.0;
  QTest::newRow("wide panel, scale 1.25") << upload << QSize(160, 100) << 1.25;
}

void QRCodeViewTest::decodesBackAtEveryScale() {
  QFETCH(QString, text);
  QFETCH(QSize, size);
  QFETCH(qreal, scale);
  TQRCodeView view;
  view.SetText(text);
  view.setFixedSize(size);
  QVERIFY(view.HasCode());
  const QImage image = Render(view, scale);

  // The code is a square of whole modules of whole device pixels: every
  // module one solid colour, dark exactly where the code says.
  const QRect area = PaintedArea(image);
  const int side = view.Modules().size + 2 * TQRCodeView::kQuietZone;
  QCOMPARE(area.width(), area.height());
  QCOMPARE(area.width() % side, 0);
  const int pixels = area.width() / side;
  QVERIFY(pixels >= 1);
  // As large as fits, and centred.
  const int room = qMin(image.width(), image.height());
  QVERIFY(area.width() <= room && area.width() + side > room);
  QVERIFY(qAbs(area.center().x() - image.rect().center().x()) <= 1);
  QVERIFY(qAbs(area.center().y() - image.rect().center().y()) <= 1);
  for (int y = 0; y < area.height(); ++y) {
    for (int x = 0; x < area.width(); ++x) {
      const int mx = x / pixels - TQRCodeView::kQuietZone;
      const int my = y / pixels - TQRCodeView::kQuietZone;
      const bool inSymbol =
          mx >= 0 && my >= 0 && mx < view.Modules().size && my < view.Modules().size;
      const QRgb expected =
          inSymbol && view.Modules().Dark(mx, my) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
      if (image.pixel(area.left() + x, area.top() + y) != expected)
        QFAIL(qPrintable(QStringLiteral("pixel %1,%2 of the code").arg(x).arg(y)));
    }
  }
  QCOMPARE(QString::fromStdString(Decode(image)), text);
}

void QRCodeViewTest::emptyOrOversizedTextShowsNothing() {
  TQRCodeView view;
  view.setFixedSize(120, 120);
  QVERIFY(!view.HasCode());
  QVERIFY(PaintedArea(Render(view, 1)).isEmpty());
  QVERIFY(view.toolTip().isEmpty());

  view.SetText(QStringLiteral("http://127.0.0.1/?id=1"));
  QVERIFY(view.HasCode());
  QVERIFY(!PaintedArea(Render(view, 1)).isEmpty());

  // More than the largest code holds: nothing rather than a wrong code.
  view.SetText(QString(3000, QLatin1Char('x')));
  QVERIFY(!view.HasCode());
  QVERIFY(PaintedArea(Render(view, 2)).isEmpty());

  view.SetText(QString());
  QVERIFY(!view.HasCode());
  QVERIFY(PaintedArea(Render(view, 1)).isEmpty());
  QVERIFY(view.toolTip().isEmpty());
}

void QRCodeViewTest::clickCopiesTheText() {
  const QString address = QStringLiteral("http://wap.quillet-logos.com/?login=ann&password=pw");
  TQRCodeView view;
  view.setFixedSize(150, 150);
  QSignalSpy copied(&view, &TQRCodeView::Copied);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));

  // Nothing to copy yet.
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  QTest::mouseClick(&view, Qt::LeftButton);
  QCOMPARE(copied.count(), 0);
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

  view.SetText(address);
  QCOMPARE(view.toolTip(), QStringLiteral("Click to copy the address"));
  QCOMPARE(view.cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseClick(&view, Qt::RightButton);
  QCOMPARE(copied.count(), 0);
  QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(75, 75));
  QCOMPARE(copied.count(), 1);
  QCOMPARE(QGuiApplication::clipboard()->text(), address);
  QTRY_COMPARE(QToolTip::text(), QStringLiteral("Copied"));

  // A press released off the code copies nothing.
  QGuiApplication::clipboard()->setText(QStringLiteral("other"));
  QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(75, 75));
  QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(400, 75));
  QCOMPARE(copied.count(), 1);
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("other"));
}

QTEST_MAIN(QRCodeViewTest)
#include "QRCodeViewTest.moc"
