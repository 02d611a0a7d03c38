#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "gui/app/AboutBox.h"
#include "gui/app/Resources.h"

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { quillet::InitResources(); }
  void showsNameVersionAndPicture();
  void okCloses();
  void opensInTheMiddleOfTheScreen();
};

void AboutBoxTest::showsNameVersionAndPicture() {
  quillet::TAboutBox about;
  QCOMPARE(about.windowTitle(), QStringLiteral("About"));
  QCOMPARE(about.ProductName->text(), QStringLiteral("Quillet"));
  QCOMPARE(about.Version->text(), QStringLiteral("Version: 1.1.3"));
  QVERIFY(about.ProductName->font().bold());
  QVERIFY(about.Version->font().bold());
  QCOMPARE(about.ProgramIcon->size(), QSize(265, 161));
  QVERIFY(!about.ProgramIcon->pixmap().isNull());
  QVERIFY(about.ProgramIcon->hasScaledContents());
  QVERIFY(about.Panel1->frameShape() != QFrame::NoFrame);
  QCOMPARE(about.minimumSize(), about.maximumSize());
  QVERIFY(about.OKButton->isDefault());
  QCOMPARE(about.OKButton->text(), QStringLiteral("OK"));
}

void AboutBoxTest::okCloses() {
  quillet::TAboutBox about;
  QTimer::singleShot(0, &about, [&] { QTest::keyClick(&about, Qt::Key_Return); });
  QCOMPARE(about.exec(), int(QDialog::Accepted));
  QVERIFY(!about.isVisible());
}

// Even with a parent elsewhere, the dialog is centred on the screen.
void AboutBoxTest::opensInTheMiddleOfTheScreen() {
  QWidget parent;
  parent.setGeometry(0, 0, 200, 150);
  parent.show();
  quillet::TAboutBox about(&parent);
  about.show();
  const QPoint screenCentre = about.screen()->availableGeometry().center();
  QVERIFY((about.frameGeometry().center() - screenCentre).manhattanLength() <= 2);
}

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
