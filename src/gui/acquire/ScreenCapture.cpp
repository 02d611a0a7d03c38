#include "gui/acquire/ScreenCapture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cmath>
#include <cstdlib>

#include "gui/acquire/ScreenCapturePortal.h"

namespace quillet {

ScreenShot ScreenCapture::Take(QScreen& screen) {
  if ((Capabilities() & CanCaptureScreen) == 0)
    return {CaptureOutcome::Failed, {}, NotAvailableText()};
  ScreenShot shot = Capture(screen);
  if (shot.outcome != CaptureOutcome::Taken) {
    shot.picture = QImage();
    return shot;
  }
  if (shot.picture.isNull() || shot.picture.width() <= 0 || shot.picture.height() <= 0)
    return {CaptureOutcome::Failed, {}, QStringLiteral("the picture came back empty")};
  if (IsEmptyOrBlack(shot.picture))
    return {CaptureOutcome::Failed, {}, QStringLiteral("the picture came back all black")};
  const qreal ratio = shot.picture.devicePixelRatio();
  shot.picture = shot.picture.convertToFormat(QImage::Format_RGB32);
  shot.picture.setDevicePixelRatio(ratio);
  return shot;
}

ScreenShot QtScreenCapture::Capture(QScreen& screen) {
  const QPixmap grabbed = screen.grabWindow(0);
  if (grabbed.isNull())
    return {CaptureOutcome::Failed, {}, QStringLiteral("the windowing system gave no picture")};
  QImage picture = grabbed.toImage();
  picture.setDevicePixelRatio(grabbed.devicePixelRatio());
  return {CaptureOutcome::Taken, picture, {}};
}

ScreenShot NullScreenCapture::Capture(QScreen&) {
  return {CaptureOutcome::Failed, {}, reason_};
}

bool IsEmptyOrBlack(const QImage& image) {
  if (image.isNull() || image.width() <= 0 || image.height() <= 0) return true;
  const QImage rgb =
      image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
          ? image
          : image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x)
      if ((row[x] & 0x00FFFFFFu) != 0) return false;
  }
  return true;
}

QImage ScreenPartOf(const QImage& desktop, const QRect& screenGeometry,
                    const QRect& virtualGeometry) {
  if (desktop.isNull() || virtualGeometry.width() <= 0 || virtualGeometry.height() <= 0 ||
      screenGeometry.width() <= 0 || screenGeometry.height() <= 0) {
    QImage whole = desktop;
    whole.setDevicePixelRatio(1);
    return whole;
  }
  const double scale = static_cast<double>(desktop.width()) / virtualGeometry.width();
  const QRect part(
      static_cast<int>(std::lround((screenGeometry.x() - virtualGeometry.x()) * scale)),
      static_cast<int>(std::lround((screenGeometry.y() - virtualGeometry.y()) * scale)),
      static_cast<int>(std::lround(screenGeometry.width() * scale)),
      static_cast<int>(std::lround(screenGeometry.height() * scale)));
  QImage screen = desktop.copy(part.intersected(desktop.rect()));
  screen.setDevicePixelRatio(scale > 0 ? scale : 1);
  return screen;
}

std::unique_ptr<ScreenCapture> LoadScreenCapture(const EnvironmentLookup& environment) {
  CaptureSession session;
  session.override = environment(kScreenCaptureVariable).value_or("");
  session.platform = QGuiApplication::platformName().toStdString();
  session.sessionType = environment("XDG_SESSION_TYPE").value_or("");
  session.waylandDisplay = environment("WAYLAND_DISPLAY").value_or("");
  const CaptureChoice choice =
      ChooseCaptureBackend(session, [] { return PortalScreenCapture::Reachable(); });
  switch (choice.backend) {
    case CaptureBackend::Screen:
      return std::make_unique<QtScreenCapture>();
    case CaptureBackend::Portal:
      return std::make_unique<PortalScreenCapture>();
    case CaptureBackend::None:
      break;
  }
  return std::make_unique<NullScreenCapture>(QString::fromStdString(choice.unavailableText));
}

std::unique_ptr<ScreenCapture> LoadScreenCapture() {
  return LoadScreenCapture([](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  });
}

}  // namespace quillet
