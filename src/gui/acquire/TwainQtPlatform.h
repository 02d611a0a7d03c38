#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "core/acquire/TwainPlatform.h"

namespace quillet {

// The scanner layer's window services over Qt: a window handle is a
// QWidget*, the thread's message queue is Qt's event loop, and the layer's
// messages are warning boxes captioned "TWAIN Error" without owner.
//
// Qt dispatches its events itself, so a message here is one wake-up of the
// event loop after the events that woke it have been handled; the source
// reads what the user did in its window from its own state. A quit request
// that arrives while the acquisition runs ends the acquisition's loop and
// is passed on to the program's loop once the acquisition is over.
class TwainQtPlatform : public QObject, public TwainPlatform {
  Q_OBJECT

 public:
  TwainQtPlatform();
  ~TwainQtPlatform() override;

  static WindowHandle HandleOf(QWidget* window) { return window; }

  bool IsWindow(WindowHandle window) override;
  WindowHandle CreateProxyWindow() override;
  void DestroyWindow(WindowHandle window) override;
  void EnableWindow(WindowHandle window, bool enable) override;
  bool GetMessage(TwainMessage& message) override;
  void TranslateAndDispatch(const TwainMessage& message) override;
  void MessageBox(std::string_view text) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> proxy_;
  bool inModalLoop_ = false;
  bool quitRequested_ = false;
};

}  // namespace quillet
