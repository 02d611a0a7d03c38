#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <memory>

#include "core/acquire/GrabCapture.h"
#include "core/service/SystemProxy.h"

class QScreen;

namespace quillet {

// How a capture ended.
enum class CaptureOutcome { Taken, Failed, Cancelled };

struct ScreenShot {
  CaptureOutcome outcome = CaptureOutcome::Failed;
  // Taken: the screen in its own pixels (Format_RGB32), its device pixel
  // ratio telling how many of them make one of the screen's logical pixels.
  QImage picture;
  // Failed: what went wrong, as the end of a sentence.
  QString detail;
};

// One way of reading what is on the screen. The grab command asks for the
// capability before it hides its window, and shows the "not available" text
// of a capture that has none.
class ScreenCapture {
 public:
  enum Capability : unsigned {
    NoCapability = 0,
    CanCaptureScreen = 1,
  };

  virtual ~ScreenCapture() = default;

  virtual unsigned Capabilities() const = 0;
  // "x11", "portal" or "none".
  virtual QString Name() const = 0;
  virtual QString NotAvailableText() const { return {}; }

  // The whole of `screen` as it is now, taken while the program's windows
  // are hidden. A picture that came back empty or all black counts as
  // failed: such a capture is a desktop that kept its pixels from us, never
  // a picture worth a logo.
  ScreenShot Take(QScreen& screen);

 protected:
  virtual ScreenShot Capture(QScreen& screen) = 0;
};

// The windowing system's own grab of the whole screen (QScreen::grabWindow
// of window 0): X11's root window, or the screen of Qt's other platforms.
class QtScreenCapture : public ScreenCapture {
 public:
  unsigned Capabilities() const override { return CanCaptureScreen; }
  QString Name() const override { return QStringLiteral("x11"); }

 protected:
  ScreenShot Capture(QScreen& screen) override;
};

// No capture at all; carries the reason.
class NullScreenCapture : public ScreenCapture {
 public:
  explicit NullScreenCapture(QString reason) : reason_(std::move(reason)) {}
  unsigned Capabilities() const override { return NoCapability; }
  QString Name() const override { return QStringLiteral("none"); }
  QString NotAvailableText() const override { return reason_; }

 protected:
  ScreenShot Capture(QScreen&) override;

 private:
  QString reason_;
};

// The capture this run uses: QUILLET_SCREEN_CAPTURE when set, else as the
// GUI platform and the session call for (see ChooseCaptureBackend).
std::unique_ptr<ScreenCapture> LoadScreenCapture(const EnvironmentLookup& environment);
// The same, from the process's environment.
std::unique_ptr<ScreenCapture> LoadScreenCapture();

// Whether an image is missing or has no pixel but black.
bool IsEmptyOrBlack(const QImage& image);

// The part of a picture of the whole desktop (`desktop`, covering
// `virtualGeometry` in logical pixels, as a portal returns it) that shows
// the screen at `screenGeometry`, in the picture's own pixels, with the
// device pixel ratio set to the picture's pixels per logical pixel.
QImage ScreenPartOf(const QImage& desktop, const QRect& screenGeometry,
                    const QRect& virtualGeometry);

}  // namespace quillet
