// The capture through the desktop's screenshot portal, over a real D-Bus
// session bus of the test's own. No desktop portal can run here (it needs a
// Wayland compositor), so the test stands in for it: it owns the portal's
// name on the bus and answers Screenshot as the portal does, with a request
// object's Response signal naming a picture file.
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "acquire/UserScript.h"
#include "gui/acquire/GrabScreenForm.h"
#include "gui/acquire/ScreenCapture.h"
#include "gui/acquire/ScreenCapturePortal.h"

using namespace quillet;
using quillet::testing::UserScript;

namespace {

QScreen& Screen() {
  return *QGuiApplication::primaryScreen();
}

QImage Pattern(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x)
      image.setPixel(x, y, qRgb((x * 3 + y) & 0xFF, (y * 7) & 0xFF, (x ^ y) | 0x20));
  return image;
}

// The desktop portal's Screenshot interface as the test plays it.
class FakeScreenshotPortal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

 public:
  enum class Mode { Answer, Silent, ErrorReply };

  explicit FakeScreenshotPortal(QDBusConnection bus) : bus_(std::move(bus)) {}

  Mode mode = Mode::Answer;
  uint response = 0;
  QString uri;
  int calls = 0;
  QString parentWindow;
  QVariantMap options;

 public slots:
  QDBusObjectPath Screenshot(const QString& parent, const QVariantMap& given,
                             const QDBusMessage& message) {
    ++calls;
    parentWindow = parent;
    options = given;
    const QString path =
        PortalScreenCapture::RequestPath(message.service(), given.value("handle_token").toString());
    if (mode == Mode::ErrorReply) {
      message.setDelayedReply(true);
      bus_.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.Failed"),
                                         QStringLiteral("no screenshots today")));
      return {};
    }
    if (mode == Mode::Answer) {
      // As the portal does: the answer comes after the call has returned.
      QTimer::singleShot(20, this, [this, path] {
        QDBusMessage signal = QDBusMessage::createSignal(
            path, QString::fromLatin1(kPortalRequestInterface), QStringLiteral("Response"));
        QVariantMap results;
        results.insert(QStringLiteral("uri"), uri);
        signal << response << results;
        bus_.send(signal);
      });
    }
    return QDBusObjectPath(path);
  }

 private:
  QDBusConnection bus_;
};

// The portal on the bus for a test's length.
struct PortalOnBus {
  QDBusConnection bus =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal"));
  FakeScreenshotPortal portal{bus};
  bool ok = false;

  PortalOnBus() {
    ok = bus.isConnected() &&
         bus.registerObject(QString::fromLatin1(kPortalPath), &portal,
                            QDBusConnection::ExportAllSlots) &&
         bus.registerService(QString::fromLatin1(kPortalService));
  }
  ~PortalOnBus() {
    bus.unregisterService(QString::fromLatin1(kPortalService));
    bus.unregisterObject(QString::fromLatin1(kPortalPath));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
  }
};

constexpr QLatin1StringView kDesktopFile("Screenshot.png");

// A picture of the whole screen in its own pixels, saved in `folder` as
// the picture the portal's answer names; null when it cannot be saved.
QImage OfferTheDesktop(PortalOnBus& portal, const QTemporaryDir& folder) {
  const QSize pixels = Screen().geometry().size() * Screen().devicePixelRatio();
  const QImage desktop = Pattern(pixels);
  const QString file = folder.filePath(kDesktopFile);
  if (!desktop.save(file)) return {};
  portal.portal.uri = QUrl::fromLocalFile(file).toString();
  return desktop;
}

}  // namespace

class GrabPortalTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(QDBusConnection::sessionBus().isConnected()); }

  void reachableOnlyWhileThePortalIsOnTheBus() {
    QVERIFY(!PortalScreenCapture::Reachable());
    {
      PortalOnBus portal;
      QVERIFY(portal.ok);
      QVERIFY(PortalScreenCapture::Reachable());
    }
    QTRY_VERIFY(!PortalScreenCapture::Reachable());
  }

  void noBusNoCapture() {
    PortalScreenCapture capture(QDBusConnection(QStringLiteral("never-connected")));
    QCOMPARE(capture.Capabilities(), unsigned(ScreenCapture::NoCapability));
    QVERIFY(capture.NotAvailableText().contains(QStringLiteral("no session bus")));
    const ScreenShot shot = capture.Take(Screen());
    QCOMPARE(int(shot.outcome), int(CaptureOutcome::Failed));
  }

  void requestPaths() {
    QCOMPARE(PortalScreenCapture::RequestPath(QStringLiteral(":1.42"), QStringLiteral("t1")),
             QStringLiteral("/org/freedesktop/portal/desktop/request/1_42/t1"));
  }

  // The picture the portal names becomes the capture, in its own pixels.
  void theNamedPictureIsTheCapture() {
    PortalOnBus portal;
    QVERIFY(portal.ok);
    QTemporaryDir folder;
    const QImage desktop = OfferTheDesktop(portal, folder);
    QVERIFY(!desktop.isNull());

    PortalScreenCapture capture;
    QCOMPARE(capture.Name(), QStringLiteral("portal"));
    QCOMPARE(capture.Capabilities(), unsigned(ScreenCapture::CanCaptureScreen));
    const ScreenShot shot = capture.Take(Screen());
    QCOMPARE(int(shot.outcome), int(CaptureOutcome::Taken));
    QCOMPARE(shot.picture.size(), Screen().geometry().size() * Screen().devicePixelRatio());
    QCOMPARE(shot.picture.devicePixelRatio(), Screen().devicePixelRatio());
    QVERIFY(shot.picture == desktop.convertToFormat(QImage::Format_RGB32));

    QCOMPARE(portal.portal.calls, 1);
    QCOMPARE(portal.portal.parentWindow, QString());
    QCOMPARE(portal.portal.options.value("interactive").toBool(), false);
    QVERIFY(portal.portal.options.contains("interactive"));
    QVERIFY(!portal.portal.options.value("handle_token").toString().isEmpty());
    // The desktop's file is the desktop's.
    QVERIFY(QFile::exists(folder.filePath(kDesktopFile)));

    // A second capture asks again, under a token of its own.
    const QString firstToken = portal.portal.options.value("handle_token").toString();
    QCOMPARE(int(capture.Take(Screen()).outcome), int(CaptureOutcome::Taken));
    QCOMPARE(portal.portal.calls, 2);
    QVERIFY(portal.portal.options.value("handle_token").toString() != firstToken);
  }

  void unusableAnswers_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<uint>("response");
    QTest::addColumn<QString>("uri");  // "PATTERN" and "BLACK" name a file written by the test
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("detail");
    const int answer = int(FakeScreenshotPortal::Mode::Answer);
    const int failed = int(CaptureOutcome::Failed);
    QTest::newRow("the user cancelled")
        << answer << 1u << "PATTERN" << int(CaptureOutcome::Cancelled) << QString();
    QTest::newRow("the desktop refused")
        << answer << 2u << "PATTERN" << failed
        << QStringLiteral("the desktop refused to take the screenshot (answer 2)");
    QTest::newRow("no answer") << int(FakeScreenshotPortal::Mode::Silent) << 0u << "PATTERN"
                               << failed
                               << QStringLiteral(
                                      "the desktop portal did not answer within 0.4 seconds");
    QTest::newRow("an error for the call")
        << int(FakeScreenshotPortal::Mode::ErrorReply) << 0u << "PATTERN" << failed
        << QStringLiteral("the desktop portal answered: no screenshots today");
    QTest::newRow("a picture elsewhere")
        << answer << 0u << "https://example.invalid/shot.png" << failed
        << QStringLiteral(
               "the desktop portal named no file of this computer "
               "(\"https://example.invalid/shot.png\")");
    QTest::newRow("a file that is gone")
        << answer << 0u << "file:///nonexistent/shot.png" << failed
        << QStringLiteral("the portal's picture /nonexistent/shot.png cannot be read");
    QTest::newRow("an all black picture")
        << answer << 0u << "BLACK" << failed << QStringLiteral("the picture came back all black");
  }
  void unusableAnswers() {
    QFETCH(int, mode);
    QFETCH(uint, response);
    QFETCH(QString, uri);
    QFETCH(int, outcome);
    QFETCH(QString, detail);
    PortalOnBus portal;
    QVERIFY(portal.ok);
    QTemporaryDir folder;
    if (uri == "PATTERN" || uri == "BLACK") {
      QImage picture = Pattern(QSize(64, 48));
      if (uri == "BLACK") picture.fill(Qt::black);
      const QString file = folder.filePath(QStringLiteral("shot.png"));
      QVERIFY(picture.save(file));
      uri = QUrl::fromLocalFile(file).toString();
    }
    portal.portal.mode = FakeScreenshotPortal::Mode(mode);
    portal.portal.response = response;
    portal.portal.uri = uri;
    PortalScreenCapture capture(QDBusConnection::sessionBus(), 400);
    const ScreenShot shot = capture.Take(Screen());
    QCOMPARE(int(shot.outcome), outcome);
    QVERIFY2(shot.detail.startsWith(detail), qPrintable(shot.detail));
    QVERIFY(shot.picture.isNull());
  }

  // The portal's picture is what the overlay shows and what the grab cuts.
  void theOverlayShowsThePortalsPicture() {
    PortalOnBus portal;
    QVERIFY(portal.ok);
    QTemporaryDir folder;
    const QImage desktop = OfferTheDesktop(portal, folder);
    QVERIFY(!desktop.isNull());

    TGrabScreenForm overlay(std::make_unique<PortalScreenCapture>());
    QImage shown;
    UserScript user({{"the overlay", [&] { return overlay.isVisible(); },
                      [&] {
                        shown = overlay.ShownPicture();
                        QTest::mousePress(overlay.ScreenImage, Qt::LeftButton, {}, QPoint(20, 30));
                        QTest::mouseMove(overlay.ScreenImage, QPoint(60, 80));
                        QTest::mouseRelease(overlay.ScreenImage, Qt::LeftButton, {},
                                            QPoint(60, 80));
                      }}});
    const TGrabScreenForm::Outcome outcome = overlay.Run(nullptr);
    QVERIFY2(user.Failure().isEmpty(), qPrintable(user.Failure()));
    QCOMPARE(int(outcome.kind), int(TGrabScreenForm::Outcome::Shown));
    QVERIFY(shown == desktop.convertToFormat(QImage::Format_RGB32));
    const double scale = Screen().devicePixelRatio();
    const int left = int(20 * scale), top = int(30 * scale);
    const int right = int(60 * scale) + 1, bottom = int(80 * scale) + 1;
    QCOMPARE(outcome.picture.Width(), right - left);
    QCOMPARE(outcome.picture.Height(), bottom - top);
    const QRgb corner = desktop.pixel(left, top);
    QCOMPARE(outcome.picture.Pixel(0, 0),
             MakeColor(std::uint8_t(qRed(corner)), std::uint8_t(qGreen(corner)),
                       std::uint8_t(qBlue(corner))));
    const QRgb last = desktop.pixel(right - 1, bottom - 1);
    QCOMPARE(
        outcome.picture.Pixel(right - left - 1, bottom - top - 1),
        MakeColor(std::uint8_t(qRed(last)), std::uint8_t(qGreen(last)), std::uint8_t(qBlue(last))));
  }

  // A portal's picture holds every screen; the grab's is the primary one.
  void theScreensPartOfTheDesktop() {
    const QImage desktop = Pattern(QSize(400, 100));
    // Two screens side by side, 100 × 50 logical each, at 2 pixels a
    // logical pixel.
    QImage right = ScreenPartOf(desktop, QRect(100, 0, 100, 50), QRect(0, 0, 200, 50));
    QCOMPARE(right.size(), QSize(200, 100));
    QCOMPARE(right.devicePixelRatio(), 2.0);
    QCOMPARE(right.pixel(0, 0), desktop.pixel(200, 0));
    QImage whole = ScreenPartOf(desktop, QRect(0, 0, 400, 100), QRect(0, 0, 400, 100));
    QVERIFY(whole == desktop);
    QCOMPARE(whole.devicePixelRatio(), 1.0);
    QImage unknown = ScreenPartOf(desktop, QRect(0, 0, 100, 50), QRect());
    QCOMPARE(unknown.size(), desktop.size());
  }
};

