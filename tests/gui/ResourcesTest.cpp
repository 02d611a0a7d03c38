#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include "gui/app/Cursors.h"
#include "gui/app/Resources.h"

class ResourcesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { quillet::InitResources(); }
  void everyIconDraws_data();
  void everyIconDraws();
  void bitmapsAreSixteenPixelsWithDoubleSizeTwins_data();
  void bitmapsAreSixteenPixelsWithDoubleSizeTwins();
  void handCursorsCarryTheirPicturesAndHotSpots();
};

void ResourcesTest::everyIconDraws_data() {
  QTest::addColumn<QString>("path");
  for (const char* name :
       {"open",      "save",      "twain",       "grab",    "upload",       "stopupload",
        "newfolder", "rename",    "delete",      "convert", "mirror",       "rotate",
        "options",   "fit",       "links",       "help",    "sendfriend",   "about",
        "exit",      "tree-logo", "tree-folder", "quillet", "about-picture"}) {
    QTest::newRow(name) << QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(name));
  }
}

void ResourcesTest::everyIconDraws() {
  QFETCH(QString, path);
  QIcon icon(path);
  QVERIFY(!icon.isNull());
  QImage image = icon.pixmap(QSize(48, 48)).toImage().convertToFormat(QImage::Format_ARGB32);
  QVERIFY(!image.isNull());
  // Something opaque is drawn, and not everything: a picture, not a block.
  int opaque = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      opaque += qAlpha(image.pixel(x, y)) > 200 ? 1 : 0;
  QVERIFY2(opaque > 48 * 48 / 10, qPrintable(path));
}

void ResourcesTest::bitmapsAreSixteenPixelsWithDoubleSizeTwins_data() {
  QTest::addColumn<QString>("name");
  for (const char* name : {"UPLOAD_BOX_BMP", "UPLOAD_BMP", "STOPUPLOAD_BMP"})
    QTest::newRow(name) << QString::fromLatin1(name);
}

void ResourcesTest::bitmapsAreSixteenPixelsWithDoubleSizeTwins() {
  QFETCH(QString, name);
  QImage normal(QStringLiteral(":/bitmaps/%1.png").arg(name));
  QImage doubled(QStringLiteral(":/bitmaps/%1@2x.png").arg(name));
  QCOMPARE(normal.size(), QSize(16, 16));
  QCOMPARE(doubled.size(), QSize(32, 32));
}

void ResourcesTest::handCursorsCarryTheirPicturesAndHotSpots() {
  QCursor flat = quillet::HandFlatCursor();
  QCursor grab = quillet::HandGrabCursor();
  QCOMPARE(flat.shape(), Qt::BitmapCursor);
  QCOMPARE(flat.hotSpot(), QPoint(7, 16));
  QCOMPARE(flat.pixmap().size(), QSize(32, 32));
  QCOMPARE(grab.pixmap().size(), QSize(32, 32));
  QCOMPARE(grab.hotSpot(), quillet::kHandGrabHotSpot);
  QImage picture = flat.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);      // transparent around the hand
  QVERIFY(qAlpha(picture.pixel(16, 20)) > 200);  // the palm
}

QTEST_MAIN(ResourcesTest)
#include "ResourcesTest.moc"
