#include "core/acquire/GrabCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

struct ChoiceCase {
  const char* name;
  CaptureSession session;
  bool portalReachable;
  CaptureBackend backend;
  std::string text;  // for None
  bool portalAsked;
};

std::vector<ChoiceCase> ChoiceCases() {
  const std::string off(kCaptureOffText);
  const std::string unavailable(kCaptureUnavailableText);
  return {
      {"X11 session on X11", {"", "xcb", "x11", ""}, true, CaptureBackend::Screen, "", false},
      {"X11 without a session type", {"", "xcb", "", ""}, false, CaptureBackend::Screen, "", false},
      {"Wayland with a portal",
       {"", "wayland", "wayland", "wayland-0"},
       true,
       CaptureBackend::Portal,
       "",
       true},
      {"Wayland's EGL platform with a portal",
       {"", "wayland-egl", "", ""},
       true,
       CaptureBackend::Portal,
       "",
       true},
      {"Wayland without a portal",
       {"", "wayland", "wayland", "wayland-0"},
       false,
       CaptureBackend::None,
       unavailable,
       true},
      {"XWayland with a portal",
       {"", "xcb", "wayland", "wayland-0"},
       true,
       CaptureBackend::Portal,
       "",
       true},
      {"XWayland told by WAYLAND_DISPLAY alone",
       {"", "xcb", "", "wayland-1"},
       true,
       CaptureBackend::Portal,
       "",
       true},
      {"XWayland without a portal: no black captures",
       {"", "xcb", "Wayland", ""},
       false,
       CaptureBackend::None,
       unavailable,
       true},
      {"offscreen grabs its own screen whatever the session",
       {"", "offscreen", "wayland", "w-0"},
       false,
       CaptureBackend::Screen,
       "",
       false},
      {"override x11 on Wayland",
       {"x11", "wayland", "wayland", "w-0"},
       false,
       CaptureBackend::Screen,
       "",
       false},
      {"override portal on X11",
       {"portal", "xcb", "x11", ""},
       false,
       CaptureBackend::Portal,
       "",
       false},
      {"override in capitals", {"NONE", "xcb", "x11", ""}, true, CaptureBackend::None, off, false},
      {"override none", {"none", "xcb", "x11", ""}, true, CaptureBackend::None, off, false},
      {"override unknown",
       {"gdi", "xcb", "x11", ""},
       true,
       CaptureBackend::None,
       "Grabbing from the screen is turned off: QUILLET_SCREEN_CAPTURE=\"gdi\" is none of x11, "
       "portal and none.",
       false},
  };
}

TEST(GrabCapture, TheSessionChoosesTheBackend) {
  for (const ChoiceCase& c : ChoiceCases()) {
    SCOPED_TRACE(c.name);
    bool asked = false;
    const CaptureChoice choice = ChooseCaptureBackend(c.session, [&] {
      asked = true;
      return c.portalReachable;
    });
    EXPECT_EQ(choice.backend, c.backend);
    EXPECT_EQ(choice.unavailableText, c.text);
    EXPECT_EQ(asked, c.portalAsked);
  }
}

TEST(GrabCapture, FailureText) {
  EXPECT_EQ(CaptureFailedText("the picture came back all black"),
            "The screen could not be captured: the picture came back all black. Nothing was "
            "stored.");
}

}  // namespace
}  // namespace quillet
