#include "gui/acquire/ScreenCapturePortal.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QImageReader>
#include <QObject>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

namespace quillet {
namespace {

// Receives the request object's Response and ends the wait.
class PortalRequestWaiter : public QObject {
  Q_OBJECT

 public:
  PortalRequestWaiter(QDBusConnection bus, QEventLoop& loop) : bus_(std::move(bus)), loop_(loop) {}
  ~PortalRequestWaiter() override { Unlisten(); }

  bool Listen(const QString& path) {
    Unlisten();
    // Any sender: the portal's unique name may only come to be with this
    // very call, when the bus starts it.
    if (!bus_.connect(QString(), path, QString::fromLatin1(kPortalRequestInterface),
                      QStringLiteral("Response"), this, SLOT(OnResponse(uint, QVariantMap))))
      return false;
    path_ = path;
    return true;
  }

  void Fail(const QString& detail) { Finish(CaptureOutcome::Failed, detail); }

  bool done = false;
  CaptureOutcome outcome = CaptureOutcome::Failed;
  QString detail;
  QString uri;

 public slots:
  void OnResponse(uint response, const QVariantMap& results) {
    if (done) return;
    if (response == 0) {
      uri = results.value(QStringLiteral("uri")).toString();
      Finish(CaptureOutcome::Taken, {});
    } else if (response == 1) {
      Finish(CaptureOutcome::Cancelled, {});
    } else {
      Finish(
          CaptureOutcome::Failed,
          QStringLiteral("the desktop refused to take the screenshot (answer %1)").arg(response));
    }
  }

 private:
  void Finish(CaptureOutcome how, const QString& why) {
    if (done) return;
    done = true;
    outcome = how;
    detail = why;
    loop_.quit();
  }

  void Unlisten() {
    if (path_.isEmpty()) return;
    bus_.disconnect(QString(), path_, QString::fromLatin1(kPortalRequestInterface),
                    QStringLiteral("Response"), this, SLOT(OnResponse(uint, QVariantMap)));
    path_.clear();
  }

  QDBusConnection bus_;
  QEventLoop& loop_;
  QString path_;
};

}  // namespace

PortalScreenCapture::PortalScreenCapture(QDBusConnection bus, int timeoutMs)
    : bus_(std::move(bus)), timeoutMs_(timeoutMs) {}

bool PortalScreenCapture::Reachable(QDBusConnection bus) {
  if (!bus.isConnected() || bus.interface() == nullptr) return false;
  const QString service = QString::fromLatin1(kPortalService);
  if (bus.interface()->isServiceRegistered(service).value()) return true;
  return bus.interface()->activatableServiceNames().value().contains(service);
}

unsigned PortalScreenCapture::Capabilities() const {
  return bus_.isConnected() ? CanCaptureScreen : NoCapability;
}

QString PortalScreenCapture::NotAvailableText() const {
  if (bus_.isConnected()) return {};
  return QStringLiteral(
      "Grabbing from the screen is not available: there is no session bus to reach the "
      "desktop's screenshot portal.");
}

QString PortalScreenCapture::RequestPath(const QString& uniqueName, const QString& token) {
  QString sender = uniqueName.startsWith(u':') ? uniqueName.mid(1) : uniqueName;
  sender.replace(u'.', u'_');
  return QString::fromLatin1(kPortalPath) + QStringLiteral("/request/") + sender + u'/' + token;
}

ScreenShot PortalScreenCapture::Capture(QScreen& screen) {
  if (!bus_.isConnected())
    return {CaptureOutcome::Failed, {}, QStringLiteral("there is no session bus")};
  const QString token =
      QStringLiteral("quillet_%1_%2").arg(QCoreApplication::applicationPid()).arg(++requests_);
  QEventLoop loop;
  PortalRequestWaiter waiter(bus_, loop);
  // Listening before the call: the answer may come at once.
  if (!waiter.Listen(RequestPath(bus_.baseService(), token)))
    return {CaptureOutcome::Failed,
            {},
            QStringLiteral("the session bus did not let the program wait for the portal")};

  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kPortalService), QString::fromLatin1(kPortalPath),
      QString::fromLatin1(kPortalScreenshotInterface), QStringLiteral("Screenshot"));
  QVariantMap options;
  options.insert(QStringLiteral("handle_token"), token);
  options.insert(QStringLiteral("interactive"), false);
  call << QString() << options;
  QDBusPendingCallWatcher watcher(bus_.asyncCall(call, timeoutMs_));
  QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &waiter, [&] {
    const QDBusPendingReply<QDBusObjectPath> reply = watcher;
    if (reply.isError()) {
      waiter.Fail(QStringLiteral("the desktop portal answered: ") + reply.error().message());
      return;
    }
    // Portals older than the handle token choose the path themselves.
    const QString handle = reply.value().path();
    if (!waiter.done && handle != RequestPath(bus_.baseService(), token)) waiter.Listen(handle);
  });
  QTimer timeout;
  timeout.setSingleShot(true);
  QObject::connect(&timeout, &QTimer::timeout, &waiter, [&] {
    waiter.Fail(QStringLiteral("the desktop portal did not answer within %1 seconds")
                    .arg(timeoutMs_ / 1000.0));
  });
  timeout.start(timeoutMs_);
  if (!waiter.done) loop.exec();

  if (waiter.outcome != CaptureOutcome::Taken) return {waiter.outcome, {}, waiter.detail};
  const QUrl url(waiter.uri);
  if (!url.isLocalFile())
    return {CaptureOutcome::Failed,
            {},
            QStringLiteral("the desktop portal named no file of this computer (\"%1\")")
                .arg(waiter.uri)};
  const QString path = url.toLocalFile();
  QImageReader reader(path);
  const QImage desktop = reader.read();
  if (desktop.isNull())
    return {CaptureOutcome::Failed,
            {},
            QStringLiteral("the portal's picture %1 cannot be read (%2)")
                .arg(path, reader.errorString())};
  return {CaptureOutcome::Taken,
          ScreenPartOf(desktop, screen.geometry(), screen.virtualGeometry()),
          {}};
}

}  // namespace quillet

#include "ScreenCapturePortal.moc"
