#include "gui/app/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace quillet {

namespace {

constexpr int kActivateTimeoutMs = 5000;

}  // namespace

void TQuilletBusObject::Activate() {
  emit ActivateRequested();
}

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
  if (!owner_) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterObject(QLatin1String(kQuilletBusPath));
  bus.unregisterService(QLatin1String(kQuilletBusName));
}

SingleInstance::Outcome SingleInstance::Claim() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) return Outcome::Alone;
  // The object is in place before the name is taken, so that a caller who
  // finds the name always finds the object.
  bus.registerObject(QLatin1String(kQuilletBusPath), &busObject_,
                     QDBusConnection::ExportScriptableSlots);
  // Taking the name is one atomic step: of two copies starting together
  // exactly one owns it.
  const auto reply = bus.interface()->registerService(
      QLatin1String(kQuilletBusName), QDBusConnectionInterface::DontQueueService,
      QDBusConnectionInterface::DontAllowReplacement);
  if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
    owner_ = true;
    return Outcome::Owner;
  }
  bus.unregisterObject(QLatin1String(kQuilletBusPath));
  if (!bus.interface()->isServiceRegistered(QLatin1String(kQuilletBusName)).value())
    return Outcome::Alone;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QLatin1String(kQuilletBusName), QLatin1String(kQuilletBusPath),
      QLatin1String("io.github.quillet.Quillet"), QStringLiteral("Activate"));
  bus.call(call, QDBus::Block, kActivateTimeoutMs);
  return Outcome::OtherRunning;
}

}  // namespace quillet
