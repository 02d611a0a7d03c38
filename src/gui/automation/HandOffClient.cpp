#include "gui/automation/HandOffClient.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

#include "core/automation/Registration.h"

namespace quillet {

HandOffCallResult CallAddImageURL(const QString& imageUrl, int timeoutMs) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    const QString why = bus.lastError().message();
    return {false, QStringLiteral("Quillet cannot be reached: there is no session bus") +
                       (why.isEmpty() ? QString() : QStringLiteral(" (") + why + ')')};
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QLatin1String(kBusName), QLatin1String(kQuilletPIPath), QLatin1String(kQuilletPIInterface),
      QStringLiteral("AddImageURL"));
  call << imageUrl;
  call.setAutoStartService(true);
  const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
  if (reply.type() == QDBusMessage::ReplyMessage) return {true, {}};
  if (reply.errorName() == QLatin1String(kQuilletPIFailedError))
    return {false, QStringLiteral("Quillet could not take the picture: ") + reply.errorMessage()};
  if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
    return {false, QStringLiteral("Quillet is not running and not registered to be started; run "
                                  "\"quillet --regserver\" once (") +
                       reply.errorMessage() + ')'};
  return {false, QStringLiteral("Quillet cannot be reached: ") + reply.errorMessage()};
}

}  // namespace quillet
