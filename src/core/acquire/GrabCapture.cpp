#include "core/acquire/GrabCapture.h"

#include "core/platform/Text.h"

namespace quillet {
namespace {

bool IsWaylandSession(const CaptureSession& session) {
  return LowerAscii(session.sessionType) == "wayland" || !session.waylandDisplay.empty();
}

CaptureChoice PortalOrNothing(const std::function<bool()>& portalReachable) {
  if (portalReachable && portalReachable()) return {CaptureBackend::Portal, {}};
  return {CaptureBackend::None, std::string(kCaptureUnavailableText)};
}

}  // namespace

CaptureChoice ChooseCaptureBackend(const CaptureSession& session,
                                   const std::function<bool()>& portalReachable) {
  const std::string forced = LowerAscii(session.override);
  if (forced == "x11") return {CaptureBackend::Screen, {}};
  if (forced == "portal") return {CaptureBackend::Portal, {}};
  if (forced == "none") return {CaptureBackend::None, std::string(kCaptureOffText)};
  if (!forced.empty())
    return {CaptureBackend::None,
            "Grabbing from the screen is turned off: " + std::string(kScreenCaptureVariable) +
                "=\"" + session.override + "\" is none of x11, portal and none."};

  const std::string platform = LowerAscii(session.platform);
  if (platform.starts_with("wayland")) return PortalOrNothing(portalReachable);
  if (platform == "xcb") {
    // XWayland: the root window holds only what X11 programs drew.
    if (IsWaylandSession(session)) return PortalOrNothing(portalReachable);
    return {CaptureBackend::Screen, {}};
  }
  return {CaptureBackend::Screen, {}};
}

std::string CaptureFailedText(std::string_view detail) {
  return "The screen could not be captured: " + std::string(detail) + ". Nothing was stored.";
}

}  // namespace quillet
