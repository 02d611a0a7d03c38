#pragma once

#include <cstdint>
#include <string_view>

namespace quillet {

// A window of the platform, as the scanner layer and the Source Manager pass
// it around; they never look inside. Null is no window.
using WindowHandle = void*;

// One message of the thread's queue. What it holds is the platform's; the
// layer hands it to the source (through the event record) and back to the
// platform to dispatch.
struct TwainMessage {
  WindowHandle window = nullptr;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// The window services, message queue and message box the scanner layer
// needs; the program's windowing toolkit provides them, tests script them.
class TwainPlatform {
 public:
  virtual ~TwainPlatform() = default;

  virtual bool IsWindow(WindowHandle window) = 0;
  // A visible pop-up window titled "Acquire Proxy", with a border and a
  // system menu, at the default place and size, without parent or menu;
  // null when it cannot be made.
  virtual WindowHandle CreateProxyWindow() = 0;
  virtual void DestroyWindow(WindowHandle window) = 0;
  virtual void EnableWindow(WindowHandle window, bool enable) = 0;

  // Waits for the next message of the thread's queue (for every window);
  // false when the queue delivers the quit message.
  virtual bool GetMessage(TwainMessage& message) = 0;
  virtual void TranslateAndDispatch(const TwainMessage& message) = 0;

  // A message box without owner window, captioned "TWAIN Error", with a
  // warning icon and an OK button.
  virtual void MessageBox(std::string_view text) = 0;
};

}  // namespace quillet