namespace {

// A private session bus that offers no services but those the test puts
// on it.
constexpr const char* kBusConfig =
    "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
    " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
    "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";

}  // namespace

int main(int argc, char** argv) {
  if (const char* config = std::getenv("QUILLET_TEST_BUS_CONFIG")) {
    std::filesystem::remove(config);
  } else {
    char configPath[] = "/tmp/quillet-bus-XXXXXX";
    const int fd = mkstemp(configPath);
    if (fd < 0 || write(fd, kBusConfig, std::strlen(kBusConfig)) < 0) {
      std::perror("bus configuration");
      return 1;
    }
    close(fd);
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 1;
    const std::string configOption = std::string("--config-file=") + configPath;
    const std::string marker = std::string("QUILLET_TEST_BUS_CONFIG=") + configPath;
    std::vector<char*> arguments = {const_cast<char*>("dbus-run-session"),
                                    const_cast<char*>(configOption.c_str()),
                                    const_cast<char*>("--"),
                                    const_cast<char*>("env"),
                                    const_cast<char*>(marker.c_str()),
                                    self};
    for (int i = 1; i < argc; ++i)
      arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    execvp("dbus-run-session", arguments.data());
    std::perror("dbus-run-session");
    std::filesystem::remove(configPath);
    return 1;
  }
  QApplication application(argc, argv);
  GrabPortalTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "GrabPortalTest.moc"
