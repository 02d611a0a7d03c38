#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quillet {

// The environment variable that picks how the screen grab captures the
// screen: "x11" (the windowing system's own grab of the screen), "portal"
// (the desktop's screenshot portal over D-Bus) or "none"; unset to let the
// session decide.
inline constexpr const char* kScreenCaptureVariable = "QUILLET_SCREEN_CAPTURE";

enum class CaptureBackend {
  Screen,  // the platform's own grab of the screen (X11, and Qt's other platforms)
  Portal,  // org.freedesktop.portal.Screenshot
  None,    // no capture: the command says why
};

// What the choice is made from.
struct CaptureSession {
  std::string override;        // QUILLET_SCREEN_CAPTURE
  std::string platform;        // the GUI platform's name: "xcb", "wayland", "offscreen", ...
  std::string sessionType;     // XDG_SESSION_TYPE
  std::string waylandDisplay;  // WAYLAND_DISPLAY
};

struct CaptureChoice {
  CaptureBackend backend = CaptureBackend::None;
  // For None: the message the grab command shows instead of grabbing.
  std::string unavailableText;
};

// On X11 the program reads the screen itself. In a Wayland session it may
// not (an X11 program there sees only the windows of other X11 programs and
// black elsewhere), so it asks the desktop's portal, or has no grab when
// there is none. Other platforms (offscreen, framebuffers) grab their own
// screen. `portalReachable` is asked only when the portal is wanted.
CaptureChoice ChooseCaptureBackend(const CaptureSession& session,
                                   const std::function<bool()>& portalReachable);

inline constexpr std::string_view kCaptureOffText =
    "Grabbing from the screen is turned off (QUILLET_SCREEN_CAPTURE=none).";
inline constexpr std::string_view kCaptureUnavailableText =
    "Grabbing from the screen is not available in this session: the desktop does not let "
    "programs read the screen, and it offers no screenshot portal "
    "(org.freedesktop.portal.Screenshot).";

// The error shown when a capture failed; `detail` says how.
std::string CaptureFailedText(std::string_view detail);

}  // namespace quillet
