#include <QTest>
class ScanWindowTest : public QObject {
  Q_OBJECT
};
QTEST_MAIN(ScanWindowTest)
#include "ScanWindowTest.moc"
