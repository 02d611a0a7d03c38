#include "gui/acquire/TwainQtPlatform.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>

#include "core/acquire/TwainLayer.h"

namespace quillet {

namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TwainQtPlatform::TwainQtPlatform() {
  QCoreApplication::instance()->installEventFilter(this);
}

TwainQtPlatform::~TwainQtPlatform() {
  delete proxy_.data();
}

bool TwainQtPlatform::IsWindow(WindowHandle window) {
  // Compared, never followed: a stale handle is simply not found.
  return window != nullptr && QApplication::allWidgets().contains(static_cast<QWidget*>(window));
}

WindowHandle TwainQtPlatform::CreateProxyWindow() {
  auto* proxy = new QWidget(nullptr, Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowTitleHint);
  proxy->setObjectName(QStringLiteral("AcquireProxy"));
  proxy->setWindowTitle(QStringLiteral("Acquire Proxy"));
  proxy->show();
  delete proxy_.data();
  proxy_ = proxy;
  return proxy;
}

void TwainQtPlatform::DestroyWindow(WindowHandle window) {
  // Only the proxy window is the layer's to destroy.
  if (window != nullptr && window == proxy_.data()) delete proxy_.data();
}

void TwainQtPlatform::EnableWindow(WindowHandle window, bool enable) {
  if (!IsWindow(window)) return;
  static_cast<QWidget*>(window)->setEnabled(enable);
  // The layer disables the window for exactly the time of its loop.
  inModalLoop_ = !enable;
  if (enable && quitRequested_) {
    quitRequested_ = false;
    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
  }
}

bool TwainQtPlatform::GetMessage(TwainMessage& message) {
  message = TwainMessage{};
  if (quitRequested_) return false;
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return !quitRequested_;
}

void TwainQtPlatform::TranslateAndDispatch(const TwainMessage&) {
  // Qt has dispatched the events already.
}

void TwainQtPlatform::MessageBox(std::string_view text) {
  QMessageBox box(QMessageBox::Warning, ToQString(kTwainErrorCaption), ToQString(text),
                  QMessageBox::NoButton, nullptr);
  box.setObjectName(QStringLiteral("TwainErrorBox"));
  box.setTextFormat(Qt::PlainText);
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

bool TwainQtPlatform::eventFilter(QObject* watched, QEvent* event) {
  if (inModalLoop_ && watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
    quitRequested_ = true;
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quillet
