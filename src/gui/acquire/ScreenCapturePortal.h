#pragma once

#include <QDBusConnection>
#include <QString>

#include "gui/acquire/ScreenCapture.h"

namespace quillet {

inline constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
inline constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
inline constexpr const char* kPortalScreenshotInterface = "org.freedesktop.portal.Screenshot";
inline constexpr const char* kPortalRequestInterface = "org.freedesktop.portal.Request";
// The desktop may first ask the user whether the program may take
// screenshots at all; that answer is the user's to give.
inline constexpr int kPortalTimeoutMs = 120000;

// The screen through the desktop's screenshot portal, for sessions where the
// program may not read the screen itself (Wayland): Screenshot with
// interactive=false, then the Response signal of the request object, which
// names the file the desktop wrote. The file belongs to the desktop and is
// left where it is.
class PortalScreenCapture : public ScreenCapture {
 public:
  explicit PortalScreenCapture(QDBusConnection bus = QDBusConnection::sessionBus(),
                               int timeoutMs = kPortalTimeoutMs);

  // Whether the session bus has the portal, running or to be started.
  static bool Reachable(QDBusConnection bus = QDBusConnection::sessionBus());

  unsigned Capabilities() const override;
  QString Name() const override { return QStringLiteral("portal"); }
  QString NotAvailableText() const override;

  // The request object the portal announces its answer on, for this
  // connection's `token`.
  static QString RequestPath(const QString& uniqueName, const QString& token);

 protected:
  // Waits in a local event loop for the answer (the program's window is
  // hidden meanwhile), at most the timeout.
  ScreenShot Capture(QScreen& screen) override;

 private:
  QDBusConnection bus_;
  int timeoutMs_;
  unsigned requests_ = 0;
};

}  // namespace quillet
